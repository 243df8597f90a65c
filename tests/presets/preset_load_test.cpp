// Loading preset files while unlinked: the values reach the panel and the
// device image and nothing is sent; a value that cannot be used skips its
// own step only; files that are not presets load as "all keys missing".
#include <filesystem>
#include <functional>
#include <random>

#include "tests/presets/preset_fixture.h"

namespace kp {
namespace {

using test::PresetData;
namespace fs = std::filesystem;

// Everything a load may change, to compare before and after.
struct Snapshot {
  std::vector<int> sliders;
  std::vector<int> limits;
  std::vector<int> music, mic;
  std::vector<int> settings;
  std::vector<std::string> readouts;

  static Snapshot of(Program& p) {
    Snapshot s;
    for (const auto& c : sliderCatalogue()) {
      s.sliders.push_back(p.form4.cpvSlider(c.slider).value());
      s.limits.push_back(p.form4.cpvSlider(c.slider).upperLimit());
      s.readouts.push_back(p.form4.Label(c.label).caption());
    }
    for (int n = 0; n < 8; ++n) {
      for (int k = 0; k < 32; ++k) s.music.push_back(p.state.image.music(n, k).value_or(-1));
      for (int k = 0; k < 38; ++k) s.mic.push_back(p.state.image.mic(n, k).value_or(-1));
    }
    const auto& d = p.state.Device_Settings;
    s.settings = {d.MIC_MAX_VOLUME,
                  d.MIC_MIN_VOLUME,
                  d.MUSIC_MAX_VOLUME,
                  d.MUSIC_MIN_VOLUME,
                  d.MIC_MODE,
                  d.MUSIC_MODE,
                  d.KTV_MIN_VOLUME,
                  d.KTV_RESET_TIME,
                  d.KTV_MIN_DU,
                  p.form3.SpinButton5.value(),
                  p.form3.Combo3.index(),
                  p.form3.Combo4.index()};
    return s;
  }
  bool operator==(const Snapshot&) const = default;
};

class LoadUnlinked : public test::PresetTest {
 protected:
  void expectSlotsOf(const PresetData& d) {
    for (int n = 0; n < 3; ++n) {
      for (int k = 1; k <= 31; ++k)
        EXPECT_EQ(state().image.music(n, k), d.music[n][k]) << n << "/" << k;
      for (int k = 1; k <= 37; ++k)
        EXPECT_EQ(state().image.mic(n, k), d.mic[n][k]) << n << "/" << k;
    }
  }
  void expectUserSlotLists(int index) {
    const std::vector<std::string> ram = {"1.RAM1", "2.RAM2", "3.RAM3"};
    EXPECT_EQ(f4().Combo1.items(), ram);
    EXPECT_EQ(f4().Combo2.items(), ram);
    EXPECT_EQ(f4().Combo1.index(), index);
    EXPECT_EQ(f4().Combo2.index(), index);
  }
};

TEST_F(LoadUnlinked, AFileWrittenOnWindowsWithGbkTextLoads) {
  const PresetData d = PresetData::sample();
  std::string text = d.text("\r\n");
  // As edited by hand on a Chinese Windows: a GBK comment ("中文" and a
  // character whose second byte is ']'), a GBK value, a key in other case
  // with blanks, and no line end after the last line.
  text.insert(0, "; \xD6\xD0\xCE\xC4 \x81]\r\n");
  text.replace(text.find("Music_Master=55"), 15, "music_master = 57 ");
  text.insert(text.find("[Music_0]"), "NOTE=\xD6\xD0\xCE\xC4\xBF\xA8\r\n");
  text.erase(text.size() - 2);
  rig.folder.write("win.dat", text);

  openCommand(file("win.dat"));
  expectSlotsOf(d);
  EXPECT_EQ(slider(kMusicMaster), 57);
  EXPECT_EQ(slider(kMicMaster), 65);
  EXPECT_EQ(slider(kFirstSurround + 5), 16);
  EXPECT_EQ(state().Device_Settings.MUSIC_MODE, 5);
  EXPECT_EQ(state().Device_Settings.KTV_MIN_DU, 2);
  EXPECT_EQ(p().form3.Text5.text(), "40%") << "twice the ultra-low volume";
  expectUserSlotLists(0);
  for (int k = 1; k <= 31; ++k) EXPECT_EQ(slider(musicBandSlider(k)), d.music[0][k] - 15);
  EXPECT_EQ(slider(micBandSlider(31)), d.mic[0][31] - 15) << "the last key, without a line end";
  EXPECT_TRUE(rig.port.writes.empty());
  EXPECT_TRUE(rig.dialogs.messages.empty());
  EXPECT_TRUE(f4().Combo1.enabled());
  EXPECT_TRUE(f4().Combo2.enabled());
}

TEST_F(LoadUnlinked, AMasterAboveItsMaximumIsClampedAndLimited) {
  writePreset("clamp.dat", PresetData::sample()
                               .set("MIC_MAX_VOLUME", 20)
                               .set("MIC_MIN_VOLUME", 10)
                               .set("Mic_Master", 30)
                               .set("MUSIC_MAX_VOLUME", 40)
                               .set("MUSIC_MIN_VOLUME", 10)
                               .set("Music_Master", 70));
  openCommand(file("clamp.dat"));
  EXPECT_EQ(slider(kMicMaster), 20);
  EXPECT_EQ(f4().cpvSlider(kMicMaster).upperLimit(), 20);
  EXPECT_EQ(slider(kMusicMaster), 40);
  EXPECT_EQ(f4().cpvSlider(kMusicMaster).upperLimit(), 40);
  EXPECT_EQ(f4().Label(sliderParam(kMicMaster)->label).caption(), "20%");
  // The operator cannot push it past the limit either.
  f4().cpvSlider(kMicMaster).operatorSet(90);
  EXPECT_EQ(slider(kMicMaster), 20);

  writePreset("below.dat", PresetData::sample()
                               .set("MIC_MAX_VOLUME", 20)
                               .set("MIC_MIN_VOLUME", 10)
                               .set("Mic_Master", 15));
  openCommand(file("below.dat"));
  EXPECT_EQ(slider(kMicMaster), 15);
  EXPECT_EQ(f4().cpvSlider(kMicMaster).upperLimit(), 20);
  EXPECT_TRUE(rig.port.writes.empty());
}

TEST_F(LoadUnlinked, AFileWithOnlyTheMusicMasterChangesOnlyThat) {
  writePreset("full.dat", PresetData::sample());
  openCommand(file("full.dat"));
  Snapshot before = Snapshot::of(p());
  ASSERT_EQ(f4().Combo1.index(), 0);

  rig.folder.write("one.dat", "[config]\r\nMusic_Master=10\r\n");
  openCommand(file("one.dat"));
  EXPECT_EQ(slider(kMusicMaster), 10);
  EXPECT_EQ(f4().Label(sliderParam(kMusicMaster)->label).caption(), "10%");
  Snapshot after = Snapshot::of(p());
  const std::size_t master = static_cast<std::size_t>(
      std::find_if(sliderCatalogue().begin(), sliderCatalogue().end(),
                   [](const SliderParam& c) { return c.slider == kMusicMaster; }) -
      sliderCatalogue().begin());
  before.sliders[master] = 10;
  before.readouts[master] = "10%";
  EXPECT_TRUE(after == before);
  // Refilled with the three user slots; the file names no mode, so none is
  // selected.
  expectUserSlotLists(-1);
  EXPECT_TRUE(rig.port.writes.empty());
}

TEST_F(LoadUnlinked, SelectingRam2ShowsMusic1WithoutSending) {
  const PresetData d = PresetData::sample();
  writePreset("a.dat", d);
  openCommand(file("a.dat"));
  rig.port.clearLog();

  f4().Combo1.operatorSelect(1);
  for (int k = 1; k <= 31; ++k) {
    EXPECT_EQ(slider(musicBandSlider(k)), d.music[1][k] - 15) << k;
    EXPECT_EQ(f4().Label(sliderParam(musicBandSlider(k))->label).caption(),
              std::to_string(d.music[1][k] - 15));
  }
  f4().Combo2.operatorSelect(2);
  for (int k = 1; k <= 31; ++k) EXPECT_EQ(slider(micBandSlider(k)), d.mic[2][k] - 15) << k;
  for (int e = 0; e < 6; ++e) EXPECT_EQ(slider(kFirstEffect + e), d.mic[2][32 + e]) << e;
  EXPECT_TRUE(rig.port.writes.empty());
  expectSlotsOf(d);  // showing a slot does not change the image
}

TEST_F(LoadUnlinked, TheOutputLevelsLoadWhateverTheModel) {
  state().Full_Model = false;
  writePreset("a.dat", PresetData::sample());
  openCommand(file("a.dat"));
  for (int i = 0; i < 6; ++i) EXPECT_EQ(slider(kFirstSurround + i), 11 + i);
  EXPECT_EQ(state().Device_Settings.KTV_MIN_VOLUME, 20);
}

TEST_F(LoadUnlinked, AValueThatCannotBeUsedSkipsOnlyItsOwnStep) {
  writePreset("full.dat", PresetData::sample());
  openCommand(file("full.dat"));
  PresetData d = PresetData::sample();
  d.set("Music_Master", "12.7").set("Mic_Master", "abc").set("L", "51").set("R", "-1");
  d.set("MIC_MODE", "300").set("KTV_MIN_VOLUME", "33.5");
  for (int n = 0; n < 3; ++n) {
    for (int k = 1; k <= 31; ++k) d.music[n][k] = 30 - d.music[n][k];
    for (int k = 1; k <= 37; ++k) d.mic[n][k] = k <= 31 ? (d.mic[n][k] + 1) % 31 : d.mic[n][k] + 1;
  }
  d.mic[1][5] = 256;  // not a byte: ends the microphone slots there
  writePreset("odd.dat", d);
  openCommand(file("odd.dat"));

  EXPECT_EQ(slider(kMusicMaster), 12) << "rounded down";
  EXPECT_EQ(slider(kMicMaster), 65) << "kept";
  EXPECT_EQ(slider(kFirstSurround), 11) << "51 is beyond the output range";
  EXPECT_EQ(slider(kFirstSurround + 1), 12);
  EXPECT_EQ(slider(kFirstSurround + 2), 13);
  EXPECT_EQ(state().Device_Settings.MIC_MODE, 2) << "kept";
  EXPECT_EQ(state().Device_Settings.KTV_MIN_VOLUME, 34) << "rounded to nearest";
  for (int n = 0; n < 3; ++n)
    for (int k = 1; k <= 31; ++k) EXPECT_EQ(state().image.music(n, k), d.music[n][k]);
  const PresetData s = PresetData::sample();
  for (int k = 1; k <= 37; ++k) EXPECT_EQ(state().image.mic(0, k), d.mic[0][k]);
  for (int k = 1; k <= 4; ++k) EXPECT_EQ(state().image.mic(1, k), d.mic[1][k]);
  for (int k = 5; k <= 37; ++k) EXPECT_EQ(state().image.mic(1, k), s.mic[1][k]) << k;
  for (int k = 1; k <= 37; ++k) EXPECT_EQ(state().image.mic(2, k), s.mic[2][k]) << k;
  EXPECT_TRUE(rig.port.writes.empty());
}

// Files that are not presets at all.
struct Junk {
  const char* name;
  std::string (*make)(const fs::path& folder);
  friend void PrintTo(const Junk& j, std::ostream* os) { *os << j.name; }
};

std::string binaryBytes(const fs::path&) {
  std::mt19937 rng(7);
  std::string s(64 * 1024, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}
std::string oneLongLine(const fs::path&) { return std::string(1 << 20, 'x'); }
std::string hugeValue(const fs::path&) {
  std::string s = "[config]\r\nMusic_Master=" + std::string(100000, '9') + "\r\n";
  s += "[Music_0]\r\n1=" + std::string(5000, '1') + "\r\n";
  return s;
}
std::string empty(const fs::path&) { return {}; }
std::string tooLargeToBeOne(const fs::path&) {
  // Valid keys, but more than any preset could be.
  return "[config]\r\nMusic_Master=10\r\n" + std::string(40u << 20, ';');
}

class LoadJunk : public LoadUnlinked, public ::testing::WithParamInterface<Junk> {};

TEST_P(LoadJunk, LoadsAsKeysMissing) {
  writePreset("full.dat", PresetData::sample());
  openCommand(file("full.dat"));
  const Snapshot before = Snapshot::of(p());

  rig.folder.write("junk.dat", GetParam().make(rig.folder.path()));
  openCommand(file("junk.dat"));
  EXPECT_TRUE(Snapshot::of(p()) == before);
  expectUserSlotLists(-1);
  EXPECT_TRUE(f4().Combo1.enabled());
  EXPECT_TRUE(rig.port.writes.empty());
  EXPECT_TRUE(rig.dialogs.messages.empty());
  EXPECT_EQ(state().currentPresetFile, file("junk.dat"));
}

INSTANTIATE_TEST_SUITE_P(Files, LoadJunk,
                         ::testing::Values(Junk{"Binary", binaryBytes},
                                           Junk{"LongLine", oneLongLine},
                                           Junk{"HugeValues", hugeValue}, Junk{"Empty", empty},
                                           Junk{"TooLarge", tooLargeToBeOne}),
                         [](const auto& info) { return std::string(info.param.name); });

// The file menu's Open command.
class OpenCommand : public LoadUnlinked {
 protected:
  OpenCommand() {
    writePreset("full.dat", PresetData::sample());
    openCommand(file("full.dat"));
    // A selection that any load would clear.
    f4().Combo1.operatorSelect(2);
    before = Snapshot::of(p());
  }
  void expectNothingLoaded() {
    EXPECT_TRUE(Snapshot::of(p()) == before);
    EXPECT_EQ(f4().Combo1.index(), 2);
    EXPECT_TRUE(rig.port.writes.empty());
    EXPECT_TRUE(rig.dialogs.messages.empty());
  }
  Snapshot before;
};

TEST_F(OpenCommand, CancelLoadsNothingAndKeepsTheCurrentFile) {
  f4().open1.click();
  expectNothingLoaded();
  EXPECT_EQ(state().currentPresetFile, file("full.dat"));
  EXPECT_EQ(rig.dialogs.fileDialogFilters.back(), "*.dat");
}

TEST_F(OpenCommand, ANameThatDoesNotExistLoadsNothingButBecomesTheCurrentFile) {
  openCommand(file("none.dat"));
  expectNothingLoaded();
  EXPECT_EQ(state().currentPresetFile, file("none.dat"));
  EXPECT_FALSE(fs::exists(file("none.dat")));
  // The next save goes to that name.
  rig.dialogs.fileAnswers.push_back(state().currentPresetFile);
  f4().save1.click();
  EXPECT_TRUE(fs::exists(file("none.dat")));
}

TEST_F(OpenCommand, AFolderChosenByNameLoadsNothing) {
  fs::create_directory(rig.folder.path() / "folder.dat");
  openCommand(file("folder.dat"));
  expectNothingLoaded();
  EXPECT_TRUE(fs::is_directory(file("folder.dat")));
}

}  // namespace
}  // namespace kp
