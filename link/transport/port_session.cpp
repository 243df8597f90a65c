#include "link/transport/port_session.h"

#include <utility>

namespace kp {

void PortSession::opened() {
  ++session_;
  notifyPending_ = false;
  failPending_ = false;
}

void PortSession::later(std::function<void()> fn) {
  post_([alive = std::weak_ptr<int>(alive_), session = session_, this, fn = std::move(fn)] {
    if (!alive.expired() && session == session_) fn();
  });
}

void PortSession::readable(std::function<void()> deliver) {
  if (notifyPending_) return;
  notifyPending_ = true;
  later([this, deliver = std::move(deliver)] {
    notifyPending_ = false;
    deliver();
  });
}

void PortSession::failed(std::function<void()> deliver) {
  if (failPending_) return;
  failPending_ = true;
  later([this, deliver = std::move(deliver)] {
    failPending_ = false;
    deliver();
  });
}

}  // namespace kp
