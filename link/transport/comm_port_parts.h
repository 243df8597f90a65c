#pragma once
// What the Windows serial port's files share: its limits and times, and a
// few small helpers. Not for use outside the port.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/ports.h"
#include "link/transport/comm_driver.h"

namespace kp::comm_port {

// Closing lets written bytes leave for this long: a few frames take
// milliseconds at 28800 baud; a port that does not drain in this time is dead.
inline constexpr int kDrainMs = 500;
// After asking the driver to end an operation, this long for it to comply.
inline constexpr int kCancelMs = 200;
// Waits in a row that end without a byte (aborted, an empty mask, an event
// not asked for) before the port gives up on them and polls.
inline constexpr int kUselessWaitsToPoll = 8;
// Waits one arm may see end at once before it tries again on the next turn.
inline constexpr int kImmediateWaitsPerArm = 4;
// After a write, the port looks once whether the driver holds bytes it did
// not signal; twice in a row, and it polls.
inline constexpr int kAnswerCheckMs = 25;
inline constexpr int kMissedAnswersToPoll = 2;
inline constexpr int kFastPollMs = 1;
inline constexpr int kIdlePollMs = 50;
// Aborted writes, or writes that moved nothing, in a row before the port is
// taken as failed.
inline constexpr int kWriteRetries = 3;
// Reads one pull may make while bytes keep coming.
inline constexpr int kReadsPerPull = 64;

// Codes with which a driver refuses overlapped waits altogether.
bool refusedWait(std::uint32_t code);
// "28800,E,8,1"
std::string settingsText(const LineSettings& s);
// "overrun, parity error" for the driver's error bits.
std::string lineErrorText(std::uint32_t errors);
// A timer that ticks once per start.
std::unique_ptr<Timer> oneShot(EventPump& pump, int ms, std::function<void()> fn);

}  // namespace kp::comm_port
