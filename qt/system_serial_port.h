#pragma once
// The serial port of the system the panel runs on: QSerialPort on Linux
// (qt_serial_port.h), the Windows communications API on Windows
// (win_serial_port_windows.h).
#include <memory>
#include <string>

#include "core/ports.h"

// Opens `device` (a path, or \\.\COM17 on Windows); with no device, what COMn
// names in programFolder (port_names.h) at each open.
std::unique_ptr<kp::SerialPort> makeSystemSerialPort(const std::string& programFolder,
                                                     const std::string& device = {});

// A port that opens the named device whatever port number it is given (a
// tool handed a path). nullptr, with the reason in *error, where the system
// cannot open such a name.
std::unique_ptr<kp::SerialPort> makeDeviceSerialPort(const std::string& device, std::string* error);
