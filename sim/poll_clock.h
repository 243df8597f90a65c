#pragma once
// Real time for the unit, driven by the poll loop of karaoke-unit-sim
// (pty_server_posix.cpp). An event reads its own time as now: the process
// may run it a little late, but the unit acts when the line says (a byte
// fully in, the last one fully out), so what it does next is timed from
// there and the lateness does not add up.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <utility>

#include "sim/unit_clock.h"

namespace kp::sim {

class PollClock : public UnitClock {
 public:
  std::int64_t nowUs() const override {
    if (runningAtUs_ >= 0) return runningAtUs_;
    return wallUs();
  }
  std::int64_t wallUs() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 start_)
        .count();
  }
  void at(std::int64_t whenUs, std::function<void()> fn) override {
    events_.emplace(std::make_pair(whenUs, seq_++), std::move(fn));
  }
  // Microseconds until the next event, or -1 when none waits. Paced bytes
  // are 382 us apart, so a millisecond poll would stretch the line.
  std::int64_t usUntilNext() const {
    if (events_.empty()) return -1;
    const std::int64_t d = events_.begin()->first.first - wallUs();
    return d <= 0 ? 0 : d;
  }
  void runDue() {
    // Only what is due now: an event scheduled for now by an event runs at
    // the next turn, after the descriptors have been looked at again.
    const std::int64_t now = wallUs();
    const std::uint64_t limit = seq_;
    while (!events_.empty() && events_.begin()->first.first <= now &&
           events_.begin()->first.second < limit) {
      runningAtUs_ = events_.begin()->first.first;
      auto fn = std::move(events_.begin()->second);
      events_.erase(events_.begin());
      fn();
      runningAtUs_ = -1;
    }
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::int64_t runningAtUs_ = -1;
  std::uint64_t seq_ = 0;
  std::map<std::pair<std::int64_t, std::uint64_t>, std::function<void()>> events_;
};

}  // namespace kp::sim
