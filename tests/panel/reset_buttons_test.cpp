// The two section reset buttons: flat sliders, a flat image slot, and when
// linked the reset command with its wait for the unit's reply.
#include "tests/panel/panel_fixture.h"

namespace kp::test {
namespace {

class SectionReset : public PanelTest {
 protected:
  SectionReset() {
    selectModesOffline(1, 2);
    for (int k = 1; k <= 31; ++k) {
      f4().cpvSlider(k).setValue(k % 2 ? 6 : -6);
      f4().cpvSlider(33 + k).setValue(k % 2 ? -4 : 9);
    }
    f4().cpvSlider(32).setValue(80);
    f4().cpvSlider(65).setValue(70);
    f4().cpvSlider(73).setValue(45);
    f4().cpvSlider(78).setValue(55);
  }
  Button& musicReset() { return f4().Command(68); }
  Button& micReset() { return f4().Command(144); }

  void expectMusicFlat(int slot) {
    for (int k = 1; k <= 31; ++k) {
      SCOPED_TRACE("music band " + std::to_string(k));
      EXPECT_EQ(f4().cpvSlider(k).value(), 0);
      EXPECT_EQ(state().image.music(slot, k), 15);
    }
    EXPECT_EQ(f4().Label(7).caption(), "0");
    EXPECT_EQ(f4().Label(23).caption(), "0");
  }
  void expectMicFlat(int slot) {
    for (int k = 1; k <= 31; ++k) {
      SCOPED_TRACE("microphone band " + std::to_string(k));
      EXPECT_EQ(f4().cpvSlider(33 + k).value(), 0);
      EXPECT_EQ(state().image.mic(slot, k), 15);
    }
    EXPECT_EQ(f4().Label(54).caption(), "0");
    EXPECT_EQ(f4().Label(55).caption(), "0");
  }
};

TEST_F(SectionReset, UnlinkedMusicResetFlattensOnlyTheMusicBandsAndSendsNothing) {
  rig.port.clearLog();
  musicReset().click();
  expectMusicFlat(1);
  EXPECT_TRUE(rig.port.writes.empty());
  EXPECT_FALSE(state().Is_Busy);
  EXPECT_EQ(f4().cpvSlider(32).value(), 80);
  EXPECT_EQ(f4().cpvSlider(34).value(), -4);
  EXPECT_EQ(state().image.music(0, 1), 0) << "other slots are not touched";
}

TEST_F(SectionReset, UnlinkedMicResetLeavesMasterAndEffects) {
  rig.port.clearLog();
  micReset().click();
  expectMicFlat(2);
  EXPECT_TRUE(rig.port.writes.empty());
  EXPECT_EQ(f4().cpvSlider(65).value(), 70);
  EXPECT_EQ(f4().cpvSlider(73).value(), 45);
  EXPECT_EQ(state().image.mic(2, 32), 45);
  EXPECT_EQ(state().image.mic(2, 37), 55);
  EXPECT_EQ(f4().cpvSlider(1).value(), 6);
}

TEST_F(SectionReset, BandsAlreadyFlatStillGetFlatInTheCurrentSlot) {
  // Slot 0 holds a stored curve while the sliders already sit at 0, as after
  // a dump whose current values differ from what RAM1 holds.
  f4().Combo1.setIndex(0);
  f4().Combo2.setIndex(0);
  for (int k = 1; k <= 31; ++k) {
    f4().cpvSlider(k).setValue(0);
    f4().cpvSlider(33 + k).setValue(0);
    state().image.setMusic(0, k, 22);
    state().image.setMic(0, k, 3);
  }
  musicReset().click();
  micReset().click();
  expectMusicFlat(0);
  expectMicFlat(0);
}

TEST_F(SectionReset, LinkedResetSendsTheCommandOnceWhenTheUnitAnswers) {
  link();
  rig.port.clearLog();
  const auto start = rig.loop.nowMs();
  rig.loop.at(start + 300, [this] { rig.port.receive({0xAA, 0x60}); });

  musicReset().click();

  expectMusicFlat(1);
  EXPECT_EQ(frames(), std::vector<Bytes>{commandFrame(0, 13)});
  EXPECT_FALSE(state().Awaiting_Reply);
  EXPECT_EQ(rig.loop.nowMs(), start + 300) << "the wait ends with the answer";
}

TEST_F(SectionReset, LinkedMicResetSendsFourteen) {
  link();
  rig.port.clearLog();
  rig.loop.at(rig.loop.nowMs() + 10, [this] { rig.port.receive({0xAA, 0x60}); });
  micReset().click();
  expectMicFlat(2);
  EXPECT_EQ(frames(), std::vector<Bytes>{commandFrame(0, 14)});
}

TEST_F(SectionReset, ASilentUnitGetsTheCommandThreeTimesFourSecondsApart) {
  link();
  rig.port.clearLog();
  const auto start = rig.loop.nowMs();

  musicReset().click();

  ASSERT_EQ(rig.port.writes.size(), 3u);
  for (const auto& w : rig.port.writes) EXPECT_EQ(w, commandFrame(0, 13));
  EXPECT_EQ(rig.port.writeTimes[0], start);
  EXPECT_GT(rig.port.writeTimes[1] - rig.port.writeTimes[0], 4000);
  EXPECT_LE(rig.port.writeTimes[1] - rig.port.writeTimes[0], 4010);
  EXPECT_GT(rig.port.writeTimes[2] - rig.port.writeTimes[1], 4000);
  EXPECT_LE(rig.port.writeTimes[2] - rig.port.writeTimes[1], 4010);
  EXPECT_EQ(rig.loop.nowMs(), rig.port.writeTimes[2]) << "the wait ends at the third send";
  EXPECT_TRUE(state().Awaiting_Reply);
  expectMusicFlat(1);

  // Nothing more is sent while the unit stays silent, until the watchdog,
  // restarted at the second send, ends the link.
  rig.loop.advance(rig.port.writeTimes[1] + 15000 - 1 - rig.loop.nowMs());
  EXPECT_EQ(rig.port.writes.size(), 3u);
  EXPECT_TRUE(state().Is_Linked);
  rig.loop.advance(2);
  EXPECT_FALSE(state().Is_Linked);
  EXPECT_EQ(rig.port.writes.back(), disconnectFrame());
}

TEST_F(SectionReset, AnAnswerAfterTheFirstResendEndsTheWait) {
  link();
  rig.port.clearLog();
  const auto start = rig.loop.nowMs();
  rig.loop.at(start + 5000, [this] { rig.port.receive({0xAA, 0x60}); });

  micReset().click();

  EXPECT_EQ(frames(), (std::vector<Bytes>{commandFrame(0, 14), commandFrame(0, 14)}));
  EXPECT_EQ(rig.loop.nowMs(), start + 5000);
  EXPECT_FALSE(state().Awaiting_Reply);
}

}  // namespace
}  // namespace kp::test
