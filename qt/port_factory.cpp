#include "qt/port_factory.h"

#include "qt/network_port.h"
#include "qt/system_serial_port.h"

std::unique_ptr<kp::SerialPort> makePortFor(const kp::PortTarget& target, std::string* error) {
  if (target.isNetwork()) return std::make_unique<NetworkSerialPort>(target);
  return makeSystemSerialPort(kp::portTargetDevice(target), error);
}

std::unique_ptr<kp::ChosenPort> makePanelSerialPort(const std::string& programFolder) {
  return std::make_unique<kp::ChosenPort>(programFolder, makePortFor);
}
