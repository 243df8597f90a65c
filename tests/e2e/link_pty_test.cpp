// Through the real stack: the Qt serial port on a pseudo-terminal served by
// the karaoke-unit-sim program.
#include <gtest/gtest.h>

#include "link/frames.h"
#include "panel/catalogue.h"
#include "tests/e2e/qt_rig.h"

namespace kp {
namespace {

using test::pumpUntil;
using test::QtRig;
using test::SimProcess;

class LinkOverPty : public ::testing::Test {
 protected:
  LinkOverPty() : sim(rig.folder.str(), 5) {}
  void connect(int model) {
    Program& p = *rig.program;
    p.form4.link1.click();
    p.form1.Combo1.setIndex(model);
    p.form1.Command1.click();
  }
  QtRig rig;
  SimProcess sim;
};

TEST_F(LinkOverPty, ConnectsLinksSendsAChangeAndUnlinks) {
  ASSERT_TRUE(sim.ready());
  Program& p = rig.make();
  p.startUp();
  ASSERT_TRUE(rig.serial.isOpen()) << (rig.dialogs.messages.empty() ? "" : rig.dialogs.messages[0]);
  connect(4);
  ASSERT_TRUE(pumpUntil([&] { return p.state.Is_Linked; }, 10000));
  EXPECT_TRUE(p.state.Full_Model);
  EXPECT_EQ(p.form4.Combo1.items().size(), 8u);
  EXPECT_FALSE(p.form1.loaded());
  EXPECT_TRUE(rig.dialogs.messages.empty());
  EXPECT_EQ(p.receiver.framer().droppedBytes(), 0u);
  // The dump's user slots hold band bytes the unit can have: 0..30.
  for (int k = 1; k <= 31; ++k) EXPECT_LE(p.state.image.music(0, k).value_or(99), 30);

  // An operator's change is answered, which ends the wait for it.
  Slider& band = p.form4.cpvSlider(musicBandSlider(5));
  band.operatorSet(band.value() == 3 ? 4 : 3);
  EXPECT_TRUE(p.state.Awaiting_Reply);
  EXPECT_TRUE(pumpUntil([&] { return !p.state.Awaiting_Reply; }, 3000));

  p.form4.unlink.click();
  EXPECT_FALSE(p.state.Is_Linked);
  EXPECT_TRUE(rig.serial.isOpen()) << "unlinking reopens the port for the next link";

  // And the unit links again.
  connect(0);
  EXPECT_TRUE(pumpUntil([&] { return p.state.Is_Linked; }, 10000));
  EXPECT_FALSE(p.state.Full_Model);
  p.shutDown();
  EXPECT_FALSE(rig.serial.isOpen());
}

}  // namespace
}  // namespace kp
