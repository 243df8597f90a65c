#include "link/transmitter.h"

#include <gtest/gtest.h>

#include "core/virtual_loop.h"
#include "link/frames.h"

namespace kp {
namespace {

class TransmitterTest : public ::testing::Test {
 protected:
  TransmitterTest() {
    std::string err;
    port.setReadSize(7);
    port.open(&err);
    watchdog->onTick = [this] {
      expiries.push_back(loop.nowMs());
      watchdog->stop();
    };
  }

  VirtualLoop loop;
  VirtualSerialPort port{loop};
  SharedState state;
  std::unique_ptr<Timer> watchdog = loop.createTimer();
  Transmitter tx{state, port, loop, loop, *watchdog};
  std::vector<std::int64_t> expiries;
};

TEST(FrameLayout, CarriesAddressValueAndTheirComplements) {
  EXPECT_EQ(commandFrame(0, 1), (Bytes{0xAA, 0x00, 0xFF, 0x01, 0xFE, 0x55}));
  EXPECT_EQ(commandFrame(255, 0), (Bytes{0xAA, 0xFF, 0x00, 0x00, 0xFF, 0x55}));
  EXPECT_EQ(commandFrame(0, 255), (Bytes{0xAA, 0x00, 0xFF, 0xFF, 0x00, 0x55}));
  EXPECT_EQ(commandFrame(51, 15), (Bytes{0xAA, 0x33, 0xCC, 0x0F, 0xF0, 0x55}));
  EXPECT_EQ(disconnectFrame(), (Bytes{0xAA, 0x00, 0xFF, 0x00, 0xFF, 0x55}));
  EXPECT_EQ(dumpRequestFrame(), (Bytes{0xAA, 0x00, 0xFF, 0x0A, 0xF5, 0x55}));
  EXPECT_EQ(Make_Byte_Frame(0xAA), Bytes{0xAA});
}

TEST_F(TransmitterTest, SendWritesTheFrameAndArmsTheWait) {
  tx.Send_Command(51, 15);
  ASSERT_EQ(port.writes.size(), 1u);
  EXPECT_EQ(port.writes[0], commandFrame(51, 15));
  EXPECT_EQ(state.Last_Frame, commandFrame(51, 15));
  EXPECT_TRUE(state.Awaiting_Reply);
  EXPECT_EQ(state.Send_Count, 1);
  EXPECT_EQ(state.Send_Stamp, static_cast<std::uint32_t>(loop.nowMs()));
  EXPECT_TRUE(watchdog->isActive());
}

TEST_F(TransmitterTest, WhileBusyNothingIsSentAndNoStateMoves) {
  state.Is_Busy = true;
  state.Last_Frame = commandFrame(9, 9);
  state.Send_Count = 2;
  state.Send_Stamp = 1234;
  port.receive({0xAA, 0x60});
  loop.settle();
  tx.Send_Command(51, 15);
  EXPECT_TRUE(port.writes.empty());
  EXPECT_EQ(state.Last_Frame, commandFrame(9, 9));
  EXPECT_FALSE(state.Awaiting_Reply);
  EXPECT_EQ(state.Send_Count, 2);
  EXPECT_EQ(state.Send_Stamp, 1234u);
  EXPECT_FALSE(watchdog->isActive());
  EXPECT_EQ(port.bytesAvailable(), 2u) << "unread input must not be discarded";
}

TEST_F(TransmitterTest, SendDiscardsALateAnswerStillWaitingUnread) {
  port.receive({0xAA, 0x60});
  tx.Send_Command(45, 12);
  EXPECT_EQ(port.bytesAvailable(), 0u);
}

class WaitReplyTest : public TransmitterTest {};

TEST_F(WaitReplyTest, ReturnsAtOnceWithoutRunningEventsWhenNothingIsAwaited) {
  bool ran = false;
  loop.post([&] { ran = true; });
  const auto pumps = loop.pumps();
  tx.Wait_Reply();
  EXPECT_EQ(loop.pumps(), pumps);
  EXPECT_FALSE(ran);
}

TEST_F(WaitReplyTest, AnAnswerWithin4000msMeansOneTransmission) {
  const auto t0 = loop.nowMs();
  tx.Send_Command(45, 12);
  loop.at(t0 + 3999, [&] { state.Awaiting_Reply = false; });
  tx.Wait_Reply();
  EXPECT_EQ(port.writes.size(), 1u);
  EXPECT_EQ(loop.nowMs(), t0 + 3999);
}

TEST_F(WaitReplyTest, ASilentUnitGetsThreeTransmissionsThenTheWaitGivesUp) {
  const auto t0 = loop.nowMs();
  tx.Send_Command(45, 12);
  tx.Wait_Reply();
  ASSERT_EQ(port.writes.size(), 3u);
  for (const auto& w : port.writes) EXPECT_EQ(w, commandFrame(45, 12));
  // Resent after more than 4000 ms each time; back right after the third.
  EXPECT_EQ(port.writeTimes[1] - t0, 4001);
  EXPECT_EQ(port.writeTimes[2] - t0, 8002);
  EXPECT_EQ(loop.nowMs(), t0 + 8002);
  EXPECT_TRUE(state.Awaiting_Reply);
  EXPECT_EQ(state.Send_Count, 3);
}

TEST_F(WaitReplyTest, AnAnswerAfterOneResendEndsTheWait) {
  const auto t0 = loop.nowMs();
  tx.Send_Command(45, 12);
  loop.at(t0 + 5000, [&] { state.Awaiting_Reply = false; });
  tx.Wait_Reply();
  EXPECT_EQ(port.writes.size(), 2u);
  EXPECT_EQ(loop.nowMs(), t0 + 5000);
}

TEST_F(WaitReplyTest, ACountLeftPastTheLimitStillEndsTheWait) {
  // A nested exchange can leave the count above the limit while the panel is
  // busy and sends nothing; the wait must still come to an end.
  state.Is_Busy = true;
  state.Awaiting_Reply = true;
  state.Last_Frame = commandFrame(84, 1);
  state.Send_Count = 3;
  state.Send_Stamp = static_cast<std::uint32_t>(loop.nowMs());
  tx.Wait_Reply();
  EXPECT_EQ(port.writes.size(), 1u);
  EXPECT_EQ(state.Send_Count, 4);
}

TEST_F(WaitReplyTest, ANestedSendReplacesTheFrameThatIsResent) {
  const auto t0 = loop.nowMs();
  tx.Send_Command(45, 12);
  loop.at(t0 + 1000, [&] { tx.Send_Command(46, 13); });
  tx.Wait_Reply();
  ASSERT_EQ(port.writes.size(), 4u);
  EXPECT_EQ(port.writes[2], commandFrame(46, 13));
  EXPECT_EQ(port.writeTimes[2] - t0, 5001);
}

TEST_F(WaitReplyTest, AnAbandonedWaitReturnsAtItsNextTurn) {
  tx.Send_Command(45, 12);
  loop.at(loop.nowMs() + 100, [&] { tx.abandonWaits(); });
  tx.Wait_Reply();
  EXPECT_EQ(port.writes.size(), 1u);
}

class WatchdogTest : public TransmitterTest {};

TEST_F(WatchdogTest, StartingAgainKeepsTheRunningCountdown) {
  const auto t0 = loop.nowMs();
  tx.Send_Command(45, 12);
  loop.advance(10000);
  tx.Send_Command(45, 13);
  loop.advance(20000);
  ASSERT_EQ(expiries.size(), 1u);
  EXPECT_EQ(expiries[0] - t0, 15000);
}

TEST_F(WatchdogTest, RestartingBeginsANewCountdown) {
  const auto t0 = loop.nowMs();
  tx.Send_Command(45, 12);
  loop.advance(10000);
  tx.restartWatchdog();
  loop.advance(20000);
  ASSERT_EQ(expiries.size(), 1u);
  EXPECT_EQ(expiries[0] - t0, 25000);
}

TEST_F(WatchdogTest, AResendOtherThanTheLastRestartsIt) {
  const auto t0 = loop.nowMs();
  tx.Send_Command(45, 12);
  tx.Wait_Reply();  // resends at +4001 (restart) and +8002 (last: no restart)
  loop.advance(30000);
  ASSERT_EQ(expiries.size(), 1u);
  EXPECT_EQ(expiries[0] - t0, 4001 + 15000);
}

// Batch waits that send a given-up frame again, while "linked".
class ConfirmedWaitTest : public TransmitterTest {
 protected:
  ConfirmedWaitTest() { state.Is_Linked = true; }
  int sent(const Bytes& frame) const {
    int n = 0;
    for (const auto& w : port.writes) n += w == frame;
    return n;
  }
};

TEST_F(ConfirmedWaitTest, ASilentUnitGetsThreeRoundsOfThreeEachAfterTimeForALateAnswer) {
  const auto t0 = loop.nowMs();
  tx.Send_Command(45, 12);
  EXPECT_FALSE(tx.waitConfirmed());
  EXPECT_EQ(sent(commandFrame(45, 12)), 3 * Transmitter::kBatchRounds);
  EXPECT_EQ(port.writes.size(), 9u) << "nothing but that frame";
  // 0, 4, 8 s; a late answer could come until 12 s; again at 12, 16, 20 s...
  EXPECT_EQ(port.writeTimes[3] - t0, 8002 + 4001);
  EXPECT_EQ(loop.nowMs() - port.writeTimes[8], 0) << "back right after the last";
  EXPECT_EQ(tx.unconfirmed(), 1);
}

TEST_F(ConfirmedWaitTest, AnAnswerToTheLastTransmissionOfARoundEndsTheWaitWithoutASendMore) {
  const auto t0 = loop.nowMs();
  tx.Send_Command(45, 12);
  loop.at(t0 + 8002 + 3000, [&] { state.Awaiting_Reply = false; });
  EXPECT_TRUE(tx.waitConfirmed());
  EXPECT_EQ(port.writes.size(), 3u);
  EXPECT_EQ(loop.nowMs(), t0 + 8002 + 3000);
  EXPECT_EQ(tx.unconfirmed(), 0);
}

TEST_F(ConfirmedWaitTest, TheBatchFrameIsSentAgainEvenAfterTheOperatorSentAnother) {
  const auto t0 = loop.nowMs();
  tx.Send_Command(45, 12);
  loop.at(t0 + 1000, [&] { tx.Send_Command(60, 70); });  // a slider moved meanwhile
  loop.at(t0 + 14000, [&] { state.Awaiting_Reply = false; });
  EXPECT_TRUE(tx.waitConfirmed());
  ASSERT_GE(port.writes.size(), 5u);
  EXPECT_EQ(port.writes.back(), commandFrame(45, 12)) << "the second round is the batch's frame";
}

TEST_F(ConfirmedWaitTest, AStepThatSentNothingAfterAGivenUpFrameNeitherRetriesNorCountsIt) {
  tx.Send_Command(45, 12);
  EXPECT_FALSE(tx.waitConfirmed());
  const auto writes = port.writes.size();
  EXPECT_FALSE(tx.waitConfirmed());  // the next step found nothing to send
  EXPECT_LE(port.writes.size(), writes + 1) << "no new rounds for a frame that had them";
  EXPECT_EQ(tx.unconfirmed(), 1);
}

TEST_F(ConfirmedWaitTest, NoRoundsOnceTheLinkHasEndedOrTheProgramCloses) {
  tx.Send_Command(45, 12);
  loop.at(loop.nowMs() + 9000, [&] { state.Is_Linked = false; });
  EXPECT_FALSE(tx.waitConfirmed());
  EXPECT_EQ(port.writes.size(), 3u);

  state.Is_Linked = true;
  tx.Send_Command(46, 12);
  loop.at(loop.nowMs() + 100, [&] { tx.abandonWaits(); });
  EXPECT_FALSE(tx.waitConfirmed());
  EXPECT_EQ(sent(commandFrame(46, 12)), 1);
}

}  // namespace
}  // namespace kp

namespace kp {
namespace {

TEST_F(WaitReplyTest, AClosedPortEndsTheWaitAtOnce) {
  tx.Send_Command(45, 12);
  port.close();
  const auto t0 = loop.nowMs();
  tx.Wait_Reply();
  EXPECT_EQ(loop.nowMs(), t0);
}

TEST_F(WatchdogTest, AfterAnUnansweredWaitResendsNoLongerKeepTheLinkAlive) {
  // A batch to a unit that fell silent: the first wait restarts the watchdog
  // at its resend as usual; the following ones do not, so it runs out.
  const auto t0 = loop.nowMs();
  for (int frame = 0; frame < 4 && expiries.empty(); ++frame) {
    tx.Send_Command(static_cast<std::uint8_t>(45 + frame), 15);
    tx.Wait_Reply();
  }
  ASSERT_EQ(expiries.size(), 1u);
  EXPECT_EQ(expiries[0] - t0, 4001 + 15000);
}

TEST_F(WatchdogTest, AWaitEndedByAClosedPortLeavesNoGivenUpStateBehind) {
  tx.Send_Command(45, 12);
  tx.Wait_Reply();  // unanswered
  tx.Send_Command(46, 12);
  loop.at(loop.nowMs() + 100, [&] { port.close(); });
  tx.Wait_Reply();
  ASSERT_TRUE(port.open(nullptr));
  watchdog->stop();
  expiries.clear();
  const auto t = loop.nowMs();
  tx.Send_Command(47, 12);
  tx.Wait_Reply();
  loop.advance(30000);
  ASSERT_EQ(expiries.size(), 1u);
  EXPECT_EQ(expiries[0] - t, 4001 + 15000);
}

TEST_F(WatchdogTest, AnAnsweredWaitRestoresTheUsualRestart) {
  tx.Send_Command(45, 12);
  tx.Wait_Reply();  // unanswered
  const auto t1 = loop.nowMs();
  tx.Send_Command(46, 12);
  loop.at(t1 + 100, [&] { state.Awaiting_Reply = false; });
  tx.Wait_Reply();  // answered
  watchdog->stop();
  expiries.clear();
  const auto t2 = loop.nowMs();
  tx.Send_Command(47, 12);
  tx.Wait_Reply();
  loop.advance(30000);
  ASSERT_EQ(expiries.size(), 1u);
  EXPECT_EQ(expiries[0] - t2, 4001 + 15000);
}

}  // namespace
}  // namespace kp
