// The Windows serial port's receiving side: waits on the driver, the
// fall-back to polling, and reading what arrived.
#include "link/transport/comm_port.h"

#include <algorithm>
#include <utility>

#include "link/transport/comm_port_parts.h"

namespace kp {

using comm::Op;
using comm::Result;
using namespace comm_port;

void CommPort::signalled(Op op) {
  // Reset before asking, so that an operation still running signals again
  // when it ends, and a signal left over from one that did not matter stops.
  driver_.resetSignal(op);
  if (!open_) return;
  bool& pending = op == Op::Wait ? waitPending_ : writePending_;
  if (!pending) return;
  const Result r = driver_.result(op);
  if (r.pending()) return;
  pending = false;
  if (op == Op::Wait)
    waitEnded(r);
  else
    writeEnded(r);
}

void CommPort::armWait() {
  if (!open_ || closing_ || waitPending_ || polling_) return;
  for (int i = 0; i < kImmediateWaitsPerArm; ++i) {
    driver_.resetSignal(Op::Wait);
    const Result r = driver_.startWait();
    if (r.pending()) {
      waitPending_ = true;
      driver_.watch(Op::Wait, true);
      // Bytes that came between the last read and this wait signal no event
      // with every driver: take them now rather than at the next.
      pullInput(nullptr);
      return;
    }
    driver_.resetSignal(Op::Wait);  // ended at once: nothing to hear of it
    if (r.state == Result::State::Failed) {
      if (refusedWait(r.code)) {
        startPolling();
      } else if (r.code == comm::kOperationAborted) {
        uselessWait();
        continue;
      } else {
        fail(r.code);
      }
      return;
    }
    std::size_t pulled = 0;
    if (!pullInput(&pulled)) return;
    if (pulled == 0) {
      uselessWait();
      if (polling_) return;
    } else {
      uselessWaits_ = 0;
    }
  }
  if (!polling_) rearmTimer_->start();  // on the next turn, not in a spin here
}

void CommPort::waitEnded(const Result& r) {
  if (r.state == Result::State::Failed) {
    if (r.code != comm::kOperationAborted) {
      fail(r.code);
      return;
    }
    uselessWait();
  } else {
    // Whatever the event says, take all that waits: drivers merge events.
    std::size_t pulled = 0;
    if (!pullInput(&pulled)) return;
    if (pulled == 0) {
      uselessWait();
    } else {
      uselessWaits_ = 0;
      missedAnswers_ = 0;
    }
  }
  armWait();
}

void CommPort::uselessWait() {
  if (++uselessWaits_ >= kUselessWaitsToPoll) startPolling();
}

void CommPort::startPolling() {
  if (polling_) return;
  polling_ = true;
  // A wait still pending is left to end or be cancelled at close; nobody
  // listens to its event any more.
  driver_.watch(Op::Wait, false);
  driver_.resetSignal(Op::Wait);
  answerTimer_->stop();
  rearmTimer_->stop();
  if (onLog) onLog(name() + ": the driver does not signal arriving bytes; polling instead");
  pollTimer_->setInterval(kFastPollMs);
  pollTimer_->restart();
}

void CommPort::poll() {
  std::size_t pulled = 0;
  if (!pullInput(&pulled)) return;
  const int next = pulled > 0 ? kFastPollMs : std::min(pollTimer_->interval() * 2, kIdlePollMs);
  pollTimer_->setInterval(std::max(next, kFastPollMs));
  pollTimer_->restart();
}

void CommPort::pollSoon() {
  if (!polling_) return;
  pollTimer_->setInterval(kFastPollMs);
  pollTimer_->restart();
}

void CommPort::checkAnswer() {
  if (!open_ || polling_ || !waitPending_) return;
  const comm::Status s = driver_.status();
  if (!s.ok) {
    fail(s.code);
    return;
  }
  if (s.inQueue == 0 || !driver_.result(Op::Wait).pending()) return;
  // The driver holds bytes and has not ended the wait: deliver them anyway.
  ++missedAnswers_;
  if (!pullInput(nullptr)) return;
  if (missedAnswers_ >= kMissedAnswersToPoll) startPolling();
}

bool CommPort::pullInput(std::size_t* pulled) {
  std::size_t total = 0;
  for (int i = 0; i < kReadsPerPull; ++i) {
    const comm::Status s = driver_.status();
    if (!s.ok) {
      fail(s.code);
      return false;
    }
    if (s.errors != 0) {
      ++lineErrors_;
      if (onLog) onLog(name() + ": " + lineErrorText(s.errors));
    }
    if (s.inQueue == 0) break;
    const std::size_t at = rx_.size();
    rx_.resize(at + s.inQueue);
    const comm::ReadResult got = driver_.read(rx_.data() + at, s.inQueue);
    if (!got.ok) {
      rx_.resize(at);
      fail(got.code);
      return false;
    }
    rx_.resize(at + std::min<std::size_t>(got.got, s.inQueue));
    total += got.got;
    if (got.got == 0) break;
  }
  if (pulled) *pulled = total;
  if (!rx_.empty()) notifyReadyRead();
  return true;
}

void CommPort::notifyReadyRead() {
  // Through the loop, so that a handler waiting in a nested event loop still
  // hears the bytes that arrive meanwhile.
  events_.readable([this] {
    if (open_ && !rx_.empty() && onReadyRead) onReadyRead();
  });
}

void CommPort::readInto(Bytes& out) {
  std::size_t n = rx_.size();
  if (readSize_ > 0) n = std::min(n, readSize_);
  out.assign(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(n));
  rx_.erase(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(n));
}

void CommPort::discardInput() {
  if (!open_) return;
  driver_.purgeInput();
  rx_.clear();
}

}  // namespace kp
