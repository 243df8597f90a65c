#include "tests/presets/preset_fixture.h"
namespace kp { namespace {
class Exp : public test::PresetTest {};
TEST_F(Exp, SilentMidLoad) {
  link(4);
  writePreset("a.dat", test::PresetData::sample());
  unit->options().stopAfter = unit->counters().messagesSent + 50;
  const auto t0 = rig.loop.nowMs();
  openCommand(file("a.dat"));
  printf("virtual s %.1f frames %zu closedwrites %d linked %d msgs %zu\n", (rig.loop.nowMs()-t0)/1000.0, frames().size(), rig.port.writesWhileClosed, state().Is_Linked, rig.dialogs.messages.size());
  for (auto& m : rig.dialogs.messages) printf("  %s\n", m.c_str());
  rig.loop.advance(20000);
  printf("after 20 s: linked %d busy %d msgs %zu\n", state().Is_Linked, state().Is_Busy, rig.dialogs.messages.size());
  printf("combo1 items %zu idx %d enabled %d; busy %d\n", f4().Combo1.items().size(), f4().Combo1.index(), f4().Combo1.enabled(), state().Is_Busy);
}
}}
