#include "qt/system_serial_port.h"

#include "qt/win_serial_port_windows.h"

std::unique_ptr<kp::SerialPort> makeSystemSerialPort(const std::string& programFolder,
                                                     const std::string& device) {
  auto port = std::make_unique<WinSerialPort>(programFolder);
  port->setDevice(device);
  return port;
}

std::unique_ptr<kp::SerialPort> makeDeviceSerialPort(const std::string& device, std::string*) {
  return makeSystemSerialPort(std::string(), device);
}
