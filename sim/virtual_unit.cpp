// The virtual unit's life, and what its parts share: the fault dice and the
// trace.
#include "sim/virtual_unit.h"

#include <unordered_map>

namespace kp::sim {

const char* linkName(VirtualUnit::Link link) {
  switch (link) {
    case VirtualUnit::Link::Idle:
      return "idle";
    case VirtualUnit::Link::Answered:
      return "answered";
    case VirtualUnit::Link::Dumping:
      return "dumping";
    case VirtualUnit::Link::Linked:
      return "linked";
  }
  return "?";
}

namespace {
// Units alive, each with its serial: an event the clock runs after its unit
// has gone, or once another unit lives at the same address, finds no match.
std::unordered_map<const VirtualUnit*, std::uint64_t>& liveUnits() {
  static std::unordered_map<const VirtualUnit*, std::uint64_t> units;
  return units;
}
std::uint64_t lastSerial = 0;
}  // namespace

bool VirtualUnit::alive(const VirtualUnit* unit, std::uint64_t serial) {
  const auto it = liveUnits().find(unit);
  return it != liveUnits().end() && it->second == serial;
}

VirtualUnit::VirtualUnit(UnitClock& clock, UnitOptions options)
    : clock_(clock), options_(options), rng_(options.seed), serial_(++lastSerial) {
  liveUnits()[this] = serial_;
}

VirtualUnit::~VirtualUnit() { liveUnits().erase(this); }

bool VirtualUnit::chance(double p) {
  if (p <= 0) return false;
  // From the raw generator: the distributions of the library differ between
  // implementations, and a seed must give the same run everywhere.
  const double u = static_cast<double>(rng_() >> 11) * 0x1.0p-53;
  return u < p;
}

void VirtualUnit::trace(TraceEvent::Direction d, const Bytes& bytes, std::string text) {
  if (onTrace) onTrace({d, clock_.nowUs(), bytes, std::move(text)});
}

}  // namespace kp::sim
