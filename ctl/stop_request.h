#pragma once
// A request to stop the work under way: from the system (a signal, a closed
// console) or from the rooms run that started this process (its input
// closed). The work then ends as the panel does when its window is closed:
// the unit hears the disconnect, the port is closed, nothing is written.
#include <functional>

namespace kp::ctl {

class StopRequest {
 public:
  void request() {
    if (requested_) return;
    requested_ = true;
    if (onRequest) onRequest();
  }
  bool requested() const { return requested_; }
  // Whoever holds the work now: it stops it.
  std::function<void()> onRequest;

 private:
  bool requested_ = false;
};

}  // namespace kp::ctl
