// COMn on Windows: the system's own serial ports.
#include "link/port_names.h"

#include <windows.h>

namespace kp {

std::string portDevice(int n, const std::string&) {
  if (n < 1) return {};
  // COM10 and above are reached only through the device namespace; the same
  // form works for COM1..COM9 and never names a file in the current folder.
  return "\\\\.\\COM" + std::to_string(n);
}

std::string describePortDevice(int n, const std::string&) {
  const std::string name = "COM" + std::to_string(n);
  if (n < 1) return name + " (no such port)";
  // The system knows a port that is present by its device name.
  wchar_t target[512];
  const std::wstring wide(name.begin(), name.end());
  if (QueryDosDeviceW(wide.c_str(), target, sizeof target / sizeof target[0]) == 0)
    return name + " (not present)";
  return name;
}

}  // namespace kp
