// The music and microphone mode lists: a linked change with the unit's answer
// (or its silence), and an offline change that shows a user slot.
#include "link/messages.h"
#include "tests/panel/panel_fixture.h"

namespace kp::test {
namespace {

std::size_t ackCount(const VirtualSerialPort& port) {
  std::size_t n = 0;
  for (const auto& w : port.writes)
    if (w == Bytes{0xAA}) ++n;
  return n;
}

class LinkedModeChange : public PanelTest {
 protected:
  LinkedModeChange() {
    selectModesOffline(1, 1);
    link();
    rig.port.clearLog();
  }
  void expectAllWindows(bool enabled) {
    for (Window* w : windows()) EXPECT_EQ(w->enabled(), enabled);
  }
};

TEST_F(LinkedModeChange, MusicSelectionSendsTheModeAndLocksEverything) {
  f4().Combo1.operatorSelect(4);  // "5.ROCK"
  EXPECT_EQ(frames(), std::vector<Bytes>{commandFrame(84, 4)});
  expectAllWindows(false);
  EXPECT_FALSE(f4().Combo1.enabled());
  EXPECT_TRUE(f4().Combo2.enabled());
  EXPECT_TRUE(state().Is_Busy);
}

TEST_F(LinkedModeChange, MicrophoneSelectionSendsTheModeAndLocksEverything) {
  f4().Combo2.operatorSelect(6);
  EXPECT_EQ(frames(), std::vector<Bytes>{commandFrame(82, 6)});
  expectAllWindows(false);
  EXPECT_FALSE(f4().Combo2.enabled());
  EXPECT_TRUE(f4().Combo1.enabled());
}

TEST_F(LinkedModeChange, WhileLockedSliderReportsAreNotEchoed) {
  f4().Combo1.operatorSelect(4);
  rig.port.clearLog();
  f4().cpvSlider(32).setValue(77);
  EXPECT_TRUE(frames().empty());
}

TEST_F(LinkedModeChange, TheMusicAnswerFillsTheNewModeAndEndsOnEightyOne) {
  f4().Combo1.operatorSelect(4);
  rig.port.clearLog();
  rig.port.receive({0xAA, 0x60});
  rig.loop.settle();
  for (int address = 51; address <= 80; ++address)
    unitReports(static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(address - 50));
  expectAllWindows(false);
  EXPECT_FALSE(f4().Combo1.enabled());
  EXPECT_TRUE(state().Is_Busy);

  unitReports(81, 30);

  expectAllWindows(true);
  EXPECT_TRUE(f4().Combo1.enabled());
  EXPECT_FALSE(state().Is_Busy);
  EXPECT_FALSE(state().Awaiting_Reply);
  EXPECT_TRUE(frames().empty()) << "the answer's values must not be sent back";
  EXPECT_EQ(ackCount(rig.port), 31u);
  for (int k = 1; k <= 30; ++k) {
    EXPECT_EQ(f4().cpvSlider(k).value(), k - 15) << "band " << k;
    EXPECT_EQ(state().image.music(4, k), k) << "band " << k;
  }
  EXPECT_EQ(f4().cpvSlider(31).value(), 15);
  EXPECT_EQ(f4().Label(23).caption(), "15");
  EXPECT_EQ(state().image.music(4, 31), 30);
  EXPECT_EQ(state().image.music(1, 31), 0) << "the mode left behind keeps its slot";
}

TEST_F(LinkedModeChange, TheMicrophoneAnswerEndsOnSixteen) {
  f4().Combo2.operatorSelect(3);
  rig.port.clearLog();
  for (int address = 20; address <= 50; ++address)
    unitReports(static_cast<std::uint8_t>(address), 18);
  for (int address = 11; address <= 15; ++address)
    unitReports(static_cast<std::uint8_t>(address), 50);
  expectAllWindows(false);
  EXPECT_FALSE(f4().Combo2.enabled());

  unitReports(16, 64);

  expectAllWindows(true);
  EXPECT_TRUE(f4().Combo2.enabled());
  EXPECT_FALSE(state().Is_Busy);
  EXPECT_TRUE(frames().empty());
  EXPECT_EQ(f4().cpvSlider(34).value(), 3);
  EXPECT_EQ(state().image.mic(3, 1), 18);
  EXPECT_EQ(f4().cpvSlider(76).value(), 64);  // REV VOL
  EXPECT_EQ(state().image.mic(3, 35), 64);
  EXPECT_EQ(state().image.mic(3, 37), 50);  // MASTER, reported under 11
}

TEST_F(LinkedModeChange, TheAnswerLandsInTheNewSlotEvenWhereTheSliderAlreadyShowsIt) {
  // Offline edits leave band 1 flat and REP at 40 in slot 1; the unit's new
  // mode happens to report the same values.
  p->panel.Is_unlink_Command();
  f4().cpvSlider(1).operatorSet(0);
  f4().cpvSlider(73).operatorSet(40);
  link();
  f4().Combo1.operatorSelect(5);
  for (int address = 51; address <= 81; ++address)
    unitReports(static_cast<std::uint8_t>(address), 15);
  f4().Combo2.operatorSelect(4);
  for (int address = 20; address <= 50; ++address)
    unitReports(static_cast<std::uint8_t>(address), 0);
  for (int address = 11; address <= 15; ++address)
    unitReports(static_cast<std::uint8_t>(address), 40);
  unitReports(16, 40);

  for (int k = 1; k <= 31; ++k) EXPECT_EQ(state().image.music(5, k), 15) << "band " << k;
  for (int row = 32; row <= 37; ++row) EXPECT_EQ(state().image.mic(4, row), 40) << "row " << row;
}

TEST_F(LinkedModeChange, WithoutAnAnswerTheWatchdogEndsTheLinkAndUnlocks) {
  f4().Combo1.operatorSelect(4);
  rig.loop.advance(14999);
  expectAllWindows(false);
  EXPECT_TRUE(messages().empty());

  rig.loop.advance(2);

  EXPECT_EQ(messages(), std::vector<std::string>{kLinkTimeoutMessage});
  EXPECT_FALSE(state().Is_Linked);
  EXPECT_FALSE(state().Is_Busy);
  expectAllWindows(true);
  EXPECT_EQ(frames().back(), disconnectFrame());
}

// ---------------------------------------------------------------------------

class OfflineModeChange : public PanelTest {
 protected:
  OfflineModeChange() {
    p->presetSets.Is_Unconnect_Value();
    // A preset load enables the lists while unlinked.
    f4().Combo1.setEnabled(true);
    f4().Combo2.setEnabled(true);
    for (int k = 1; k <= 31; ++k) {
      state().image.setMusic(2, k, k - 1);
      state().image.setMic(1, k, 30 - (k - 1));
    }
    for (int row = 32; row <= 37; ++row) state().image.setMic(1, row, row);
    rig.port.clearLog();
  }
};

TEST_F(OfflineModeChange, MicrophoneSelectionShowsTheSlotAndSendsNothing) {
  f4().Combo2.operatorSelect(1);  // "2.RAM2"
  for (int k = 1; k <= 31; ++k) EXPECT_EQ(f4().cpvSlider(33 + k).value(), 15 - (k - 1)) << k;
  EXPECT_EQ(f4().Label(54).caption(), "15");
  EXPECT_EQ(f4().cpvSlider(73).value(), 32);
  EXPECT_EQ(f4().cpvSlider(78).value(), 37);
  EXPECT_EQ(f4().Label(81).caption(), "37%");
  EXPECT_TRUE(rig.port.writes.empty());
  EXPECT_FALSE(state().Is_Busy);
  for (Window* w : windows()) EXPECT_TRUE(w->enabled());
  EXPECT_TRUE(f4().Combo2.enabled());
  EXPECT_EQ(state().Ini_Path, state().currentPresetFile);
}

TEST_F(OfflineModeChange, MusicSelectionShowsTheSlotAndSendsNothing) {
  f4().Combo1.operatorSelect(2);
  for (int k = 1; k <= 31; ++k) EXPECT_EQ(f4().cpvSlider(k).value(), k - 16) << k;
  EXPECT_EQ(f4().Label(7).caption(), "-15");
  EXPECT_TRUE(rig.port.writes.empty());
  EXPECT_TRUE(f4().Combo1.enabled());
}

}  // namespace
}  // namespace kp::test
