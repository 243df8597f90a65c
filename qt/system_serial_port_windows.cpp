#include "qt/system_serial_port.h"

#include "qt/win_serial_port_windows.h"

std::unique_ptr<kp::SerialPort> makeSystemSerialPort(const std::string& device, std::string*) {
  auto port = std::make_unique<WinSerialPort>();
  port->setDevice(device);
  return port;
}
