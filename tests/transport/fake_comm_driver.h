#pragma once
// A scripted communications driver on virtual time: plays the ways real
// drivers wait, complete, refuse and fail, and counts every wake-up it gives
// the port. An event that stays signalled while watched wakes the port again
// every millisecond, as a toolkit's event notifier does.
#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include "core/virtual_loop.h"
#include "link/transport/comm_driver.h"

namespace kp::test {

class FakeCommDriver : public comm::Driver {
 public:
  using Result = comm::Result;
  using State = comm::Result::State;
  using Op = comm::Op;

  enum class WaitMode {
    Signals,        // ends with EV_RXCHAR when bytes arrive
    NeverSignals,   // accepted, never ends by itself
    AbortsAtOnce,   // refused as aborted at every start
    AbortsLater,    // accepted, then ends aborted a millisecond later
    EmptyAtOnce,    // ends at once with an empty mask
    TxEmptyAtOnce,  // ends at once with EV_TXEMPTY, which nobody asked for
    Refused,        // refused at once with `refusal`
  };

  explicit FakeCommDriver(VirtualLoop& loop) : loop_(loop) {}

  // The script.
  WaitMode waitMode = WaitMode::Signals;
  std::uint32_t refusal = comm::kInvalidFunction;
  std::uint32_t openCode = comm::kSuccess;
  comm::LineControl reported{};  // what GetCommState gives: zeros, as some drivers do
  int writeMs = 1;               // a write ends this long after it starts; 0 at once
  std::size_t writeLimit = std::numeric_limits<std::size_t>::max();  // bytes one write takes
  int abortWrites = 0;                                               // the next writes end aborted
  std::uint32_t failWrites = 0;  // writes end failed with this code
  bool writesNeverEnd = false;
  bool cancelIgnored = false;                // a cancel ends nothing
  bool failNextRead = false;                 // the device goes in the middle of a read
  std::uint32_t errors = 0;                  // CE_* bits the next status reports
  std::function<void(const Bytes&)> onWire;  // what left the machine

  // The line: bytes from the far end.
  void arrive(const Bytes& b) {
    if (!deviceOpen) return;
    inQueue.insert(inQueue.end(), b.begin(), b.end());
    if (waitMode == WaitMode::Signals && op(Op::Wait).running) end(Op::Wait, done(comm::kEvRxChar));
  }
  // The adapter is pulled out: what runs ends failed, every call fails.
  void unplug(std::uint32_t code = comm::kAccessDenied) {
    gone = code;
    present_ = false;
    for (Op o : {Op::Wait, Op::Write})
      if (op(o).running) end(o, failed(code));
  }
  void plugIn() {
    gone = 0;
    present_ = true;
  }

  // What was seen.
  int wakeups = 0;
  int abandoned = 0;
  int statusCalls = 0;
  int opens = 0;
  bool deviceOpen = false;
  comm::LineControl lineSet{};
  Bytes inQueue;

  std::uint32_t openDevice(const std::string&) override {
    if (openCode != comm::kSuccess) return openCode;
    ++opens;
    deviceOpen = true;
    return comm::kSuccess;
  }
  std::uint32_t getLine(comm::LineControl& line) override {
    line = reported;
    return gone;
  }
  std::uint32_t setLine(const comm::LineControl& line) override {
    // As SetCommState checks them.
    if (line.xonChar == line.xoffChar || line.xonLim + line.xoffLim > comm::kInBufferBytes)
      return comm::kInvalidParameter;
    lineSet = line;
    return gone;
  }
  std::uint32_t prepare() override { return gone; }
  void closeDevice() override {
    deviceOpen = false;
    for (auto& s : ops_) s = fresh(s.gen);
    inQueue.clear();
  }
  bool present(const std::string&) override { return present_; }
  std::string errorText(std::uint32_t code) override { return "error " + std::to_string(code); }

  Result startWait() override {
    if (gone) return failed(gone);
    switch (waitMode) {
      case WaitMode::Signals:
        if (!inQueue.empty()) return endedAtOnce(Op::Wait, done(comm::kEvRxChar));
        return run(Op::Wait);
      case WaitMode::NeverSignals:
        return run(Op::Wait);
      case WaitMode::AbortsAtOnce:
        return failed(comm::kOperationAborted);
      case WaitMode::AbortsLater:
        run(Op::Wait);
        return endLater(Op::Wait, 1, failed(comm::kOperationAborted));
      case WaitMode::EmptyAtOnce:
        return endedAtOnce(Op::Wait, done(0));
      case WaitMode::TxEmptyAtOnce:
        return endedAtOnce(Op::Wait, done(comm::kEvTxEmpty));
      case WaitMode::Refused:
        return failed(refusal);
    }
    return failed(comm::kGenFailure);
  }
  Result startWrite(const std::uint8_t* data, std::size_t n) override {
    if (gone) return failed(gone);
    const std::size_t k = std::min(n, writeLimit);
    Bytes taken(data, data + k);
    Result outcome = done(static_cast<std::uint32_t>(k));
    if (abortWrites > 0) {
      --abortWrites;
      taken.clear();
      outcome = failed(comm::kOperationAborted);
    } else if (failWrites) {
      taken.clear();
      outcome = failed(failWrites);
    }
    op(Op::Write).wire = std::move(taken);
    if (writeMs == 0 && !writesNeverEnd) {
      sendWire();
      return endedAtOnce(Op::Write, outcome);
    }
    run(Op::Write);
    if (writesNeverEnd) return pending();
    return endLater(Op::Write, writeMs, outcome);
  }
  Result result(Op o) override { return op(o).running ? pending() : op(o).outcome; }
  Result await(Op o, int maxMs) override {
    OpState& s = op(o);
    if (!s.running) return s.outcome;
    if (s.endsAt && *s.endsAt <= loop_.nowMs() + maxMs) {
      loop_.sleepMs(static_cast<int>(*s.endsAt - loop_.nowMs()));
      finish(o, s.gen);
      return s.outcome;
    }
    loop_.sleepMs(maxMs);
    return pending();
  }
  void cancel(Op o) override {
    if (cancelIgnored || !op(o).running) return;
    end(o, failed(comm::kOperationAborted));
  }
  void abandon(Op o) override {
    ++abandoned;
    op(o) = fresh(op(o).gen);
  }
  void resetSignal(Op o) override { op(o).signalled = false; }
  void watch(Op o, bool on) override {
    op(o).watched = on;
    deliverSoon(o);
  }

  comm::Status status() override {
    ++statusCalls;
    if (gone) return {false, gone, 0, 0};
    const std::uint32_t e = std::exchange(errors, 0u);
    return {true, comm::kSuccess, e, static_cast<std::uint32_t>(inQueue.size())};
  }
  comm::ReadResult read(std::uint8_t* out, std::size_t n) override {
    if (failNextRead) {
      failNextRead = false;
      unplug(comm::kDeviceNotConnected);
    }
    if (gone) return {false, gone, 0};
    const std::size_t k = std::min(n, inQueue.size());
    std::copy_n(inQueue.begin(), k, out);
    inQueue.erase(inQueue.begin(), inQueue.begin() + static_cast<std::ptrdiff_t>(k));
    return {true, comm::kSuccess, k};
  }
  void purgeInput() override { inQueue.clear(); }

  bool running(Op o) { return op(o).running; }

 private:
  struct OpState {
    std::uint64_t gen = 0;
    bool running = false;
    bool signalled = false;
    bool watched = false;
    bool deliveryQueued = false;
    Result outcome{};
    Result planned{};
    std::optional<std::int64_t> endsAt;
    Bytes wire;
  };
  static OpState fresh(std::uint64_t gen) {
    OpState s;
    s.gen = gen + 1;
    return s;
  }
  OpState& op(Op o) { return ops_[o == Op::Wait ? 0 : 1]; }
  static Result done(std::uint32_t value) { return {State::Done, comm::kSuccess, value}; }
  static Result failed(std::uint32_t code) { return {State::Failed, code, 0}; }
  static Result pending() { return {State::Pending, comm::kSuccess, 0}; }

  Result run(Op o) {
    OpState& s = op(o);
    s.running = true;
    s.endsAt.reset();
    ++s.gen;
    return pending();
  }
  Result endedAtOnce(Op o, Result r) {
    op(o).outcome = r;
    op(o).running = false;
    signal(o);
    return r;
  }
  Result endLater(Op o, int ms, Result r) {
    OpState& s = op(o);
    s.planned = r;
    s.endsAt = loop_.nowMs() + ms;
    const std::uint64_t gen = s.gen;
    loop_.at(*s.endsAt, [this, o, gen] { finish(o, gen); });
    return pending();
  }
  void finish(Op o, std::uint64_t gen) {
    OpState& s = op(o);
    if (s.gen != gen || !s.running) return;
    if (o == Op::Write && s.planned.done()) sendWire();
    end(o, s.planned);
  }
  void sendWire() {
    Bytes b = std::move(op(Op::Write).wire);
    if (!b.empty() && onWire) onWire(b);
  }
  void end(Op o, Result r) {
    OpState& s = op(o);
    s.running = false;
    s.endsAt.reset();
    ++s.gen;
    s.outcome = r;
    signal(o);
  }
  void signal(Op o) {
    op(o).signalled = true;
    deliverSoon(o);
  }
  void deliverSoon(Op o) {
    OpState& s = op(o);
    if (!s.signalled || !s.watched || s.deliveryQueued) return;
    s.deliveryQueued = true;
    loop_.at(loop_.nowMs() + 1, [this, o] {
      op(o).deliveryQueued = false;
      if (!op(o).signalled || !op(o).watched || !onSignalled) return;
      ++wakeups;
      onSignalled(o);
      deliverSoon(o);
    });
  }

  VirtualLoop& loop_;
  std::array<OpState, 2> ops_{};
  std::uint32_t gone = 0;
  bool present_ = true;
};

}  // namespace kp::test
