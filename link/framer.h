#pragma once
// Cuts the byte stream from the unit into its messages, however the
// operating system splits or joins the reads: a lone 55 (resend request), the
// acknowledgement AA 60 (two bytes, or a whole frame AA 60 9F ..), or a
// six-byte frame starting with AA. Bytes that start no message, and a
// message the line leaves unfinished, are dropped and counted, never
// interpreted.
#include <cstdint>
#include <functional>

#include "core/bytes.h"

namespace kp {

class Framer {
 public:
  explicit Framer(std::function<void(const Bytes&)> onMessage) : onMessage_(std::move(onMessage)) {}

  void feed(const Bytes& bytes);
  // The line has been silent for a while: drop an unfinished message.
  void lineSilent();
  // Unread input is dropped: the unfinished message goes, and so does the
  // rest of the bytes being fed, when this runs inside a message's handling.
  void discard();

  bool hasPartial() const { return !buf_.empty(); }
  std::uint64_t droppedBytes() const { return dropped_; }
  std::uint64_t messages() const { return messages_; }

 private:
  void parse();
  void deliver(std::size_t n);
  void drop(std::size_t n);

  std::function<void(const Bytes&)> onMessage_;
  Bytes buf_;
  Bytes spare_;
  // After a bare AA 60, the rest of a whole acknowledgement frame (9F ..)
  // may still follow; it belongs to the acknowledgement and is skipped.
  bool ackTailPossible_ = false;
  int ackTailLeft_ = 0;
  bool discarded_ = false;  // set by discard() while feed() runs
  std::uint64_t dropped_ = 0;
  std::uint64_t messages_ = 0;
};

}  // namespace kp
