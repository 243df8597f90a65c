#pragma once
// The virtual unit behind a kp::VirtualSerialPort, on the loop's virtual
// time: what the panel writes reaches the unit at once, what the unit says
// reaches the port at the time it would arrive over the line.
#include <cstdint>

#include "core/virtual_loop.h"
#include "sim/unit_clock.h"
#include "sim/virtual_unit.h"

namespace kp::sim {

// UnitClock on a VirtualLoop. The loop counts whole milliseconds, so an
// event is run at the first millisecond not earlier than asked.
class LoopClock : public UnitClock {
 public:
  explicit LoopClock(kp::VirtualLoop& loop) : loop_(loop) {}
  std::int64_t nowUs() const override { return loop_.nowMs() * 1000; }
  void at(std::int64_t whenUs, std::function<void()> fn) override;

 private:
  kp::VirtualLoop& loop_;
};

class InProcessUnit {
 public:
  // Takes over port.onTransmit; the port and loop must outlive this object.
  InProcessUnit(kp::VirtualLoop& loop, kp::VirtualSerialPort& port, UnitOptions options = {});
  ~InProcessUnit();
  InProcessUnit(const InProcessUnit&) = delete;
  InProcessUnit& operator=(const InProcessUnit&) = delete;

  VirtualUnit& unit() { return unit_; }
  VirtualUnit* operator->() { return &unit_; }

 private:
  kp::VirtualSerialPort& port_;
  LoopClock clock_;
  VirtualUnit unit_;
};

}  // namespace kp::sim
