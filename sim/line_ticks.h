#pragma once
// Time on the serial line between the panel and the virtual unit, for the
// unit's pacing both ways.
#include <cstdint>

namespace kp::sim {

// Line time in 1/18 us: both a microsecond (18) and a bit at 28800 baud
// (625) are whole numbers of it, so pacing neither rounds nor drifts.
constexpr std::int64_t kTicksPerUs = 18;
constexpr std::int64_t kTicksPerByte = 11 * 625;  // start, 8 data, parity, stop

inline std::int64_t tickToUs(std::int64_t tick) { return (tick + kTicksPerUs - 1) / kTicksPerUs; }

}  // namespace kp::sim
