// Ten thousand slider changes over a line that drops one frame in twenty, on
// virtual time, then unlink and link again: nothing piles up in memory, in
// the event loop or in the port, and every change the unit acknowledged is
// what the unit holds.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>

#include "panel/catalogue.h"
#include "sim/in_process.h"
#include "sim/unit_map.h"
#include "tests/support/heap.h"
#include "tests/support/rig.h"

namespace kp {
namespace {

using test::heapInUse;
using test::residentBytes;
using test::Rig;

constexpr int kChanges = 10000;
constexpr int kWarmUp = 500;
constexpr int kOperatorPaceMs = 20;
constexpr long kGrowthBoundBytes = 2L << 20;

// The byte the unit holds for a parameter the panel sends under `address`.
std::optional<int> unitByte(const sim::UnitState& u, int address) {
  namespace ua = sim::unitaddr;
  if (address >= ua::MusicBand1 && address < ua::MusicBand1 + sim::kBands)
    return u.music.bands[address - ua::MusicBand1];
  if (address >= ua::MicBand1 && address < ua::MicBand1 + sim::kBands)
    return u.mic.bands[address - ua::MicBand1];
  if (address == ua::MusicMaster) return u.musicMaster;
  if (address == ua::MicMaster) return u.micMaster;
  if (address >= ua::Surround1 && address < ua::Surround1 + sim::kSurrounds)
    return u.surround[address - ua::Surround1];
  if (auto e = sim::effectOfUnitAddress(static_cast<std::uint8_t>(address)))
    return u.mic.effect(*e);
  return std::nullopt;
}

class Soak : public ::testing::Test {
 protected:
  Soak() : unit(rig.loop, rig.port, options()) { rig.make().startUp(); }
  static sim::UnitOptions options() {
    sim::UnitOptions o;
    o.dropProbability = 0.05;
    o.seed = 7;
    return o;
  }
  Program& p() { return *rig.program; }
  bool link() {
    p().form4.link1.click();
    p().form1.Combo1.setIndex(4);
    p().form1.Command1.click();
    const bool ok = rig.loop.runUntil([&] { return p().state.Is_Linked; }, 60000);
    rig.loop.runUntil([&] { return !p().state.Awaiting_Reply && !p().state.Is_Busy; }, 1000);
    return ok;
  }

  Rig rig;
  sim::InProcessUnit unit;
};

TEST_F(Soak, TenThousandChangesOnALossyLineLeaveNoGrowthAndEveryAcknowledgedValueInTheUnit) {
  ASSERT_TRUE(link());
  std::mt19937 rng(11);
  const auto& catalogue = sliderCatalogue();
  // The last value of each slider whose frame the unit answered.
  std::map<int, int> acknowledged;
  int sent = 0, answered = 0;
  std::size_t mostPending = 0;
  long baseline = 0, residentBaseline = 0;

  for (int i = 0; i < kWarmUp + kChanges; ++i) {
    if (i == kWarmUp) {
      baseline = heapInUse();
      residentBaseline = residentBytes();
    }
    const SliderParam& param = catalogue[rng() % catalogue.size()];
    Slider& s = p().form4.cpvSlider(param.slider);
    ASSERT_TRUE(s.enabled()) << "slider " << param.slider;
    const int span = s.upperLimit() - s.min() + 1;
    int v = s.min() + static_cast<int>(rng() % span);
    if (v == s.value()) v = v == s.min() ? v + 1 : v - 1;  // a change, so a frame
    s.operatorSet(v);
    ASSERT_TRUE(p().state.Awaiting_Reply) << "each change sends a frame";
    ++sent;
    // The operator's next move comes a little later; the answer comes first.
    rig.loop.advance(kOperatorPaceMs);
    if (!p().state.Awaiting_Reply) {
      ++answered;
      acknowledged[param.slider] = v;
    }
    ASSERT_TRUE(p().state.Is_Linked) << "change " << i << ": answers keep the link alive";
    ASSERT_EQ(rig.port.bytesAvailable(), 0u) << "everything the unit said was read";
    mostPending = std::max(mostPending, rig.loop.pending());
    if (i % 100 == 0) rig.port.clearLog();  // the test's own record, not the panel's
  }
  EXPECT_EQ(sent, kWarmUp + kChanges);
  EXPECT_GT(unit->counters().framesDropped, 0u) << "the line did drop frames";
  EXPECT_EQ(static_cast<std::uint64_t>(answered), unit->counters().answers);
  // A restarted timer leaves its old deadline in the virtual loop until that
  // passes, so up to one entry a change over the watchdog's 15 s is normal.
  const std::size_t pendingBound = Transmitter::kWatchdogMs / kOperatorPaceMs + 64;
  EXPECT_LE(mostPending, pendingBound) << "events in the loop do not pile up";

  // Every acknowledged change is in the unit.
  const auto& st = unit->state();
  for (const auto& [number, value] : acknowledged) {
    const SliderParam* param = sliderParam(number);
    ASSERT_NE(param, nullptr);
    const auto held = unitByte(st, param->unitAddress);
    ASSERT_TRUE(held) << "slider " << number;
    EXPECT_EQ(*held, *encodeValue(*param, value)) << "slider " << number;
  }
  EXPECT_GT(acknowledged.size(), 70u) << "nearly every slider moved";

  // Unlink and link again: the dump shows the same values on the sliders.
  p().form4.unlink.click();
  ASSERT_FALSE(p().state.Is_Linked);
  ASSERT_TRUE(link());
  for (const auto& [number, value] : acknowledged)
    EXPECT_EQ(p().form4.cpvSlider(number).value(), value) << "slider " << number;
  rig.port.clearLog();
  const long growth = heapInUse() - baseline;
  std::printf(
      "over %d changes and a new link: heap in use %+ld KiB, resident %+ld KiB; "
      "most pending events %zu\n",
      kChanges, growth / 1024, (residentBytes() - residentBaseline) / 1024, mostPending);
  EXPECT_LT(growth, kGrowthBoundBytes);
  rig.loop.advance(2000);  // the dump's restarted timers have run out
  EXPECT_TRUE(p().state.Is_Linked);
  EXPECT_LE(rig.loop.pending(), pendingBound);
}

}  // namespace
}  // namespace kp
