#pragma once
// The system's own names for its serial ports: the one place where Linux and
// Windows differ in what a port is called. What a COMn stands for as a whole
// ([ports] of config.ini, device servers on the network) is port_target.h.
#include <string>

namespace kp {

// The device the system opens for its own port COMn: /dev/ttyS<n-1> on
// Linux, \\.\COMn on Windows (the only form that reaches COM10 and above).
// Empty for a number below 1.
std::string systemPortDevice(int n);

// Linux: <programFolder>/ports/com<n> when that entry exists (usually a
// symlink to any tty, e.g. ports/com3 -> /dev/ttyUSB0; a dangling link counts,
// so that opening it reports the missing device instead of quietly taking a
// port the operator did not pick). Windows: always empty.
std::string portLinkPath(int n, const std::string& programFolder);

// The device a serial port layer opens for COMn when nothing else is said:
// the link above when it exists, otherwise the system's own port.
std::string portDevice(int n, const std::string& programFolder);

// The device itself, so that two names of one device compare equal: on
// Linux the path with its links followed; on Windows a port of the device
// namespace by its upper-case name, other paths canonical in one case.
std::string deviceIdentity(const std::string& device);

// Whether the device is there right now.
bool devicePresent(const std::string& device);

// The device as the operator knows it: "ports/com3 → /dev/ttyUSB0" for a
// link in the program folder, "/dev/ttyS2" on Linux, "COM17" on Windows.
std::string deviceLabel(const std::string& device, const std::string& programFolder);

}  // namespace kp
