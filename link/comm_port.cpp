#include "link/comm_port.h"

#include <algorithm>
#include <utility>

#include "link/port_names.h"

namespace kp {

namespace {

using comm::Op;
using comm::Result;

// Closing lets written bytes leave for this long: a few frames take
// milliseconds at 28800 baud; a port that does not drain in this time is dead.
constexpr int kDrainMs = 500;
// After asking the driver to end an operation, this long for it to comply.
constexpr int kCancelMs = 200;
// Waits in a row that end without a byte (aborted, an empty mask, an event
// not asked for) before the port gives up on them and polls.
constexpr int kUselessWaitsToPoll = 8;
// Waits one arm may see end at once before it tries again on the next turn.
constexpr int kImmediateWaitsPerArm = 4;
// After a write, the port looks once whether the driver holds bytes it did
// not signal; twice in a row, and it polls.
constexpr int kAnswerCheckMs = 25;
constexpr int kMissedAnswersToPoll = 2;
constexpr int kFastPollMs = 1;
constexpr int kIdlePollMs = 50;
// Aborted writes, or writes that moved nothing, in a row before the port is
// taken as failed.
constexpr int kWriteRetries = 3;
// Reads one pull may make while bytes keep coming.
constexpr int kReadsPerPull = 64;

bool refusedWait(std::uint32_t code) {
  return code == comm::kInvalidFunction || code == comm::kNotSupported ||
         code == comm::kInvalidParameter;
}

std::string settingsText(const LineSettings& s) {
  const char* parity = s.parity == Parity::Even ? "E" : s.parity == Parity::Odd ? "O" : "N";
  return std::to_string(s.baud) + "," + parity + "," + std::to_string(s.dataBits) + "," +
         std::to_string(s.stopBits);
}

std::string lineErrorText(std::uint32_t errors) {
  std::string text;
  auto add = [&](std::uint32_t bit, const char* what) {
    if (!(errors & bit)) return;
    if (!text.empty()) text += ", ";
    text += what;
  };
  add(comm::kCeOverrun, "overrun");
  add(comm::kCeRxOver, "input buffer full");
  add(comm::kCeRxParity, "parity error");
  add(comm::kCeFrame, "framing error");
  add(comm::kCeBreak, "break");
  return text;
}

std::unique_ptr<Timer> oneShot(EventPump& pump, int ms, std::function<void()> fn) {
  auto timer = pump.createTimer();
  timer->setInterval(ms);
  Timer* t = timer.get();
  timer->onTick = [t, fn = std::move(fn)] {
    t->stop();
    fn();
  };
  return timer;
}

}  // namespace

namespace comm {

void fillLineControl(LineControl& line, const LineSettings& s) {
  line.baudRate = static_cast<std::uint32_t>(s.baud);
  line.byteSize = static_cast<std::uint8_t>(s.dataBits);
  line.parity = s.parity == Parity::Even ? 2 : s.parity == Parity::Odd ? 1 : 0;
  line.stopBits = s.stopBits == 2 ? 2 : 0;
  line.binary = true;
  line.parityCheck = s.parity != Parity::None;
  line.outxCtsFlow = false;
  line.outxDsrFlow = false;
  line.dtrControl = 1;  // on, as the unit's cable may power from it
  line.dsrSensitivity = false;
  line.txContinueOnXoff = true;
  line.outX = false;
  line.inX = false;
  line.errorCharOn = false;
  line.nullStrip = false;
  line.rtsControl = 1;
  line.abortOnError = false;
  // Unused without XON/XOFF, but checked by SetCommState: distinct
  // characters and limits that fit the input buffer.
  line.xonChar = 0x11;
  line.xoffChar = 0x13;
  line.xonLim = kInBufferBytes / 4;
  line.xoffLim = kInBufferBytes / 4;
}

}  // namespace comm

CommPort::CommPort(comm::Driver& driver, const Clock& clock, EventPump& pump,
                   std::string programFolder)
    : driver_(driver), clock_(clock), pump_(pump), folder_(std::move(programFolder)) {
  driver_.onSignalled = [this](Op op) { signalled(op); };
  pollTimer_ = oneShot(pump, kFastPollMs, [this] { poll(); });
  answerTimer_ = oneShot(pump, kAnswerCheckMs, [this] { checkAnswer(); });
  rearmTimer_ = oneShot(pump, kFastPollMs, [this] { armWait(); });
}

void CommPort::later(std::function<void()> fn) {
  pump_.post([alive = std::weak_ptr<int>(token_), session = session_, this, fn = std::move(fn)] {
    if (!alive.expired() && session == session_ && open_) fn();
  });
}

CommPort::~CommPort() {
  // No handler of the core may run for a port that is going away.
  onReadyRead = nullptr;
  onError = nullptr;
  close();
  driver_.onSignalled = nullptr;
}

std::string CommPort::deviceName() const {
  return fixedDevice_.empty() ? "COM" + std::to_string(number_) : deviceLabel(fixedDevice_, folder_);
}

std::string CommPort::name() const {
  const std::string com = "COM" + std::to_string(number_);
  const std::string own = deviceName();
  return own == com ? com : own + " (" + com + ")";
}

bool CommPort::open(std::string* error) {
  std::string scratch;
  std::string& why = error ? *error : scratch;
  if (open_) {
    why = name() + " is already open";
    return false;
  }
  const std::string device = fixedDevice_.empty() ? portDevice(number_, folder_) : fixedDevice_;
  if (device.empty()) {
    why = name() + " is not a valid port number";
    return false;
  }
  std::uint32_t code = driver_.openDevice(device);
  switch (code) {
    case comm::kSuccess: break;
    case comm::kFileNotFound:
    case comm::kPathNotFound:
      why = name() + " does not exist on this computer. Check that the cable or USB serial "
            "adapter is plugged in, and look up its number in Device Manager under "
            "Ports (COM & LPT).";
      return false;
    case comm::kAccessDenied:
    case comm::kSharingViolation:
      why = name() + " is in use by another program. Close that program, or choose another "
            "port in Serial Port.";
      return false;
    default:
      why = "Cannot open " + name() + ": " + driver_.errorText(code);
      return false;
  }
  comm::LineControl line;
  code = driver_.getLine(line);
  if (code == comm::kSuccess) {
    comm::fillLineControl(line, settings_);
    code = driver_.setLine(line);
  }
  if (code == comm::kSuccess) code = driver_.prepare();
  if (code != comm::kSuccess) {
    why = name() + " does not take the line settings " + settingsText(settings_) + ": " +
          driver_.errorText(code);
    driver_.closeDevice();
    return false;
  }
  open_ = true;
  ++session_;
  driver_.watch(Op::Write, true);
  armWait();
  return true;
}

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
  if (notifyPending_) return;
  notifyPending_ = true;
  // Through the loop, so that a handler waiting in a nested event loop still
  // hears the bytes that arrive meanwhile.
  later([this] {
    notifyPending_ = false;
    if (!rx_.empty() && onReadyRead) onReadyRead();
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
      if (failPending_) return;
      continue;
    }
    const std::int64_t left = deadline - clock_.nowMs();
    if (left <= 0) return;
    const Result r = driver_.await(Op::Write, static_cast<int>(left));
    if (r.pending()) return;
    driver_.resetSignal(Op::Write);
    writePending_ = false;
    writeEnded(r);
    if (failPending_) return;
  }
}

void CommPort::close() {
  if (!open_) return;
  closing_ = true;
  drain(kDrainMs);
  endOperations(clock_.nowMs() + kCancelMs);
  release();
}

void CommPort::endOperations(std::int64_t deadlineMs) {
  const bool pending[] = {waitPending_, writePending_};
  const Op ops[] = {Op::Wait, Op::Write};
  for (int i = 0; i < 2; ++i)
    if (pending[i]) driver_.cancel(ops[i]);
  for (int i = 0; i < 2; ++i) {
    if (!pending[i]) continue;
    const int left = static_cast<int>(std::max<std::int64_t>(0, deadlineMs - clock_.nowMs()));
    // A driver that never gives an operation back must not hang the program.
    if (driver_.await(ops[i], left).pending()) driver_.abandon(ops[i]);
  }
  waitPending_ = writePending_ = false;
}

void CommPort::release() {
  pollTimer_->stop();
  answerTimer_->stop();
  rearmTimer_->stop();
  driver_.watch(Op::Wait, false);
  driver_.watch(Op::Write, false);
  driver_.closeDevice();
  ++session_;
  open_ = closing_ = polling_ = false;
  notifyPending_ = failPending_ = false;
  waitPending_ = writePending_ = false;
  uselessWaits_ = missedAnswers_ = writeRetries_ = 0;
  rx_.clear();
  txQueue_.clear();
  txFlight_.clear();
}

void CommPort::fail(std::uint32_t code) {
  if (!open_ || closing_ || failPending_) return;
  failPending_ = true;
  const std::string text = driver_.present(deviceName()) ? name() + " failed: " + driver_.errorText(code)
                                                   : name() + " was disconnected";
  // Closed from the loop, not here: this may be deep inside a completion of
  // the driver's.
  later([this, text] {
    endOperations(clock_.nowMs() + kCancelMs);
    release();
    if (onError) onError(text);
  });
}

}  // namespace kp
