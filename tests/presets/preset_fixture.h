#pragma once
// Preset files for the preset tests: a builder that writes them as the panel
// (or a hand on Windows) would, and a started program on virtual time with
// the in-process unit behind its port.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "link/frames.h"
#include "panel/catalogue.h"
#include "sim/in_process.h"
#include "tests/support/rig.h"

namespace kp::test {

// One preset file's content. Config keys keep the order they were given in;
// slot entries are the bytes the file holds (bands as slider value + 15).
struct PresetData {
  std::vector<std::pair<std::string, std::string>> config;
  std::array<std::array<int, 32>, 3> music{};  // [slot][1..31]
  std::array<std::array<int, 38>, 3> mic{};    // [slot][1..37]
  bool withSlots = true;

  // Every key of a new file, with values that differ from slot to slot and
  // from band to band, so a value landing in the wrong place shows.
  static PresetData sample() {
    PresetData d;
    d.config = {{"MIC_MAX_VOLUME", "80"},
                {"MIC_MIN_VOLUME", "35"},
                {"MIC_MODE", "2"},
                {"MUSIC_MAX_VOLUME", "85"},
                {"MUSIC_MIN_VOLUME", "45"},
                {"MUSIC_MODE", "5"},
                {"Music_Master", "55"},
                {"Mic_Master", "65"},
                {"L", "11"},
                {"R", "12"},
                {"SL", "13"},
                {"SR", "14"},
                {"C", "15"},
                {"SUB", "16"},
                {"KTV_MIN_VOLUME", "20"},
                {"KTV_MIN_DU", "2"},
                {"KTV_RESET_TIME", "0"},
                {"MUSIC_CHANGE_MODE", "0"},
                {"MIC_CHANGE_MODE", "0"}};
    for (int n = 0; n < 3; ++n) {
      for (int k = 1; k <= 31; ++k) {
        d.music[n][k] = (k * 7 + n * 11) % 31;
        d.mic[n][k] = (k * 5 + n * 13 + 3) % 31;
      }
      for (int k = 32; k <= 37; ++k) d.mic[n][k] = 10 + 13 * (k - 32) + 7 * n;
    }
    return d;
  }

  std::string get(const std::string& key) const {
    for (const auto& [k, v] : config)
      if (k == key) return v;
    return {};
  }
  int num(const std::string& key) const { return std::stoi(get(key)); }
  PresetData& set(const std::string& key, const std::string& value) {
    for (auto& [k, v] : config)
      if (k == key) {
        v = value;
        return *this;
      }
    config.emplace_back(key, value);
    return *this;
  }
  PresetData& set(const std::string& key, int value) { return set(key, std::to_string(value)); }
  PresetData& erase(const std::string& key) {
    std::erase_if(config, [&](const auto& kv) { return kv.first == key; });
    return *this;
  }

  // The file text; skip names one slot key, as "Music_1/17", to leave out.
  std::string text(const std::string& eol = "\r\n", const std::string& skip = {}) const {
    std::string out = "[config]" + eol;
    for (const auto& [k, v] : config) out += k + "=" + v + eol;
    if (!withSlots) return out;
    auto section = [&](const std::string& name, int n, int last, const auto& table) {
      out += "[" + name + std::to_string(n) + "]" + eol;
      for (int k = 1; k <= last; ++k) {
        if (skip == name + std::to_string(n) + "/" + std::to_string(k)) continue;
        out += std::to_string(k) + "=" + std::to_string(table[n][k]) + eol;
      }
    };
    for (int n = 0; n < 3; ++n) section("Music_", n, 31, music);
    for (int n = 0; n < 3; ++n) section("Mic_", n, 37, mic);
    return out;
  }
};

// A program started unlinked, the in-process unit on its port, and the
// default preset file absent unless a test writes one.
class PresetTest : public ::testing::Test {
 protected:
  explicit PresetTest(sim::UnitOptions options = {}) : unit(rig.loop, rig.port, options) {
    rig.make().startUp();
    rig.port.clearLog();
  }

  Program& p() { return *rig.program; }
  SharedState& state() { return rig.program->state; }
  Form4& f4() { return rig.program->form4; }
  std::string file(const std::string& name) const { return rig.folder.file(name); }

  void writePreset(const std::string& name, const PresetData& d, const std::string& skip = {}) {
    rig.folder.write(name, d.text("\r\n", skip));
  }

  // The operator's file commands, with the file dialog answering `path`.
  void openCommand(const std::string& path) {
    rig.dialogs.fileAnswers.push_back(path);
    f4().open1.click();
  }
  void saveCommand(const std::string& path) {
    rig.dialogs.fileAnswers.push_back(path);
    f4().save1.click();
  }

  // Connects as the operator does and waits for the dump to complete.
  void link(int model) {
    f4().link1.click();
    p().form1.Combo1.setIndex(model);
    p().form1.Command1.click();
    ASSERT_TRUE(rig.loop.runUntil([&] { return state().Is_Linked; }, 30000));
    rig.loop.runUntil([&] { return !state().Awaiting_Reply && !state().Is_Busy; }, 1000);
    rig.port.clearLog();
  }

  // Six-byte frames the panel wrote since the log was last cleared.
  std::vector<Bytes> frames() const {
    std::vector<Bytes> out;
    for (const auto& w : rig.port.writes)
      if (w.size() == kFrameSize) out.push_back(w);
    return out;
  }

  int slider(int n) { return f4().cpvSlider(n).value(); }

  Rig rig;
  sim::InProcessUnit unit;
};

// "(a,v)" for failure messages.
inline std::string describe(const std::vector<Bytes>& frames) {
  std::string s;
  for (const auto& f : frames) s += "(" + std::to_string(f[1]) + "," + std::to_string(f[3]) + ") ";
  return s;
}

// The program holds everything of d: the device settings, the masters, the
// 5.1 levels and the three user slots of both channels.
inline void expectProgramHolds(Program& p, const PresetData& d) {
  const auto& ds = p.state.Device_Settings;
  EXPECT_EQ(ds.MIC_MAX_VOLUME, d.num("MIC_MAX_VOLUME"));
  EXPECT_EQ(ds.MIC_MIN_VOLUME, d.num("MIC_MIN_VOLUME"));
  EXPECT_EQ(ds.MIC_MODE, d.num("MIC_MODE"));
  EXPECT_EQ(ds.MUSIC_MAX_VOLUME, d.num("MUSIC_MAX_VOLUME"));
  EXPECT_EQ(ds.MUSIC_MIN_VOLUME, d.num("MUSIC_MIN_VOLUME"));
  EXPECT_EQ(ds.MUSIC_MODE, d.num("MUSIC_MODE"));
  EXPECT_EQ(ds.KTV_MIN_VOLUME, d.num("KTV_MIN_VOLUME"));
  EXPECT_EQ(ds.KTV_MIN_DU, d.num("KTV_MIN_DU"));
  EXPECT_EQ(ds.KTV_RESET_TIME, d.num("KTV_RESET_TIME"));
  EXPECT_EQ(p.form4.cpvSlider(kMusicMaster).value(), d.num("Music_Master"));
  EXPECT_EQ(p.form4.cpvSlider(kMicMaster).value(), d.num("Mic_Master"));
  const char* surround[] = {"L", "R", "SL", "SR", "C", "SUB"};
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(p.form4.cpvSlider(kFirstSurround + i).value(), d.num(surround[i])) << surround[i];
  for (int n = 0; n < 3; ++n) {
    for (int k = 1; k <= 31; ++k)
      EXPECT_EQ(p.state.image.music(n, k), d.music[n][k]) << "Music_" << n << "/" << k;
    for (int k = 1; k <= 37; ++k)
      EXPECT_EQ(p.state.image.mic(n, k), d.mic[n][k]) << "Mic_" << n << "/" << k;
  }
}

// Blanks the user slots and the device settings, so what a new link's dump
// brings shows for certain.
inline void forgetUnitData(SharedState& s) {
  for (int n = 0; n < 3; ++n) {
    for (int k = 1; k <= 31; ++k) s.image.setMusic(n, k, 99);
    for (int k = 1; k <= 37; ++k) s.image.setMic(n, k, 99);
  }
  s.Device_Settings = {};
}

}  // namespace kp::test
