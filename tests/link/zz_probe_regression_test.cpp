#include <gtest/gtest.h>
#include "link/frames.h"
#include "sim/in_process.h"
#include "tests/support/rig.h"
namespace kp { namespace {
TEST(Probe, StallAfterMarker) {
  test::Rig rig;
  sim::UnitOptions o; o.stopAfter = 2;
  sim::InProcessUnit unit(rig.loop, rig.port, o);
  auto& p = rig.make();
  p.startUp();
  p.form4.link1.click(); p.form1.Combo1.setIndex(0); p.form1.Command1.click();
  rig.loop.advance(120000);
  printf("linked %d busy %d awaiting %d dump %d/%d timer %d form1 %d msgs %zu\n", p.state.Is_Linked, p.state.Is_Busy, p.state.Awaiting_Reply, p.state.Dump_Mode, p.state.Dump_Section, p.form1.Timer1->isActive(), p.form1.visible(), rig.dialogs.messages.size());
  p.form1.Command2.click();
  p.form4.Combo1.operatorSelect(1);
  rig.loop.advance(120000);
  printf("after pick: busy %d form4 enabled %d combo1 %d\n", p.state.Is_Busy, p.form4.enabled(), p.form4.Combo1.enabled());
}
}}
