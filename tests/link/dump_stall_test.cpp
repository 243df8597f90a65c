// A unit that falls silent part-way through its dump, on virtual time: the
// panel gives up with the dump time-out, and what the broken dump left behind
// does not spoil the next link with the same unit.
#include <gtest/gtest.h>

#include "link/messages.h"
#include "panel/catalogue.h"
#include "sim/in_process.h"
#include "tests/support/rig.h"

namespace kp {
namespace {

using test::Rig;

void connect(Program& p, int model) {
  p.form4.link1.click();
  p.form1.Combo1.setIndex(model);
  p.form1.Command1.click();
}

// Stops after the connect answer plus this many dump messages: in the first
// music section, in a microphone section, among the parameters, and one
// message short of the end.
class DumpStall : public ::testing::TestWithParam<int> {};

TEST_P(DumpStall, GivesUpWithTheDumpTimeOutAndTheNextLinkFillsEverythingAgain) {
  Rig rig;
  sim::UnitOptions o;
  o.stopAfter = 1 + GetParam();
  sim::InProcessUnit unit(rig.loop, rig.port, o);
  Program& p = rig.make();
  p.startUp();
  const auto t0 = rig.loop.nowMs();
  connect(p, 4);
  ASSERT_TRUE(rig.loop.runUntil([&] { return !rig.dialogs.messages.empty(); }, 60000))
      << "a stalled dump must end on its own";
  EXPECT_LE(rig.loop.nowMs() - t0, 21000) << "about 19 s of connect ticks";
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0], kDumpTimeoutMessage);
  EXPECT_FALSE(p.state.Is_Linked);
  EXPECT_FALSE(p.state.Is_Busy);
  EXPECT_TRUE(p.form4.enabled());
  EXPECT_FALSE(p.form1.Timer1->isActive());
  const auto pending = rig.loop.pending();
  rig.loop.advance(60000);
  EXPECT_EQ(rig.dialogs.messages.size(), 1u) << "nothing more after giving up";
  EXPECT_LE(rig.loop.pending(), pending);

  // The unit speaks again; the operator connects once more.
  unit->options().stopAfter.reset();
  rig.dialogs.messages.clear();
  connect(p, 4);
  ASSERT_TRUE(rig.loop.runUntil([&] { return p.state.Is_Linked; }, 30000));
  EXPECT_TRUE(rig.dialogs.messages.empty()) << rig.dialogs.messages.front();
  EXPECT_EQ(p.state.Dump_Mode, 0);
  EXPECT_EQ(p.state.Dump_Section, 0);
  EXPECT_FALSE(p.state.Is_Busy);
  const auto& st = unit->state();
  for (int slot = 0; slot < 3; ++slot) {
    for (int k = 1; k <= 31; ++k) {
      EXPECT_EQ(p.state.image.music(slot, k), st.musicSlots[slot].bands[k - 1]) << slot << "/" << k;
      EXPECT_EQ(p.state.image.mic(slot, k), st.micSlots[slot].bands[k - 1]) << slot << "/" << k;
    }
    for (int e = 0; e < sim::kEffects; ++e)
      EXPECT_EQ(p.state.image.mic(slot, 32 + e), st.micSlots[slot].effects[e]) << slot << "/" << e;
  }
  EXPECT_EQ(p.form4.cpvSlider(kMusicMaster).value(), st.musicMaster);
  EXPECT_EQ(p.form4.cpvSlider(kMicMaster).value(), st.micMaster);
  for (int i = 0; i < sim::kSurrounds; ++i)
    EXPECT_EQ(p.form4.cpvSlider(kFirstSurround + i).value(), st.surround[i]);
  EXPECT_EQ(p.state.Device_Password, st.passwordText());
  EXPECT_EQ(unit->link(), sim::VirtualUnit::Link::Linked);
}

INSTANTIATE_TEST_SUITE_P(AtSeveralPoints, DumpStall, ::testing::Values(10, 150, 230, 301));

}  // namespace
}  // namespace kp
