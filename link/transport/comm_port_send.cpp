// The Windows serial port's sending side: the write queue, its completions
// and draining.
#include "link/transport/comm_port.h"

#include <algorithm>
#include <utility>

#include "link/transport/comm_port_parts.h"

namespace kp {

using comm::Op;
using comm::Result;
using namespace comm_port;

void CommPort::write(const Bytes& bytes) {
  if (!open_ || closing_ || bytes.empty()) return;
  txQueue_.insert(txQueue_.end(), bytes.begin(), bytes.end());
  if (!writePending_) startWrite();
  // An answer is due.
  if (polling_)
    pollSoon();
  else if (waitPending_)
    answerTimer_->start();
}

void CommPort::startWrite() {
  if (!open_ || writePending_ || txQueue_.empty()) return;
  txFlight_.swap(txQueue_);
  txQueue_.clear();
  driver_.resetSignal(Op::Write);
  const Result r = driver_.startWrite(txFlight_.data(), txFlight_.size());
  if (r.pending()) {
    writePending_ = true;
    return;
  }
  driver_.resetSignal(Op::Write);  // ended at once
  writeEnded(r);
}

void CommPort::writeEnded(const Result& r) {
  if (r.state == Result::State::Failed && r.code != comm::kOperationAborted) {
    txFlight_.clear();
    fail(r.code);
    return;
  }
  const std::size_t written =
      r.done() ? std::min<std::size_t>(r.value, txFlight_.size()) : std::size_t{0};
  // An aborted write, or one cut short by its time-out, keeps its rest first
  // in line and goes again; one that keeps moving nothing is a dead port.
  if (written < txFlight_.size())
    txQueue_.insert(txQueue_.begin(), txFlight_.begin() + static_cast<std::ptrdiff_t>(written),
                    txFlight_.end());
  txFlight_.clear();
  if (written > 0) {
    writeRetries_ = 0;
  } else if (++writeRetries_ > kWriteRetries) {
    txQueue_.clear();
    fail(r.done() ? comm::kGenFailure : r.code);
    return;
  }
  startWrite();
}

void CommPort::drain(int maxMs) {
  const std::int64_t deadline = clock_.nowMs() + std::max(0, maxMs);
  while (open_ && (writePending_ || !txQueue_.empty())) {
    if (!writePending_) {
      startWrite();
      if (events_.failing()) return;
      continue;
    }
    const std::int64_t left = deadline - clock_.nowMs();
    if (left <= 0) return;
    const Result r = driver_.await(Op::Write, static_cast<int>(left));
    if (r.pending()) return;
    driver_.resetSignal(Op::Write);
    writePending_ = false;
    writeEnded(r);
    if (events_.failing()) return;
  }
}

}  // namespace kp
