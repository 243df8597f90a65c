#include "sim/unit_clock.h"

#include <algorithm>

namespace kp::sim {

void ManualClock::at(std::int64_t whenUs, std::function<void()> fn) {
  events_.emplace(std::make_pair(std::max(whenUs, now_), seq_++), std::move(fn));
}

bool ManualClock::runNextDueBy(std::int64_t limit) {
  if (events_.empty() || events_.begin()->first.first > limit) return false;
  auto it = events_.begin();
  now_ = std::max(now_, it->first.first);
  auto fn = std::move(it->second);
  events_.erase(it);
  fn();
  return true;
}

void ManualClock::advanceUs(std::int64_t us) {
  const std::int64_t end = now_ + us;
  while (runNextDueBy(end)) {
  }
  now_ = std::max(now_, end);
}

bool ManualClock::runAll(std::int64_t limitUs) {
  const std::int64_t end = now_ + limitUs;
  while (runNextDueBy(end)) {
  }
  return events_.empty();
}

}  // namespace kp::sim
