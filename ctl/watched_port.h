#pragma once
// A port that tells of every write before it goes out: karaoke-ctl counts
// the frames of a load by it.
#include <functional>

#include "core/forwarding_port.h"

namespace kp::ctl {

class WatchedPort : public ForwardingPort {
 public:
  explicit WatchedPort(SerialPort& inner) : ForwardingPort(&inner) {}
  void write(const Bytes& bytes) override {
    if (onWrite) onWrite(bytes);
    ForwardingPort::write(bytes);
  }
  std::function<void(const Bytes&)> onWrite;
};

}  // namespace kp::ctl
