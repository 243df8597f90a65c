// COMn on Windows: the system's own serial ports.
#include "link/transport/port_names.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "core/utf8_path.h"

namespace kp {

namespace {
const char* kDeviceNamespace = "\\\\.\\";
}

std::string systemPortDevice(int n) {
  if (n < 1) return {};
  // COM10 and above are reached only through the device namespace; the same
  // form works for COM1..COM9 and never names a file in the current folder.
  return kDeviceNamespace + ("COM" + std::to_string(n));
}

std::string portLinkPath(int, const std::string&) { return {}; }

std::string portDevice(int n, const std::string&) { return systemPortDevice(n); }

std::string deviceIdentity(const std::string& device) {
  auto upper = [](std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
  };
  // The system's names are case-blind: \\.\com17 is COM17.
  const std::string name = upper(deviceLabel(device, ""));
  if (name.size() > 3 && name.compare(0, 3, "COM") == 0 &&
      std::all_of(name.begin() + 3, name.end(), [](unsigned char c) { return std::isdigit(c); }))
    return kDeviceNamespace + name;
  std::error_code ec;
  const std::filesystem::path real = std::filesystem::weakly_canonical(pathFromUtf8(device), ec);
  return upper(ec ? device : utf8FromPath(real));
}

bool devicePresent(const std::string& device) {
  // The system knows a port that is present by its device name.
  const std::string name = deviceLabel(device, "");
  wchar_t target[512];
  const std::wstring wide(name.begin(), name.end());
  return QueryDosDeviceW(wide.c_str(), target, sizeof target / sizeof target[0]) != 0;
}

std::string deviceLabel(const std::string& device, const std::string&) {
  const std::string prefix = kDeviceNamespace;
  return device.rfind(prefix, 0) == 0 ? device.substr(prefix.size()) : device;
}

}  // namespace kp
