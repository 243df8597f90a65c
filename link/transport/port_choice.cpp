#include "link/transport/port_choice.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "core/utf8_path.h"
#include "link/transport/port_names.h"

namespace kp {

namespace {

std::string upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

// The digits of "COMn", checked: nullopt for anything but 1..kMaxComNumber
// written without a sign.
std::optional<int> comNumber(const std::string& digits) {
  if (digits.empty() || digits.size() > 3) return std::nullopt;
  int n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n < 1 || n > kMaxComNumber) return std::nullopt;
  return n;
}

}  // namespace

PortChoice comChoice(int n) {
  PortChoice c;
  c.com = n;
  c.text = "COM" + std::to_string(n);
  return c;
}

std::optional<PortChoice> parsePortChoice(const std::string& text, std::string* error) {
  std::string scratch;
  std::string& why = error ? *error : scratch;
  const std::string u = upper(text);
  if (u.size() > 3 && u.compare(0, 3, "COM") == 0 &&
      std::all_of(u.begin() + 3, u.end(), [](unsigned char c) { return std::isdigit(c); })) {
    const auto n = comNumber(u.substr(3));
    if (!n) {
      why = "no such port " + text + " (COM1..COM" + std::to_string(kMaxComNumber) + ")";
      return std::nullopt;
    }
    PortChoice c = comChoice(*n);
    c.text = text;
    return c;
  }
  PortChoice c;
  c.text = text;
  if (text.find("://") != std::string::npos) {
    auto target = parsePortTarget(text, &why);
    if (!target || !target->isNetwork()) {
      if (target) why = "\"" + text + "\" is not a network port";
      return std::nullopt;
    }
    c.target = *target;
    return c;
  }
  if (text.find('/') != std::string::npos || text.find('\\') != std::string::npos) {
    c.target.kind = PortTarget::Kind::Device;
    c.target.path = text;
    return c;
  }
  why = "\"" + text +
        "\" is not a port: give COMn, a device path, rfc2217://HOST:PORT or tcp://HOST:PORT";
  return std::nullopt;
}

std::optional<PortTarget> resolvePortChoice(const PortChoice& choice,
                                            const std::string& programFolder, std::string* error) {
  if (choice.isCom()) return lookupPortTarget(choice.com, programFolder, error);
  return choice.target;
}

std::string describePortChoice(const PortChoice& choice, const std::string& programFolder) {
  if (choice.isCom())
    return "COM" + std::to_string(choice.com) + ": " + describeComPort(choice.com, programFolder);
  if (choice.target.isNetwork()) return describePortTarget(choice.target, programFolder);
  std::error_code ec;
  const bool present = std::filesystem::exists(pathFromUtf8(choice.target.path), ec);
  return choice.target.path + (present ? "" : " (not present)");
}

std::string portTargetIdentity(const PortTarget& target) {
  if (target.isNetwork()) {
    // Host names are case-blind; socket:// is tcp://.
    PortTarget t = target;
    std::transform(t.host.begin(), t.host.end(), t.host.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return t.text();
  }
  return deviceIdentity(portTargetDevice(target));
}

std::string portChoiceIdentity(const PortChoice& choice, const std::string& programFolder) {
  // What the port opens: [ports] and ports/comN as the panel's port reads them.
  std::string why;
  const auto target = resolvePortChoice(choice, programFolder, &why);
  if (!target) return "COM" + std::to_string(choice.com) + ": " + why;
  return portTargetIdentity(*target);
}

}  // namespace kp
