// The window's behaviour on virtual time with the in-process unit: a
// proposal applied to the channel's current slot reaches the unit as the
// operator's own changes do and goes back in one undo step; a file that is
// not a measurement changes nothing.
#include <cmath>

#include "tests/presets/preset_fixture.h"
#include "tuning/eq_model.h"
#include "tuning/log_curve.h"

namespace kp::test {
namespace {

class EqualiseWindowTest : public PresetTest {
 protected:
  EqualiseWindowTest() {
    rig.config("[config]\r\nCOM=1\r\nTune_c_26=refused: %1\r\nTune_c_29=into %1\r\n");
    p().equalise.Set_Language();
  }
  EqualiseWindow& window() { return p().equalise; }

  // A room whose response is the equaliser's own at `room`, measured with
  // the channel's bands as they stand.
  std::string measurementOf(const tuning::BandValues& room, bool music = true) {
    const tuning::EqModel model;
    tuning::BandValues with{};
    for (int k = 1; k <= tuning::kBands; ++k)
      with[static_cast<std::size_t>(k - 1)] = slider(music ? musicBandSlider(k) : micBandSlider(k));
    std::string text = "* synthetic\n";
    for (double hz : tuning::logSpaced(20, 20000, 48)) {
      char row[64];
      std::snprintf(row, sizeof row, "%.3f\t%.3f\n", hz,
                    80 + model.responseDb(room, hz) + model.responseDb(with, hz));
      text += row;
    }
    rig.folder.write("room.txt", text);
    return file("room.txt");
  }
  void open(const std::string& path) {
    rig.dialogs.fileAnswers.push_back(path);
    window().openMeasurement.click();
  }
};

TEST_F(EqualiseWindowTest, ApplyReachesTheUnitAsOneUndoStepFromTheValuesMeasuredWith) {
  link(Form1::kFirstFullModel);
  f4().cpvSlider(musicBandSlider(12)).operatorSet(3);
  tuning::BandValues room{};
  room[9] = room[10] = 5;  // 160 Hz, 200 Hz
  room[19] = -4;           // 1.6 kHz
  window().menuItem.click();
  open(measurementOf(room));
  ASSERT_TRUE(window().proposal().has_value()) << window().status.caption();
  EXPECT_EQ(window().currentValue(12).caption(), "+3");
  EXPECT_TRUE(window().apply.enabled());
  rig.port.clearLog();

  window().apply.click();
  rig.loop.runUntil([&] { return !state().Awaiting_Reply; }, 5000);
  EXPECT_EQ(window().status.caption(),
            "into " + f4().Combo1.items()[static_cast<std::size_t>(f4().Combo1.index())]);
  std::vector<Bytes> expected;
  for (int k = 1; k <= tuning::kBands; ++k) {
    const int v = slider(musicBandSlider(k));
    EXPECT_NEAR(v, k == 12 ? 0 : -room[static_cast<std::size_t>(k - 1)], 1) << k;
    EXPECT_EQ(unit->state().music.bands[static_cast<std::size_t>(k - 1)], v + kBandOffset) << k;
    if (v != (k == 12 ? 3 : 0))
      expected.push_back(
          commandFrame(static_cast<std::uint8_t>(44 + k), static_cast<std::uint8_t>(v + 15)));
  }
  EXPECT_EQ(frames(), expected) << describe(frames());

  ASSERT_TRUE(p().edits.history.undo());
  for (int k = 1; k <= tuning::kBands; ++k)
    EXPECT_EQ(slider(musicBandSlider(k)), k == 12 ? 3 : 0) << k;
  rig.loop.runUntil([&] { return !state().Awaiting_Reply; }, 5000);
  EXPECT_EQ(unit->state().music.bands[11], 18);
  EXPECT_EQ(unit->state().music.bands[9], 15);
  ASSERT_TRUE(p().edits.history.undo()) << "the drag before it is a step of its own";
  EXPECT_FALSE(p().edits.history.canUndo());
}

TEST_F(EqualiseWindowTest, TheMicrophoneTakesItsOwnProposalAndARefusedFileChangesNothing) {
  writePreset("Pro.dat", PresetData::sample());
  p().Open_Pro_Ini(file("Pro.dat"));
  const int music630 = slider(musicBandSlider(16));
  window().menuItem.click();
  window().channel.operatorSelect(1);
  tuning::BandValues room{};
  room[15] = 6;  // 630 Hz
  open(measurementOf(room, false));
  ASSERT_TRUE(window().proposal().has_value());
  const tuning::BandValues proposed = window().proposal()->proposed;
  EXPECT_NEAR(proposed[15], -6, 1);

  rig.folder.write("photo.jpg", std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10));
  open(file("photo.jpg"));
  std::string upper;
  for (double hz : tuning::logSpaced(100, 20000, 12)) upper += std::to_string(hz) + ";80\n";
  rig.folder.write("upper.txt", upper);
  open(file("upper.txt"));
  ASSERT_EQ(rig.dialogs.messages.size(), 2u);
  EXPECT_EQ(rig.dialogs.messages[0], "refused: photo.jpg, line 1: binary data, not text");
  EXPECT_EQ(rig.dialogs.messages[1],
            "refused: upper.txt, the measurement covers 100 Hz to 20 kHz, not the correction range "
            "40 Hz to 16 kHz");
  EXPECT_EQ(window().measurementFile.caption(), "room.txt");
  ASSERT_TRUE(window().proposal().has_value());
  EXPECT_EQ(window().proposal()->proposed, proposed);

  window().apply.click();
  EXPECT_EQ(slider(micBandSlider(16)), proposed[15]);
  EXPECT_EQ(slider(musicBandSlider(16)), music630);
  EXPECT_EQ(state().image.mic(f4().Combo2.index(), 16), proposed[15] + kBandOffset);
  EXPECT_TRUE(frames().empty()) << "unlinked, nothing is sent";
}

}  // namespace
}  // namespace kp::test
