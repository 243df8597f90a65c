#pragma once
// The program's serial port: whatever port is chosen, opened through a port
// made for what the choice stands for at that opening. The panel's choice is
// a COMn (config.ini's COM, set through setPortNumber), looked up afresh at
// every opening, so that an edit of config.ini takes effect at the next
// connect; a tool or a room may hold a port of its own instead.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/forwarding_port.h"
#include "link/transport/port_choice.h"

namespace kp {

class ChosenPort : public ForwardingPort {
 public:
  // Makes a closed port that opens the target (a system port or device, or
  // a serial device server); nullptr with *error where the system cannot.
  using Factory =
      std::function<std::unique_ptr<SerialPort>(const PortTarget& target, std::string* error)>;

  ChosenPort(std::string programFolder, Factory factory);
  ~ChosenPort() override;

  // The panel's COMn, unless a port of its own is held (hold()).
  void setPortNumber(int n) override;
  int portNumber() const override { return choice_.com; }
  void setSettings(const LineSettings& s) override;
  void setReadSize(std::size_t n) override;

  // Holds this choice from now on: config.ini's COM no longer moves it.
  // Takes effect at the next opening.
  void hold(const PortChoice& choice);
  // What the choice stood for at the last opening that found it.
  const std::optional<PortTarget>& target() const { return target_; }

  // Looks the choice up (one reading of config.ini for a COMn) and opens
  // what it stands for. A [ports] entry that does not parse fails the open
  // with the reason.
  bool open(std::string* error) override;

 private:
  std::string folder_;
  Factory factory_;
  PortChoice choice_ = comChoice(1);
  bool held_ = false;
  LineSettings settings_{};
  std::size_t readSize_ = 0;
  std::optional<PortTarget> target_;
  std::unique_ptr<SerialPort> port_;
  std::unique_ptr<SerialPort> retired_;
};

}  // namespace kp
