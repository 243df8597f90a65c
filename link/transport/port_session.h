#pragma once
// What every port hands to the program from a later turn of the event loop:
// the notice that bytes wait, and the one failure that closes it. Either is
// dropped when the port has been closed (and maybe opened again) since, or
// has gone: the program must never hear of a connection it already left.
#include <cstdint>
#include <functional>
#include <memory>

namespace kp {

class PortSession {
 public:
  // post runs a function on a later turn of the loop (EventPump::post, or a
  // queued call of the toolkit's).
  using Post = std::function<void(std::function<void()>)>;
  explicit PortSession(Post post) : post_(std::move(post)) {}
  PortSession(const PortSession&) = delete;
  PortSession& operator=(const PortSession&) = delete;

  // The port opened or closed: what was posted before is dropped.
  void opened();
  void closed() { ++session_; }

  // Runs fn on a later turn, unless the port has gone or closed since.
  void later(std::function<void()> fn);
  // Tells the program on a later turn that bytes wait, once for any number
  // of calls before it runs; deliver checks what waits and calls the handler.
  void readable(std::function<void()> deliver);
  // Reports the port's failure once: on a later turn, deliver closes the
  // port and tells the program. A failure while one is on its way is the
  // same failure.
  void failed(std::function<void()> deliver);
  bool failing() const { return failPending_; }

 private:
  Post post_;
  std::uint64_t session_ = 0;
  bool notifyPending_ = false;
  bool failPending_ = false;
  // Expires with this object: a posted call finds out whether its port is
  // still there.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace kp
