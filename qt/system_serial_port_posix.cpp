#include "qt/system_serial_port.h"

#include "qt/qt_serial_port.h"

std::unique_ptr<kp::SerialPort> makeSystemSerialPort(const std::string& programFolder,
                                                     const std::string& device) {
  auto port = std::make_unique<QtSerialPort>(programFolder);
  port->setDevice(device);
  return port;
}

std::unique_ptr<kp::SerialPort> makeDeviceSerialPort(const std::string& device, std::string*) {
  auto port = std::make_unique<QtSerialPort>(std::string());
  port->setDevice(device);
  return port;
}
