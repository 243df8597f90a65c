#include "link/transport/comm_port.h"

#include <algorithm>
#include <utility>

#include "link/transport/comm_port_parts.h"
#include "link/transport/port_names.h"

namespace kp {

using comm::Op;
using comm::Result;
using namespace comm_port;

CommPort::CommPort(comm::Driver& driver, const Clock& clock, EventPump& pump)
    : driver_(driver),
      clock_(clock),
      events_([&pump](std::function<void()> fn) { pump.post(std::move(fn)); }) {
  driver_.onSignalled = [this](Op op) { signalled(op); };
  pollTimer_ = oneShot(pump, kFastPollMs, [this] { poll(); });
  answerTimer_ = oneShot(pump, kAnswerCheckMs, [this] { checkAnswer(); });
  rearmTimer_ = oneShot(pump, kFastPollMs, [this] { armWait(); });
}

CommPort::~CommPort() {
  // No handler of the core may run for a port that is going away.
  onReadyRead = nullptr;
  onError = nullptr;
  close();
  driver_.onSignalled = nullptr;
}

std::string CommPort::deviceName() const {
  return fixedDevice_.empty() ? "COM" + std::to_string(number_) : deviceLabel(fixedDevice_, "");
}

std::string CommPort::name() const {
  // A port chosen by its device has no COM number to name.
  const std::string own = deviceName();
  if (number_ <= 0) return own;
  const std::string com = "COM" + std::to_string(number_);
  return own == com ? com : own + " (" + com + ")";
}

bool CommPort::open(std::string* error) {
  std::string scratch;
  std::string& why = error ? *error : scratch;
  if (open_) {
    why = name() + " is already open";
    return false;
  }
  const std::string device = fixedDevice_.empty() ? systemPortDevice(number_) : fixedDevice_;
  if (device.empty()) {
    why = name() + " is not a valid port number";
    return false;
  }
  std::uint32_t code = driver_.openDevice(device);
  switch (code) {
    case comm::kSuccess:
      break;
    case comm::kFileNotFound:
    case comm::kPathNotFound:
      why = name() +
            " does not exist on this computer. Check that the cable or USB serial "
            "adapter is plugged in, and look up its number in Device Manager under "
            "Ports (COM & LPT).";
      return false;
    case comm::kAccessDenied:
    case comm::kSharingViolation:
      why = name() +
            " is in use by another program. Close that program, or choose another "
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
  events_.opened();
  driver_.watch(Op::Write, true);
  armWait();
  return true;
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
  events_.closed();
  open_ = closing_ = polling_ = false;
  waitPending_ = writePending_ = false;
  uselessWaits_ = missedAnswers_ = writeRetries_ = 0;
  rx_.clear();
  txQueue_.clear();
  txFlight_.clear();
}

void CommPort::fail(std::uint32_t code) {
  if (!open_ || closing_ || events_.failing()) return;
  const std::string text = driver_.present(deviceName())
                               ? name() + " failed: " + driver_.errorText(code)
                               : name() + " was disconnected";
  // Closed from the loop, not here: this may be deep inside a completion of
  // the driver's.
  events_.failed([this, text] {
    if (!open_) return;
    endOperations(clock_.nowMs() + kCancelMs);
    release();
    if (onError) onError(text);
  });
}

}  // namespace kp
