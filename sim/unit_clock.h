#pragma once
// Time as the virtual unit sees it. Microseconds, because one byte on the
// line at 28800 baud takes about 382 us and pacing must not drift.
#include <cstdint>
#include <functional>
#include <map>

namespace kp::sim {

class UnitClock {
 public:
  virtual ~UnitClock() = default;
  virtual std::int64_t nowUs() const = 0;
  // Runs fn once the clock has reached whenUs: never inside this call, and
  // in call order among equal times.
  virtual void at(std::int64_t whenUs, std::function<void()> fn) = 0;
};

// A clock that moves only when told: for tests and benchmarks of the unit
// alone, without a panel or an event loop.
class ManualClock : public UnitClock {
 public:
  std::int64_t nowUs() const override { return now_; }
  void at(std::int64_t whenUs, std::function<void()> fn) override;

  // Runs everything due within the next us, then leaves the clock at now+us.
  void advanceUs(std::int64_t us);
  // Runs events in time order until none is left or limitUs have passed;
  // returns true when nothing is left.
  bool runAll(std::int64_t limitUs = 60'000'000);
  std::size_t pending() const { return events_.size(); }

 private:
  bool runNextDueBy(std::int64_t limit);

  std::int64_t now_ = 5'000'000;
  std::uint64_t seq_ = 0;
  std::map<std::pair<std::int64_t, std::uint64_t>, std::function<void()>> events_;
};

}  // namespace kp::sim
