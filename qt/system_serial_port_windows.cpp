#include "qt/system_serial_port.h"

#include "qt/win_serial_port_windows.h"

std::unique_ptr<kp::SerialPort> makeSystemSerialPort(const std::string& programFolder) {
  return std::make_unique<WinSerialPort>(programFolder);
}

std::unique_ptr<kp::SerialPort> makeDeviceSerialPort(const std::string& device, std::string* error) {
  *error = device + " is not a port name on Windows; name the port COMn";
  return nullptr;
}
