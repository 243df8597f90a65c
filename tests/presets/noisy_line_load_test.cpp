// A linked preset load over a line that loses frames and garbles others, on
// virtual time: whatever the line does, the file ends up in the unit, or the
// operator is told that it did not. A preset lost without a word is the one
// outcome that is never acceptable.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/frames.h"
#include "sim/in_process.h"
#include "tests/presets/preset_fixture.h"
#include "tests/support/rig.h"

// Known failing: the faults these tests find are not mended yet; they are
// enabled again with the fix.
namespace kp {
namespace {

using test::PresetData;

// Every value of the file the unit does not hold, as "what: unit x, file y".
std::vector<std::string> differences(const sim::UnitState& u, const PresetData& f) {
  std::vector<std::string> out;
  auto check = [&](const std::string& what, int unit, int file) {
    if (unit != file)
      out.push_back(what + ": unit " + std::to_string(unit) + ", file " + std::to_string(file));
  };
  for (int n = 0; n < 3; ++n) {
    for (int k = 1; k <= 31; ++k) {
      check("Music_" + std::to_string(n) + "/" + std::to_string(k), u.musicSlots[n].bands[k - 1],
            f.music[n][k]);
      check("Mic_" + std::to_string(n) + "/" + std::to_string(k), u.micSlots[n].bands[k - 1],
            f.mic[n][k]);
    }
    for (int e = 0; e < sim::kEffects; ++e)
      check("Mic_" + std::to_string(n) + "/" + std::to_string(32 + e), u.micSlots[n].effects[e],
            f.mic[n][32 + e]);
  }
  check("MIC_MAX_VOLUME", u.setup.micMaxVolume, f.num("MIC_MAX_VOLUME"));
  check("MIC_MIN_VOLUME", u.setup.micMinVolume, f.num("MIC_MIN_VOLUME"));
  check("MUSIC_MAX_VOLUME", u.setup.musicMaxVolume, f.num("MUSIC_MAX_VOLUME"));
  check("MUSIC_MIN_VOLUME", u.setup.musicMinVolume, f.num("MUSIC_MIN_VOLUME"));
  check("MIC_MODE", u.setup.micEffectMode, f.num("MIC_MODE"));
  check("MUSIC_MODE", u.setup.musicEffectMode, f.num("MUSIC_MODE"));
  check("KTV_MIN_VOLUME", u.setup.ktvMinVolume, f.num("KTV_MIN_VOLUME"));
  check("Music_Master", u.musicMaster, f.num("Music_Master"));
  check("Mic_Master", u.micMaster, f.num("Mic_Master"));
  const char* outputs[] = {"L", "R", "SL", "SR", "C", "SUB"};
  for (int i = 0; i < sim::kSurrounds; ++i) check(outputs[i], u.surround[i], f.num(outputs[i]));
  return out;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += "\n  " + l;
  return s;
}

class NoisyLineLoad : public ::testing::Test {
 protected:
  // A fresh linked program (long dump) on the in-process unit with these
  // faults, and the sample preset written as Show.dat.
  void start(const sim::UnitOptions& options) {
    unit_.reset();
    rig_ = std::make_unique<test::Rig>();
    unit_ = std::make_unique<sim::InProcessUnit>(rig_->loop, rig_->port, options);
    rig_->folder.write("Show.dat", file.text());
    Program& p = rig_->make();
    p.startUp();
    p.form4.link1.click();
    p.form1.Combo1.setIndex(4);
    p.form1.Command1.click();
    ASSERT_TRUE(rig_->loop.runUntil([&] { return p.state.Is_Linked; }, 60000));
    rig_->loop.runUntil([&] { return !p.state.Awaiting_Reply && !p.state.Is_Busy; }, 1000);
    rig_->dialogs.messages.clear();
  }
  // The operator opens Show.dat; returns when the load is done.
  void load() {
    rig_->dialogs.fileAnswers.push_back(rig_->folder.file("Show.dat"));
    rig_->program->form4.open1.click();
  }
  test::Rig& rig() { return *rig_; }
  sim::VirtualUnit& unit() { return unit_->unit(); }

  PresetData file = PresetData::sample();

 private:
  std::unique_ptr<test::Rig> rig_;
  std::unique_ptr<sim::InProcessUnit> unit_;  // destroyed before the rig it uses
};

TEST_F(NoisyLineLoad, DISABLED_ResendRequestsAndDroppedFramesNeverLoseAValueSilently) {
  for (std::uint64_t seed = 1; seed <= 12 && !HasFatalFailure(); ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    sim::UnitOptions o;
    o.resendProbability = 0.2;
    o.dropProbability = 0.05;
    o.seed = seed;
    start(o);
    const auto t0 = rig().loop.nowMs();
    load();
    // About 230 frames, a few of them resent after 4 s: minutes at most.
    EXPECT_LT(rig().loop.nowMs() - t0, 10 * 60 * 1000);
    const auto lost = differences(unit().state(), file);
    EXPECT_TRUE(lost.empty() || !rig().dialogs.messages.empty())
        << lost.size() << " values of the file are not in the unit and nothing was shown:"
        << joined(lost);
    EXPECT_GT(unit().counters().framesDropped, 0u) << "the line did lose frames";
  }
}

// The line swallows all three transmissions of one store command: that slot
// of the file never reaches the unit. The panel may go on with the load, but
// it must not finish as if all had gone well.
TEST_F(NoisyLineLoad, DISABLED_AStoreCommandLostThreeTimesIsReportedToTheOperator) {
  start({});
  const Bytes storeMusicRam2 = commandFrame(addr::StoreMusic, 1);
  int swallowed = 0;
  auto toUnit = rig().port.onTransmit;
  rig().port.onTransmit = [&, toUnit](const Bytes& b) {
    if (b == storeMusicRam2 && swallowed < 3) {
      ++swallowed;
      return;
    }
    toUnit(b);
  };
  load();
  ASSERT_EQ(swallowed, 3) << "the load sent the store command three times and no more";
  const auto lost = differences(unit().state(), file);
  ASSERT_FALSE(lost.empty()) << "RAM2 of the music channel cannot be in the unit";
  EXPECT_NE(lost.front().find("Music_1/"), std::string::npos) << lost.front();
  EXPECT_FALSE(rig().dialogs.messages.empty())
      << "the load ended as if it had succeeded;" << joined(lost);
  EXPECT_TRUE(rig().program->state.Is_Linked) << "the unit answered everything else";
}

}  // namespace
}  // namespace kp
