#include "sim/in_process.h"

namespace kp::sim {

void LoopClock::at(std::int64_t whenUs, std::function<void()> fn) {
  const std::int64_t ms = whenUs >= 0 ? (whenUs + 999) / 1000 : whenUs / 1000;
  loop_.at(ms, std::move(fn));  // a time already passed runs at the next turn
}

InProcessUnit::InProcessUnit(kp::VirtualLoop& loop, kp::VirtualSerialPort& port,
                             UnitOptions options)
    : port_(port), clock_(loop), unit_(clock_, options) {
  port_.onTransmit = [this](const Bytes& bytes) { unit_.onBytesFromPanel(bytes); };
  // A closed port hears nothing, as VirtualSerialPort::receive already does.
  unit_.onOutput = [this](const Bytes& bytes) { port_.receive(bytes); };
}

InProcessUnit::~InProcessUnit() { port_.onTransmit = nullptr; }

}  // namespace kp::sim
