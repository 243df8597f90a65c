// The receive handling of a started program, with the test playing the unit
// byte by byte: resend requests and acknowledgements in each phase, the
// volume notice, unread input dropped by a send, and the dump's time-out.
#include <gtest/gtest.h>

#include "link/frames.h"
#include "link/messages.h"
#include "panel/catalogue.h"
#include "sim/in_process.h"
#include "tests/support/rig.h"

namespace kp {
namespace {

using test::Rig;

class ScriptedUnit : public ::testing::Test {
 protected:
  ScriptedUnit() { rig.make().startUp(); }
  Program& p() { return *rig.program; }
  SharedState& s() { return rig.program->state; }

  void connect() {
    p().form4.link1.click();
    p().form1.Combo1.setIndex(0);
    p().form1.Command1.click();
    rig.port.clearLog();
  }
  // Linked by the virtual unit's own dump; from then on the test speaks.
  void link() {
    {
      sim::InProcessUnit unit(rig.loop, rig.port);
      connect();
      ASSERT_TRUE(rig.loop.runUntil([&] { return s().Is_Linked; }, 30000));
    }
    rig.port.clearLog();
  }
  void unitSends(const Bytes& bytes) {
    rig.port.receive(bytes);
    rig.loop.settle();
  }
  Slider& band() { return p().form4.cpvSlider(musicBandSlider(7)); }

  Rig rig;
};

TEST_F(ScriptedUnit,
       ALoneResendRequestRepeatsTheLastFrameWithoutAnAcknowledgeWhileAnAnswerIsAwaited) {
  connect();  // phase A: the connect awaits its answer
  unitSends({kResendRequest});
  EXPECT_EQ(rig.port.writes, std::vector<Bytes>{commandFrame(0, cmd::ConnectShort)});

  link();  // phase B: a change awaits its answer
  band().operatorSet(4);
  const Bytes change = s().Last_Frame;
  unitSends({kResendRequest});
  EXPECT_EQ(rig.port.writes, (std::vector<Bytes>{change, change}));
  EXPECT_TRUE(s().Awaiting_Reply);
}

TEST_F(ScriptedUnit, AnAcknowledgementWhileAModesBlockIsAwaitedLeavesTheWaitButKeepsTheLinkAlive) {
  link();
  p().form4.Combo1.operatorSelect((p().form4.Combo1.index() + 1) % 8);
  ASSERT_TRUE(s().Is_Busy);
  rig.loop.advance(10000);
  unitSends({kFrameHeader, kReplyAddress});
  EXPECT_TRUE(s().Awaiting_Reply) << "the block is still to come";
  EXPECT_TRUE(s().Is_Busy);
  rig.loop.advance(14000);  // 24 s after the change, 14 s after the answer
  EXPECT_TRUE(s().Is_Linked);
}

TEST_F(ScriptedUnit, TheVolumeNoticeSetsBothMastersToTheirInitialVolumesAndSendsNothingBack) {
  link();
  s().Device_Settings.MUSIC_MIN_VOLUME = 30;
  s().Device_Settings.MIC_MIN_VOLUME = 20;
  rig.loop.advance(10000);
  unitSends(commandFrame(0, 10));
  EXPECT_EQ(p().form4.cpvSlider(kMusicMaster).value(), 30);
  EXPECT_EQ(p().form4.cpvSlider(kMicMaster).value(), 20);
  EXPECT_EQ(rig.port.writes, std::vector<Bytes>{Bytes{kAckByte}});
  EXPECT_FALSE(s().Is_Busy);
  rig.loop.advance(14000);
  EXPECT_TRUE(s().Is_Linked) << "the notice restarted the watchdog";
}

TEST_F(ScriptedUnit, ASendDropsAHalfMessageAlreadyRead) {
  link();
  unitSends({kFrameHeader, 0x05, 0xFA});  // a message the line cut short
  band().operatorSet(4);
  unitSends({kFrameHeader, kReplyAddress});
  EXPECT_FALSE(s().Awaiting_Reply) << "the answer was taken for the rest of the half message";
}

TEST_F(ScriptedUnit, TheDumpsTimeOutCountsFromItsFirstMarkerHoweverLateItBegan) {
  connect();
  unitSends(commandFrame(0, cmd::ConnectShort));
  ASSERT_EQ(s().Dump_Mode, 1);
  rig.loop.advance(5500);  // five ticks of asking for the dump
  unitSends(commandFrame(0, 13));
  const auto marker = rig.loop.nowMs();
  ASSERT_TRUE(rig.loop.runUntil([&] { return !rig.dialogs.messages.empty(); }, 60000));
  EXPECT_EQ(rig.dialogs.messages[0], kDumpTimeoutMessage);
  EXPECT_EQ(rig.loop.nowMs() - marker, 19000);
}

}  // namespace
}  // namespace kp
