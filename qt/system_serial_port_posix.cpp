#include "qt/system_serial_port.h"

#include "qt/qt_serial_port.h"

std::unique_ptr<kp::SerialPort> makeSystemSerialPort(const std::string& device, std::string*) {
  auto port = std::make_unique<QtSerialPort>();
  port->setDevice(device);
  return port;
}
