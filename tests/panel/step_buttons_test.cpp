// The fifteen step buttons: the marking of the step in force and the frame.
#include "tests/panel/panel_fixture.h"

namespace kp::test {
namespace {

constexpr std::uint32_t kFace = 0x8000000F;
constexpr std::uint32_t kRedMark = 255;
constexpr std::uint32_t kGreenMark = 65280;

class StepButtons : public PanelTest {
 protected:
  StepButtons() {
    link();
    rig.port.clearLog();
  }
  Button& stepButton(int step) { return f4().Command(68 + step); }

  // The marking is right for the step in force: that button alone marked.
  void expectMarked(int step) {
    for (int s = 1; s <= 15; ++s) {
      SCOPED_TRACE("step " + std::to_string(s));
      const Button& b = stepButton(s);
      if (s == step)
        EXPECT_EQ(b.backColor(), s == 8 ? kGreenMark : kRedMark);
      else
        EXPECT_EQ(b.backColor(), kFace);
    }
    EXPECT_EQ(stepButton(8).picture(), rig.folder.file(step == 8 ? "2.JPG" : "1.JPG"));
  }
};

TEST_F(StepButtons, EachButtonMarksItselfAloneAndSendsItsStep) {
  for (int step = 1; step <= 15; ++step) {
    SCOPED_TRACE("clicked step " + std::to_string(step));
    rig.port.clearLog();
    stepButton(step).click();
    expectMarked(step);
    EXPECT_EQ(frames(), std::vector<Bytes>{commandFrame(87, static_cast<std::uint8_t>(step))});
  }
}

TEST_F(StepButtons, FirstAndLastCaptionedButtonsSendOneAndFifteen) {
  f4().Command(69).click();
  f4().Command(83).click();
  EXPECT_EQ(frames(), (std::vector<Bytes>{commandFrame(87, 1), commandFrame(87, 15)}));
  expectMarked(15);
}

TEST_F(StepButtons, LeavingTheCentreStepUnmarksTheCentreButton) {
  stepButton(8).click();
  expectMarked(8);
  stepButton(3).click();
  expectMarked(3);
  stepButton(8).click();
  stepButton(12).click();
  expectMarked(12);
}

TEST_F(StepButtons, MarkingSurvivesUnlinking) {
  stepButton(5).click();
  p->panel.Is_unlink_Command();
  expectMarked(5);
}

TEST_F(StepButtons, UnlinkedTheButtonsIgnoreClicks) {
  stepButton(2).click();
  p->panel.Is_unlink_Command();
  rig.port.clearLog();
  for (int step = 1; step <= 15; ++step) stepButton(step).click();
  EXPECT_TRUE(rig.port.writes.empty());
  expectMarked(2);
}

TEST_F(StepButtons, MarkingHappensEvenWhenTheFrameIsDropped) {
  state().Is_Busy = true;
  stepButton(8).click();
  expectMarked(8);
  EXPECT_TRUE(rig.port.writes.empty());
}

}  // namespace
}  // namespace kp::test
