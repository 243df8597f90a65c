#include "ctl/ctl_port.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <system_error>

#include "core/state.h"
#include "core/utf8_path.h"
#include "ctl/forwarding_port.h"
#include "link/port_names.h"
#include "qt/port_factory.h"
#include "qt/system_serial_port.h"

namespace kp::ctl {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxPortNumber = 255;
constexpr int kPanelPorts = 10;  // COM1..COM10, as the panel's port dialog offers

// The program's port with its number held: Comm_set selects config.ini's COM,
// which must not move this command off the port it was given.
// The system's port lives as long as the one around it (a base, so that it
// is made before and goes after the forwarding).
struct OwnedPort {
  std::unique_ptr<SerialPort> owned;
};

class PinnedPort : private OwnedPort, public ForwardingPort {
 public:
  PinnedPort(std::unique_ptr<SerialPort> inner, int number)
      : OwnedPort{std::move(inner)}, ForwardingPort(*owned), number_(number) {
    in_.setPortNumber(number);
  }
  void setPortNumber(int) override {}
  int portNumber() const override { return number_; }

 private:
  int number_;
};

std::string upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

bool present(const std::string& path) {
  std::error_code ec;
  return fs::exists(pathFromUtf8(path), ec);
}

}  // namespace

std::optional<PortSpec> parsePort(const std::string& text, std::string* error) {
  PortSpec spec;
  spec.text = text;
  const std::string u = upper(text);
  if (u.size() > 3 && u.compare(0, 3, "COM") == 0 &&
      std::all_of(u.begin() + 3, u.end(), [](unsigned char c) { return std::isdigit(c); })) {
    const std::string digits = u.substr(3);
    const int n = digits.size() <= 3 ? std::stoi(digits) : 0;
    if (n < 1 || n > kMaxPortNumber) {
      *error = "no such port " + text + " (COM1..COM" + std::to_string(kMaxPortNumber) + ")";
      return std::nullopt;
    }
    spec.kind = PortSpec::Kind::Com;
    spec.number = n;
    return spec;
  }
  if (text.find("://") != std::string::npos) {
    std::string why;
    auto target = parsePortTarget(text, &why);
    if (!target || !target->isNetwork()) {
      *error = target ? "\"" + text + "\" is not a network port" : why;
      return std::nullopt;
    }
    spec.kind = PortSpec::Kind::Network;
    spec.network = *target;
    return spec;
  }
  if (text.find('/') != std::string::npos || text.find('\\') != std::string::npos) {
    spec.kind = PortSpec::Kind::Device;
    spec.device = text;
    return spec;
  }
  *error = "\"" + text + "\" is not a port: give COMn, a device path, rfc2217://HOST:PORT or tcp://HOST:PORT";
  return std::nullopt;
}

std::string describePort(const PortSpec& spec, const std::string& programFolder) {
  if (spec.kind == PortSpec::Kind::Com)
    return "COM" + std::to_string(spec.number) + ": " + describeComPort(spec.number, programFolder);
  if (spec.kind == PortSpec::Kind::Network) return describePortTarget(spec.network, programFolder);
  return spec.device + (present(spec.device) ? "" : " (not present)");
}

std::string portIdentity(const PortSpec& spec, const std::string& programFolder) {
  // What the port opens: [ports] and ports/comN as the panel's port reads them.
  std::optional<PortTarget> target;
  if (spec.kind == PortSpec::Kind::Network) {
    target = spec.network;
  } else if (spec.kind == PortSpec::Kind::Device) {
    target = PortTarget{PortTarget::Kind::Device, {}, spec.device, {}, 0};
  } else {
    std::string why;
    target = lookupPortTarget(spec.number, programFolder, &why);
    // Such a port opens nothing and fails on its own.
    if (!target) return "COM" + std::to_string(spec.number) + ": " + why;
  }
  if (target->isNetwork()) {
    // Host names are case-blind; socket:// is tcp://.
    PortTarget t = *target;
    std::transform(t.host.begin(), t.host.end(), t.host.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return t.text();
  }
  return deviceIdentity(portTargetDevice(*target));
}

std::unique_ptr<SerialPort> makePort(const PortSpec& spec, const std::string& programFolder,
                                     std::string* error) {
  std::unique_ptr<SerialPort> inner;
  if (spec.kind == PortSpec::Kind::Com)
    inner = makePanelSerialPort(programFolder);  // looks COMn up at every open, as the panel does
  else if (spec.kind == PortSpec::Kind::Network)
    inner = makePortFor(spec.network, programFolder);
  else
    inner = makeDeviceSerialPort(spec.device, error);
  if (!inner) return nullptr;
  return std::make_unique<PinnedPort>(std::move(inner), spec.kind == PortSpec::Kind::Com ? spec.number : 1);
}

std::vector<std::string> portListing(const std::string& programFolder) {
  std::set<int> numbers;
  for (int n = 1; n <= kPanelPorts; ++n) numbers.insert(n);
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(pathFromUtf8(joinPath(programFolder, "ports")), ec)) {
    const std::string name = upper(utf8FromPath(e.path().filename()));
    std::string why;
    if (auto spec = parsePort(name, &why); spec && spec->kind == PortSpec::Kind::Com)
      numbers.insert(spec->number);
  }
  std::vector<std::string> lines;
  for (int n : numbers) {
    PortSpec spec;
    spec.number = n;
    lines.push_back(describePort(spec, programFolder));
  }
  return lines;
}

}  // namespace kp::ctl
