#pragma once
// The serial port of the system the panel runs on: QSerialPort on Linux
// (qt_serial_port.h), the Windows communications API on Windows
// (win_serial_port_windows.h).
#include <memory>
#include <string>

#include "core/ports.h"

// programFolder is where a platform may look up what COMn stands for.
std::unique_ptr<kp::SerialPort> makeSystemSerialPort(const std::string& programFolder);

// A port that opens the named device whatever port number it is given (a
// tool handed a path). nullptr, with the reason in *error, where the system
// names its ports otherwise.
std::unique_ptr<kp::SerialPort> makeDeviceSerialPort(const std::string& device, std::string* error);
