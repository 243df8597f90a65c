// A linked preset load through the whole stack: the panel on the Qt event
// loop and serial port, a pseudo-terminal, and the karaoke-unit-sim program.
// What the unit ended up with is read back the way the panel learns it: a
// new link, whose dump fills the device image.
#include <fstream>
#include <map>

#include <gtest/gtest.h>

#include "panel/catalogue.h"
// The simulator's headers (through the fixture) come before Qt's.
#include "tests/e2e/qt_rig.h"
#include "tests/presets/preset_fixture.h"

namespace kp {
namespace {

using test::pumpUntil;
using test::QtRig;
using test::SimProcess;

// The shipped default preset with a value of its own in every key, so a
// value that does not arrive, or arrives in the wrong place, shows.
struct ShippedPreset {
  std::map<std::string, int> config;
  int music[3][32] = {};
  int mic[3][38] = {};

  std::string rewrite(const std::string& shipped) {
    config = {{"MIC_MAX_VOLUME", 85},
              {"MIC_MIN_VOLUME", 30},
              {"MIC_MODE", 4},
              {"MUSIC_MAX_VOLUME", 95},
              {"MUSIC_MIN_VOLUME", 35},
              {"MUSIC_MODE", 6},
              {"Music_Master", 70},
              {"Mic_Master", 45},
              {"L", 20},
              {"R", 22},
              {"SL", 24},
              {"SR", 26},
              {"C", 28},
              {"SUB", 30},
              {"KTV_MIN_VOLUME", 25},
              {"KTV_MIN_DU", 2},
              {"KTV_RESET_TIME", 2}};
    std::string out, section;
    std::size_t pos = 0;
    while (pos < shipped.size()) {
      std::size_t nl = shipped.find('\n', pos);
      if (nl == std::string::npos) nl = shipped.size();
      std::string line = shipped.substr(pos, nl - pos);
      pos = nl + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const auto eq = line.find('=');
      if (!line.empty() && line.front() == '[') {
        section = line.substr(1, line.size() - 2);
      } else if (eq != std::string::npos) {
        const std::string key = line.substr(0, eq);
        int v = -1;
        if (section == "config" && config.count(key)) {
          v = config[key];
        } else if (section.rfind("Music_", 0) == 0) {
          const int n = section[6] - '0', k = std::stoi(key);
          v = music[n][k] = (k * 7 + n * 11) % 31;
        } else if (section.rfind("Mic_", 0) == 0) {
          const int n = section[4] - '0', k = std::stoi(key);
          v = mic[n][k] = k <= 31 ? (k * 5 + n * 13 + 3) % 31 : 10 + 13 * (k - 32) + 7 * n;
        }
        if (v >= 0) line = key + "=" + std::to_string(v);
      }
      out += line + "\r\n";
    }
    return out;
  }
};

class PresetOverPty : public ::testing::Test {
 protected:
  PresetOverPty() : rig(6), sim(rig.folder.str(), 6) {}

  // Connects as the operator does and waits for the dump to complete.
  bool link(Program& p, int model) {
    p.form4.link1.click();
    p.form1.Combo1.setIndex(model);
    p.form1.Command1.click();
    const bool ok = pumpUntil([&] { return p.state.Is_Linked; }, 30000);
    pumpUntil([&] { return !p.state.Awaiting_Reply && !p.state.Is_Busy; }, 1000);
    return ok;
  }

  QtRig rig;
  SimProcess sim;
};

TEST_F(PresetOverPty, ALinkedLoadOfTheShippedPresetEndsInTheUnit) {
  ASSERT_TRUE(sim.ready());
  ShippedPreset preset;
  std::ifstream in(std::string(KP_SOURCE_DIR) + "/resources/Pro.dat", std::ios::binary);
  const std::string shipped((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_NE(shipped.find("[Mic_2]"), std::string::npos);
  // Not named Pro.dat: unlinking reloads Pro.dat, which must not be this.
  rig.folder.write("Shipped.dat", preset.rewrite(shipped));

  Program& p = rig.make();
  p.startUp();
  ASSERT_TRUE(rig.serial.isOpen()) << (rig.dialogs.messages.empty() ? "" : rig.dialogs.messages[0]);
  ASSERT_TRUE(link(p, 4));
  ASSERT_TRUE(p.state.Full_Model);

  rig.dialogs.fileAnswers.push_back(rig.folder.file("Shipped.dat"));
  p.form4.open1.click();  // returns when the load is done
  EXPECT_TRUE(p.state.Is_Linked);
  EXPECT_TRUE(rig.dialogs.messages.empty()) << rig.dialogs.messages.front();
  EXPECT_EQ(p.form4.Combo1.index(), 0);
  EXPECT_EQ(p.form4.Combo2.index(), 0);

  // Unlink, blank the image, link again: the dump tells what the unit holds.
  p.form4.unlink.click();
  ASSERT_FALSE(p.state.Is_Linked);
  test::forgetUnitData(p.state);
  ASSERT_TRUE(link(p, 4));
  for (int n = 0; n < 3; ++n) {
    for (int k = 1; k <= 31; ++k) {
      EXPECT_EQ(p.state.image.music(n, k), preset.music[n][k]) << "Music_" << n << "/" << k;
      EXPECT_EQ(p.state.image.mic(n, k), preset.mic[n][k]) << "Mic_" << n << "/" << k;
    }
    for (int k = 32; k <= 37; ++k)
      EXPECT_EQ(p.state.image.mic(n, k), preset.mic[n][k]) << "Mic_" << n << "/" << k;
  }
  const auto& ds = p.state.Device_Settings;
  EXPECT_EQ(ds.MIC_MAX_VOLUME, 85);
  EXPECT_EQ(ds.MIC_MIN_VOLUME, 30);
  EXPECT_EQ(ds.MIC_MODE, 4);
  EXPECT_EQ(ds.MUSIC_MAX_VOLUME, 95);
  EXPECT_EQ(ds.MUSIC_MIN_VOLUME, 35);
  EXPECT_EQ(ds.MUSIC_MODE, 6);
  EXPECT_EQ(ds.KTV_MIN_VOLUME, 25);
  EXPECT_EQ(ds.KTV_MIN_DU, 2);
  EXPECT_EQ(ds.KTV_RESET_TIME, 2);
  EXPECT_EQ(p.form4.cpvSlider(kMusicMaster).value(), 70);
  EXPECT_EQ(p.form4.cpvSlider(kMicMaster).value(), 45);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(p.form4.cpvSlider(kFirstSurround + i).value(), 20 + 2 * i);
  // The unit is in RAM1 of both channels, which the dump shows.
  EXPECT_EQ(p.form4.Combo1.index(), 0);
  for (int k = 1; k <= 31; ++k)
    EXPECT_EQ(p.form4.cpvSlider(musicBandSlider(k)).value(), preset.music[0][k] - 15) << k;

  p.shutDown();
}

}  // namespace
}  // namespace kp
