#include "link/transport/chosen_port.h"

#include <utility>

namespace kp {

ChosenPort::ChosenPort(std::string programFolder, Factory factory)
    : folder_(std::move(programFolder)), factory_(std::move(factory)) {}

ChosenPort::~ChosenPort() {
  // No handler of the program may run for a port that is going away.
  onReadyRead = nullptr;
  onError = nullptr;
  attach(nullptr);
}

void ChosenPort::setPortNumber(int n) {
  if (!held_) choice_ = comChoice(n);
}

void ChosenPort::hold(const PortChoice& choice) {
  held_ = true;
  choice_ = choice;
}

void ChosenPort::setSettings(const LineSettings& s) {
  settings_ = s;
  ForwardingPort::setSettings(s);
}

void ChosenPort::setReadSize(std::size_t n) {
  readSize_ = n;
  ForwardingPort::setReadSize(n);
}

bool ChosenPort::open(std::string* error) {
  std::string scratch;
  std::string& why = error ? *error : scratch;
  if (isOpen()) {
    why = choice_.text + " is already open";
    return false;
  }
  const auto target = resolvePortChoice(choice_, folder_, &why);
  if (!target) return false;
  if (!port_ || target != target_) {
    auto made = factory_(*target, &why);
    if (!made) return false;
    // The old port may be the one whose handler runs now: it goes at the
    // next change, not under its own feet.
    retired_ = std::move(port_);
    port_ = std::move(made);
    target_ = target;
    attach(port_.get());
  }
  // The number names the port in messages: "COM5 (rfc2217://...)".
  port_->setPortNumber(choice_.com);
  port_->setSettings(settings_);
  port_->setReadSize(readSize_);
  return port_->open(&why);
}

}  // namespace kp
