// A linked preset load over a line that loses frames and garbles others, on
// virtual time: whatever the line does, the file ends up in the unit, or the
// operator is told that it did not. A preset lost without a word is the one
// outcome that is never acceptable.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/frames.h"
#include "link/messages.h"
#include "presets/preset_file.h"
#include "sim/in_process.h"
#include "tests/presets/preset_fixture.h"
#include "tests/support/rig.h"

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

TEST_F(NoisyLineLoad, ThroughResendRequestsAndDroppedFramesTheWholeFileLands) {
  for (std::uint64_t seed = 1; seed <= 24 && !HasFatalFailure(); ++seed) {
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
    EXPECT_TRUE(lost.empty()) << lost.size()
                              << " values of the file are not in the unit:" << joined(lost);
    EXPECT_TRUE(rig().dialogs.messages.empty()) << rig().dialogs.messages.front();
    EXPECT_TRUE(rig().program->state.Is_Linked);
    EXPECT_GT(unit().counters().framesDropped, 0u) << "the line did lose frames";
  }
}

// Swallows the first `times` transmissions of one frame to the unit (all of
// them when times is negative) and counts what it swallowed.
struct Swallow {
  Swallow(VirtualSerialPort& port, Bytes frame, int times) : frame(std::move(frame)), times(times) {
    auto toUnit = port.onTransmit;
    port.onTransmit = [this, toUnit](const Bytes& b) {
      if (b == this->frame && (this->times < 0 || swallowed < this->times)) {
        ++swallowed;
        return;
      }
      toUnit(b);
    };
  }
  Bytes frame;
  int times;
  int swallowed = 0;
};

// All three transmissions of one store command vanish: the load sends it
// again instead of going on without that slot.
TEST_F(NoisyLineLoad, AStoreCommandLostThreeTimesIsSentAgainAndTheSlotLands) {
  start({});
  Swallow line(rig().port, commandFrame(addr::StoreMusic, 1), 3);
  load();
  EXPECT_EQ(line.swallowed, 3);
  EXPECT_EQ(test::countFrames(rig().port, line.frame), 4) << "three transmissions, then once more";
  const auto lost = differences(unit().state(), file);
  EXPECT_TRUE(lost.empty()) << joined(lost);
  EXPECT_TRUE(rig().dialogs.messages.empty()) << rig().dialogs.messages.front();
  EXPECT_TRUE(rig().program->state.Is_Linked);
}

// A store command that never gets through, while the unit keeps the link
// alive with resend requests: the load gives that frame up after three
// rounds, finishes the rest and says that it is incomplete.
TEST_F(NoisyLineLoad, AFrameThatNeverLandsIsReportedAtTheEndOfTheLoad) {
  start({});
  Swallow line(rig().port, commandFrame(addr::StoreMusic, 1), -1);
  bool loading = true;
  std::function<void()> nag = [&] {
    if (!loading) return;
    rig().port.receive({0x55});
    rig().loop.at(rig().loop.nowMs() + 3000, nag);
  };
  rig().loop.at(rig().loop.nowMs() + 3000, nag);
  load();
  loading = false;
  // Each resend request sends it once more besides the rounds' own.
  EXPECT_GE(line.swallowed, 3 * Transmitter::kBatchRounds);
  const auto lost = differences(unit().state(), file);
  ASSERT_FALSE(lost.empty()) << "RAM2 of the music channel cannot be in the unit";
  for (const auto& l : lost) EXPECT_EQ(l.rfind("Music_1/", 0), 0u) << l;
  ASSERT_EQ(rig().dialogs.messages.size(), 1u);
  EXPECT_EQ(rig().dialogs.messages[0], unconfirmedLoadMessage(1));
  EXPECT_TRUE(rig().program->state.Is_Linked) << "the unit answered everything else";
}

// The same frame lost for good on a unit that says nothing else: the link
// watchdog runs out, and the operator learns it from the link's own message.
TEST_F(NoisyLineLoad, AFrameLostOnASilentLineEndsTheLinkWithItsMessage) {
  start({});
  Swallow line(rig().port, commandFrame(addr::StoreMusic, 1), -1);
  const auto t0 = rig().loop.nowMs();
  load();
  EXPECT_LT(rig().loop.nowMs() - t0, 5 * 60 * 1000);
  EXPECT_FALSE(rig().program->state.Is_Linked);
  ASSERT_FALSE(rig().dialogs.messages.empty());
  EXPECT_EQ(rig().dialogs.messages[0], kLinkTimeoutMessage);
}

// The program closed in the middle of a linked load: the load's remaining
// waits end at once, nothing more goes out, and no message box appears
// while the program goes away.
TEST_F(NoisyLineLoad, ClosingTheProgramInTheMiddleOfALoadEndsItQuietly) {
  start({});
  Program& p = *rig().program;
  rig().port.onTransmit = [&, toUnit = rig().port.onTransmit](const Bytes& b) {
    toUnit(b);
    if (b == commandFrame(addr::StoreMusic, 0)) rig().loop.post([&] { p.shutDown(); });
  };
  const auto t0 = rig().loop.nowMs();
  load();
  EXPECT_LT(rig().loop.nowMs() - t0, 1000) << "no wait outlives the program";
  EXPECT_TRUE(rig().dialogs.messages.empty()) << rig().dialogs.messages.front();
  EXPECT_FALSE(rig().port.isOpen());
}

}  // namespace
}  // namespace kp
