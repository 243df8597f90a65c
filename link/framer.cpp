#include "link/framer.h"

#include "link/frames.h"

namespace kp {

namespace {
constexpr std::uint8_t kAckComplement = 0xFF - kReplyAddress;  // 9F
}

void Framer::feed(const Bytes& bytes) {
  discarded_ = false;
  for (std::uint8_t b : bytes) {
    if (discarded_) break;
    if (ackTailLeft_ > 0) {
      --ackTailLeft_;
      continue;
    }
    if (ackTailPossible_) {
      ackTailPossible_ = false;
      if (b == kAckComplement) {
        ackTailLeft_ = 3;
        continue;
      }
    }
    buf_.push_back(b);
    parse();
  }
}

void Framer::lineSilent() {
  if (!buf_.empty()) drop(buf_.size());
  ackTailPossible_ = false;
  ackTailLeft_ = 0;
}

void Framer::discard() {
  lineSilent();
  discarded_ = true;
}

void Framer::deliver(std::size_t n) {
  // The message's storage is kept for the next one: a link delivers hundreds
  // of messages a second, each as short as the last.
  Bytes message;
  message.swap(spare_);
  message.assign(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(n));
  buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(n));
  ++messages_;
  onMessage_(message);
  spare_.swap(message);
}

void Framer::drop(std::size_t n) {
  dropped_ += n;
  buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(n));
}

// Runs after each byte, so the buffer holds at most one unfinished message.
void Framer::parse() {
  while (!buf_.empty()) {
    const std::uint8_t first = buf_[0];
    if (first == kResendRequest) {
      deliver(1);
      continue;
    }
    if (first != kFrameHeader) {
      drop(1);
      continue;
    }
    if (buf_.size() < 2) return;
    if (buf_[1] == kReplyAddress) {
      ackTailPossible_ = true;  // before its handling, which may discard it all
      deliver(2);
      return;
    }
    if (buf_.size() < kFrameSize) return;
    deliver(kFrameSize);
  }
}

}  // namespace kp
