#pragma once
// Saving preset files: a panel set by hand, and the checks of a failed save.
#include <filesystem>
#include <set>
#include <string>

#include "core/utf8_path.h"
#include "tests/presets/preset_fixture.h"

namespace kp::test {

namespace fs = std::filesystem;

// The entries of a folder, by name.
inline std::set<std::string> listing(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    names.insert(utf8FromPath(e.path().filename()));
  return names;
}

class SavePreset : public PresetTest {
 protected:
  // Puts a parameter set on the panel by hand, as the operator and the unit
  // would have left it, without going through a load.
  void setPanel(const PresetData& d) {
    auto& ds = state().Device_Settings;
    ds.MIC_MAX_VOLUME = static_cast<std::uint8_t>(d.num("MIC_MAX_VOLUME"));
    ds.MIC_MIN_VOLUME = static_cast<std::uint8_t>(d.num("MIC_MIN_VOLUME"));
    ds.MIC_MODE = static_cast<std::uint8_t>(d.num("MIC_MODE"));
    ds.MUSIC_MAX_VOLUME = static_cast<std::uint8_t>(d.num("MUSIC_MAX_VOLUME"));
    ds.MUSIC_MIN_VOLUME = static_cast<std::uint8_t>(d.num("MUSIC_MIN_VOLUME"));
    ds.MUSIC_MODE = static_cast<std::uint8_t>(d.num("MUSIC_MODE"));
    ds.KTV_MIN_VOLUME = static_cast<std::uint8_t>(d.num("KTV_MIN_VOLUME"));
    ds.KTV_MIN_DU = static_cast<std::uint8_t>(d.num("KTV_MIN_DU"));
    ds.KTV_RESET_TIME = static_cast<std::uint8_t>(d.num("KTV_RESET_TIME"));
    f4().cpvSlider(kMusicMaster).setValue(d.num("Music_Master"));
    f4().cpvSlider(kMicMaster).setValue(d.num("Mic_Master"));
    const char* surround[] = {"L", "R", "SL", "SR", "C", "SUB"};
    for (int i = 0; i < 6; ++i) f4().cpvSlider(kFirstSurround + i).setValue(d.num(surround[i]));
    for (int n = 0; n < 3; ++n) {
      for (int k = 1; k <= 31; ++k) state().image.setMusic(n, k, d.music[n][k]);
      for (int k = 1; k <= 37; ++k) state().image.setMic(n, k, d.mic[n][k]);
    }
  }

  // A set unlike PresetData::sample() in every value.
  static PresetData other() {
    PresetData d = PresetData::sample();
    d.set("MIC_MAX_VOLUME", 70).set("MIC_MIN_VOLUME", 25).set("MIC_MODE", 7);
    d.set("MUSIC_MAX_VOLUME", 95).set("MUSIC_MIN_VOLUME", 50).set("MUSIC_MODE", 1);
    d.set("Music_Master", 66).set("Mic_Master", 44);
    d.set("L", 1).set("R", 2).set("SL", 3).set("SR", 4).set("C", 5).set("SUB", 50);
    d.set("KTV_MIN_VOLUME", 49).set("KTV_MIN_DU", 0).set("KTV_RESET_TIME", 2);
    for (int n = 0; n < 3; ++n) {
      for (int k = 1; k <= 31; ++k) {
        d.music[n][k] = 30 - d.music[n][k];
        d.mic[n][k] = (d.mic[n][k] + 9) % 31;
      }
      for (int k = 32; k <= 37; ++k) d.mic[n][k] = 100 - d.mic[n][k];
    }
    return d;
  }

  void expectPanelHolds(const PresetData& d) { expectProgramHolds(p(), d); }
};

// A save that cannot complete: the old file (if any) stays as it was, the
// operator is told which file and why, and no working copy is left behind.
class SaveFailure : public SavePreset {
 protected:
  void SetUp() override { setPanel(PresetData::sample()); }

  // The message names the file, then the reason (any the system gives when
  // `reason` is empty).
  void expectReported(const std::string& path, const std::string& reason) {
    ASSERT_EQ(rig.dialogs.messages.size(), 1u);
    const std::string& m = rig.dialogs.messages[0];
    const std::size_t at = m.find(path + ": ");
    ASSERT_NE(at, std::string::npos) << m;
    const std::string why = m.substr(at + path.size() + 2);
    EXPECT_FALSE(why.empty()) << m;
    EXPECT_NE(why.find(reason), std::string::npos) << m;
  }
};

}  // namespace kp::test
