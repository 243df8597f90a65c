// Saving preset files: what a save writes, in which order and with which line
// ends, what it leaves out while linked to a unit without 5.1 outputs, and
// what a save that cannot complete leaves behind.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "core/utf8_path.h"
#include "ini/ini.h"
#include "tests/presets/save_fixture.h"

namespace kp {
namespace {

using test::listing;
using test::PresetData;
using test::SaveFailure;
using test::SavePreset;
namespace fs = std::filesystem;

// The key names of one section, in file order.
std::vector<std::string> keysOf(const std::string& text, const std::string& section) {
  std::vector<std::string> keys;
  bool in = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) nl = text.size();
    std::string line = text.substr(pos, nl - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    pos = nl + 1;
    if (!line.empty() && line.front() == '[') {
      in = line == "[" + section + "]";
      continue;
    }
    if (in && line.find('=') != std::string::npos) keys.push_back(line.substr(0, line.find('=')));
  }
  return keys;
}

TEST_F(SavePreset, ANewFileHoldsEveryKeyInTheOrderOfANewFileWithCrlfLineEnds) {
  const PresetData d = PresetData::sample();
  setPanel(d);
  saveCommand(file("new.dat"));
  const std::string text = rig.folder.read("new.dat");
  // sample() lists the config keys in the order a new file has them, the
  // two mode keys last; then Music_0..2 with 1..31 and Mic_0..2 with 1..37.
  EXPECT_EQ(text, d.text("\r\n"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), std::count(text.begin(), text.end(), '\r'));
  EXPECT_TRUE(rig.port.writes.empty()) << "a save sends nothing";
  EXPECT_TRUE(rig.dialogs.messages.empty());
  EXPECT_EQ(listing(rig.folder.path()), (std::set<std::string>{"config.ini", "new.dat"}))
      << "no working copy left beside the file";
  EXPECT_EQ(state().currentPresetFile, file("new.dat"));
}

TEST_F(SavePreset, SavingThenLoadingRestoresEverySlotAndLevel) {
  const PresetData d = PresetData::sample();
  setPanel(d);
  saveCommand(file("mine.dat"));
  setPanel(other());

  openCommand(file("mine.dat"));
  expectPanelHolds(d);
  // The lists show the file's mode (RAM1), and the sliders that slot.
  EXPECT_EQ(f4().Combo1.index(), 0);
  EXPECT_EQ(f4().Combo2.index(), 0);
  for (int k = 1; k <= 31; ++k) {
    EXPECT_EQ(slider(musicBandSlider(k)), d.music[0][k] - 15) << k;
    EXPECT_EQ(slider(micBandSlider(k)), d.mic[0][k] - 15) << k;
  }
  for (int e = 0; e < 6; ++e) EXPECT_EQ(slider(kFirstEffect + e), d.mic[0][32 + e]);
  EXPECT_EQ(f4().cpvSlider(kMicMaster).upperLimit(), d.num("MIC_MAX_VOLUME"));
  EXPECT_EQ(f4().cpvSlider(kMusicMaster).upperLimit(), d.num("MUSIC_MAX_VOLUME"));
  EXPECT_EQ(f4().Label(sliderParam(kMusicMaster)->label).caption(), d.get("Music_Master") + "%");
  EXPECT_TRUE(rig.port.writes.empty());
}

TEST_F(SavePreset, AFolderAndAFileNamedInChineseSaveAndLoad) {
  fs::create_directory(pathFromUtf8(file("演出")));
  const std::string path = file("演出/周末.dat");
  const PresetData d = PresetData::sample();
  setPanel(d);
  saveCommand(path);
  ASSERT_TRUE(rig.dialogs.messages.empty()) << rig.dialogs.messages.front();
  setPanel(other());
  openCommand(path);
  expectPanelHolds(d);
  EXPECT_EQ(listing(pathFromUtf8(file("演出"))), (std::set<std::string>{"周末.dat"}));
}

TEST_F(SavePreset, SavingOverAFileReplacesItsValuesAndKeepsItsOtherLines) {
  rig.folder.write("old.dat",
                   "; kept\r\n[config]\r\nMusic_Master=1\r\nOWNER=me\r\n[Extra]\r\nx=1\r\n");
  const PresetData d = PresetData::sample();
  setPanel(d);
  saveCommand(file("old.dat"));
  const std::string text = rig.folder.read("old.dat");
  EXPECT_EQ(text.rfind("; kept\r\n[config]\r\nMusic_Master=55\r\nOWNER=me\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("[Extra]\r\nx=1\r\n"), std::string::npos);
  EXPECT_EQ(Read_Ini("Mic_2", "37", file("old.dat")), std::to_string(d.mic[2][37]));
  EXPECT_EQ(Read_Ini("config", "MIC_CHANGE_MODE", file("old.dat")), "0");
  EXPECT_EQ(listing(rig.folder.path()), (std::set<std::string>{"config.ini", "old.dat"}));
}

TEST_F(SavePreset, TheModeKeysAreAlwaysZeroAndLoadSelectTheFirstEntry) {
  writePreset("a.dat", PresetData::sample().set("MUSIC_CHANGE_MODE", 2).set("MIC_CHANGE_MODE", 1));
  openCommand(file("a.dat"));
  ASSERT_EQ(f4().Combo1.index(), 2);
  ASSERT_EQ(f4().Combo2.index(), 1);
  f4().Combo1.operatorSelect(1);
  saveCommand(file("a.dat"));
  EXPECT_EQ(Read_Ini("config", "MUSIC_CHANGE_MODE", file("a.dat")), "0");
  EXPECT_EQ(Read_Ini("config", "MIC_CHANGE_MODE", file("a.dat")), "0");

  f4().Combo1.operatorSelect(2);
  openCommand(file("a.dat"));
  EXPECT_EQ(f4().Combo1.index(), 0);
  EXPECT_EQ(f4().Combo2.index(), 0);
}

TEST_F(SavePreset, CancellingTheSaveDialogWritesNothing) {
  setPanel(PresetData::sample());
  const std::string before = state().currentPresetFile;
  f4().save1.click();  // no answer queued: the operator cancels
  EXPECT_EQ(listing(rig.folder.path()), (std::set<std::string>{"config.ini"}));
  EXPECT_EQ(state().currentPresetFile, before);
  EXPECT_EQ(rig.dialogs.fileDialogFilters, (std::vector<std::string>{"*.dat"}));
}

// Linked to units of both model groups.
class SaveLinked : public SavePreset {
 protected:
  SaveLinked() {
    sim::UnitState s = sim::UnitState::factory();
    s.surround = {3, 6, 9, 12, 15, 18};
    s.setup.ktvMinVolume = 27;
    s.setup.ktvSensitivity = 32;
    s.setup.ktvResetTime = 2;
    s.musicMode = 5;
    s.micMode = 6;
    unit->setState(s);
  }
};

TEST_F(SaveLinked, WithoutFiveOneOutputsTheOutputAndUltraLowKeysAreLeftOut) {
  link(0);
  ASSERT_FALSE(state().Full_Model);
  saveCommand(file("short.dat"));
  const std::string text = rig.folder.read("short.dat");
  EXPECT_EQ(
      keysOf(text, "config"),
      (std::vector<std::string>{"MIC_MAX_VOLUME", "MIC_MIN_VOLUME", "MIC_MODE", "MUSIC_MAX_VOLUME",
                                "MUSIC_MIN_VOLUME", "MUSIC_MODE", "Music_Master", "Mic_Master",
                                "MUSIC_CHANGE_MODE", "MIC_CHANGE_MODE"}));
  EXPECT_EQ(keysOf(text, "Music_2").size(), 31u);
  EXPECT_EQ(keysOf(text, "Mic_2").size(), 37u);
  EXPECT_EQ(Read_Ini("config", "MUSIC_CHANGE_MODE", file("short.dat")), "0")
      << "the unit is in mode 6, the file still names RAM1";
  EXPECT_TRUE(frames().empty()) << test::describe(frames());

  // Over an existing file, what the save leaves out keeps the file's values.
  rig.folder.write("full.dat", PresetData::sample().text());
  saveCommand(file("full.dat"));
  EXPECT_EQ(Read_Ini("config", "L", file("full.dat")), "11");
  EXPECT_EQ(Read_Ini("config", "SUB", file("full.dat")), "16");
  EXPECT_EQ(Read_Ini("config", "KTV_MIN_VOLUME", file("full.dat")), "20");
  EXPECT_EQ(Read_Ini("config", "KTV_RESET_TIME", file("full.dat")), "0");
  EXPECT_EQ(Read_Ini("config", "Music_Master", file("full.dat")),
            std::to_string(unit->state().musicMaster));
}

TEST_F(SaveLinked, WithFiveOneOutputsTheUnitsOutputsAndUltraLowSettingsAreSaved) {
  link(4);
  saveCommand(file("long.dat"));
  const auto& st = unit->state();
  const char* surround[] = {"L", "R", "SL", "SR", "C", "SUB"};
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(Read_Ini("config", surround[i], file("long.dat")), std::to_string(st.surround[i]));
  EXPECT_EQ(Read_Ini("config", "KTV_MIN_VOLUME", file("long.dat")), "27");
  EXPECT_EQ(Read_Ini("config", "KTV_MIN_DU", file("long.dat")), "2") << "32 is the third entry";
  EXPECT_EQ(Read_Ini("config", "KTV_RESET_TIME", file("long.dat")), "1") << "2 is the second";
  for (int n = 0; n < 3; ++n)
    for (int k = 1; k <= 31; ++k)
      EXPECT_EQ(Read_Ini("Music_" + std::to_string(n), std::to_string(k), file("long.dat")),
                std::to_string(st.musicSlots[n].bands[k - 1]));
  EXPECT_EQ(Read_Ini("config", "MIC_CHANGE_MODE", file("long.dat")), "0");
  EXPECT_TRUE(frames().empty());
}

TEST_F(SaveFailure, AFolderThatIsARegularFileIsReportedAndNothingIsCreated) {
  rig.folder.write("plain", "not a folder");
  const std::string path = file("plain") + "/x.dat";
  saveCommand(path);
  expectReported(path, "");
  EXPECT_EQ(rig.folder.read("plain"), "not a folder");
  EXPECT_EQ(listing(rig.folder.path()), (std::set<std::string>{"config.ini", "plain"}));
}

TEST_F(SaveFailure, AFolderThatDoesNotExistIsReported) {
  const std::string path = file("gone") + "/x.dat";
  saveCommand(path);
  expectReported(path, "No such file or directory");
  EXPECT_EQ(listing(rig.folder.path()), (std::set<std::string>{"config.ini"}));
}

TEST_F(SaveFailure, ATargetThatIsAFolderIsReportedAndLeftAlone) {
  fs::create_directory(rig.folder.path() / "dir.dat");
  rig.folder.write("dir.dat/inside", "x");
  saveCommand(file("dir.dat"));
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_NE(rig.dialogs.messages[0].find(file("dir.dat")), std::string::npos);
  EXPECT_TRUE(fs::is_directory(rig.folder.path() / "dir.dat"));
  EXPECT_EQ(rig.folder.read("dir.dat/inside"), "x");
  EXPECT_EQ(listing(rig.folder.path()), (std::set<std::string>{"config.ini", "dir.dat"}));
}

TEST_F(SaveFailure, AReadOnlyFileIsReportedAndKept) {
  const std::string old = "[config]\r\nMusic_Master=1\r\n";
  rig.folder.write("ro.dat", old);
  // Read-only on both systems (on Windows, the file's read-only attribute).
  fs::permissions(rig.folder.path() / "ro.dat", fs::perms::owner_read | fs::perms::group_read);
  if (std::ofstream(rig.folder.path() / "ro.dat", std::ios::app))
    GTEST_SKIP() << "this user writes read-only files";
  saveCommand(file("ro.dat"));
  expectReported(file("ro.dat"), "Permission denied");
  EXPECT_EQ(rig.folder.read("ro.dat"), old);
  EXPECT_EQ(listing(rig.folder.path()), (std::set<std::string>{"config.ini", "ro.dat"}));
}

TEST_F(SaveFailure, AFileWithALongNameCanBeSavedAgain) {
  // The longest name the folder takes; the working copy needs a shorter one.
  const std::string name = std::string(251, 'p') + ".dat";
  rig.folder.write(name, "[config]\r\nMusic_Master=1\r\n");
  saveCommand(file(name));
  EXPECT_TRUE(rig.dialogs.messages.empty()) << rig.dialogs.messages.front();
  EXPECT_EQ(Read_Ini("config", "Music_Master", file(name)), "55");
  EXPECT_EQ(listing(rig.folder.path()), (std::set<std::string>{"config.ini", name}));
}

}  // namespace
}  // namespace kp
