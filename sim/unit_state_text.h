#pragma once
// The virtual unit's state as text, one "name=values" line each, so that a
// test can start karaoke-unit-sim in a state of its choosing and read what
// the unit holds when it ends; and a random state within the unit's ranges.
#include <cstdint>
#include <optional>
#include <string>

#include "sim/unit_state.h"

namespace kp::sim {

std::string stateText(const UnitState& state);
// nullopt when a line is missing, has the wrong count or a value out of range.
std::optional<UnitState> parseStateText(const std::string& text);

// Every value drawn at random within what the unit accepts, each maximum
// volume at least its initial volume and each master at most its maximum.
UnitState randomState(std::uint64_t seed);

}  // namespace kp::sim
