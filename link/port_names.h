#pragma once
// What "COMn" means on this machine. The operator's settings keep a port
// number; each platform turns it into the device that the port layer opens.
#include <string>

namespace kp {

// The device the port layer opens for COMn. Windows: \\.\COMn. Linux:
// <programFolder>/ports/com<n> when that entry exists (usually a symlink to
// any tty, e.g. ports/com3 -> /dev/ttyUSB0; the link itself is returned),
// otherwise /dev/ttyS<n-1>. Empty for a number below 1.
std::string portDevice(int n, const std::string& programFolder);

// One line for a tooltip: which device COMn reaches and whether it is there,
// e.g. "ports/com3 → /dev/ttyUSB0" or "/dev/ttyS2 (not present)".
std::string describePortDevice(int n, const std::string& programFolder);

}  // namespace kp
