#pragma once
// The serial port of the system the panel runs on: QSerialPort on Linux
// (qt_serial_port.h), the Windows communications API on Windows
// (win_serial_port_windows.h).
#include <memory>
#include <string>

#include "core/ports.h"

// A closed port that opens `device` (a path, or \\.\COM17 on Windows).
// nullptr, with the reason in *error, where the system cannot open such a
// name.
std::unique_ptr<kp::SerialPort> makeSystemSerialPort(const std::string& device, std::string* error);
