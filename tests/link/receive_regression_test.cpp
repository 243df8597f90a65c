// What the receive fuzzer found: a unit that falls silent in mid-dump left
// the panel busy for good, with nothing left to time the connect out.
#include <gtest/gtest.h>

#include "link/frames.h"
#include "link/messages.h"
#include "sim/in_process.h"
#include "tests/support/rig.h"

namespace kp {
namespace {

using test::Rig;

using test::countFrames;

class StalledDump : public ::testing::Test {
 protected:
  explicit StalledDump(sim::UnitOptions o = {}) : unit(rig.loop, rig.port, o) {
    rig.make().startUp();
  }
  Program& p() { return *rig.program; }
  void connect() {
    p().form4.link1.click();
    p().form1.Combo1.setIndex(0);
    p().form1.Command1.click();
  }
  static sim::UnitOptions muteAfter(std::uint64_t messages) {
    sim::UnitOptions o;
    o.stopAfter = messages;
    return o;
  }

  Rig rig;
  sim::InProcessUnit unit;
};

class MuteAfterFirstMarker : public StalledDump {
 protected:
  MuteAfterFirstMarker() : StalledDump(muteAfter(2)) {}  // the answer and marker 13
};

TEST_F(MuteAfterFirstMarker, ThePanelAsksAgainThenGivesUpWithTheDumpTimeOut) {
  connect();
  rig.loop.runUntil([&] { return p().state.Dump_Section == 1; }, 5000);
  ASSERT_TRUE(p().state.Is_Busy);
  const auto marker = rig.loop.nowMs();
  rig.loop.runUntil([&] { return !rig.dialogs.messages.empty(); }, 60000);
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0], kDumpTimeoutMessage);
  EXPECT_EQ(rig.loop.nowMs() - marker, 19000);
  // The request after the answer, then one on each tick but the last.
  EXPECT_EQ(countFrames(rig.port, dumpRequestFrame()), 1 + 18);
  EXPECT_FALSE(p().state.Is_Linked);
  EXPECT_FALSE(p().state.Is_Busy);
  EXPECT_FALSE(p().form1.Timer1->isActive());
  EXPECT_FALSE(p().form1.loaded());
}

TEST_F(MuteAfterFirstMarker, AModePickedAfterwardsNoLongerLocksEveryWindow) {
  connect();
  rig.loop.advance(60000);
  ASSERT_FALSE(p().state.Is_Busy);
  ASSERT_TRUE(p().form4.Combo1.enabled());
  p().form4.Combo1.operatorSelect(1);
  rig.loop.advance(60000);
  EXPECT_TRUE(p().form4.enabled());
  EXPECT_TRUE(p().form4.Combo1.enabled());
  EXPECT_FALSE(p().state.Is_Busy);
}

class SlowUnit : public StalledDump {
 protected:
  SlowUnit() : StalledDump(slow()) {}
  static sim::UnitOptions slow() {
    sim::UnitOptions o;
    o.latencyMs = 900;  // each message just inside the tick
    return o;
  }
};

// Each message begins a new countdown: a slow dump is never cut short, nor
// asked for again, however long it takes as a whole.
TEST_F(SlowUnit, ADumpWithEveryMessageInsideTheTickLinksWithoutBeingAskedAgain) {
  connect();
  ASSERT_TRUE(rig.loop.runUntil([&] { return p().state.Is_Linked; }, 600000));
  EXPECT_GT(rig.loop.nowMs() - 1'000'000, 200000) << "the dump took minutes";
  EXPECT_EQ(countFrames(rig.port, dumpRequestFrame()), 1);
  EXPECT_FALSE(p().state.Is_Busy);
  EXPECT_FALSE(p().form1.Timer1->isActive());
  EXPECT_TRUE(rig.dialogs.messages.empty());
  const auto& st = unit->state();
  for (int slot = 0; slot < 3; ++slot)
    for (int k = 1; k <= 31; ++k)
      EXPECT_EQ(p().state.image.music(slot, k), st.musicSlots[slot].bands[k - 1]);
}

// The time-out runs only between messages: an error box that a dump value
// raises may stay open for long, and the dump goes on when it closes.
TEST_F(StalledDump, AMessageBoxInMidDumpDoesNotTimeTheDumpOut) {
  auto st = unit->state();
  st.setup.micMaxVolume = 250;  // beyond the spin button's range: an error box
  unit->setState(st);
  int boxes = 0;
  rig.dialogs.onMessage = [&](const std::string&) {
    ++boxes;
    rig.loop.advance(5000);
  };
  connect();
  ASSERT_TRUE(rig.loop.runUntil([&] { return p().state.Is_Linked; }, 30000));
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(countFrames(rig.port, dumpRequestFrame()), 1);
  EXPECT_EQ(p().state.Connect_Ticks, 1);
}

}  // namespace
}  // namespace kp
