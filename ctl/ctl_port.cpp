#include "ctl/ctl_port.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <system_error>

#include "core/state.h"
#include "core/utf8_path.h"
#include "link/transport/port_names.h"
#include "qt/port_factory.h"
#include "link/transport/port_choice.h"

namespace kp::ctl {

namespace fs = std::filesystem;

namespace {

constexpr int kPanelPorts = 10;  // COM1..COM10, as the panel's port dialog offers

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
  const auto choice = parsePortChoice(text, error);
  if (!choice) return std::nullopt;
  PortSpec spec;
  spec.text = text;
  if (choice->isCom()) {
    spec.kind = PortSpec::Kind::Com;
    spec.number = choice->com;
  } else if (choice->target.isNetwork()) {
    spec.kind = PortSpec::Kind::Network;
    spec.network = choice->target;
  } else {
    spec.kind = PortSpec::Kind::Device;
    spec.device = choice->target.path;
  }
  return spec;
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
                                     std::string*) {
  // The port is held: Comm_set selects config.ini's COM, which must not move
  // this command off the port it was given. A COMn is still looked up at
  // every opening, as the panel does.
  auto port = makePanelSerialPort(programFolder);
  std::string why;
  if (const auto choice = parsePortChoice(spec.text, &why)) port->hold(*choice);
  return port;
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
