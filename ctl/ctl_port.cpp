#include "ctl/ctl_port.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <system_error>

#include "core/state.h"
#include "core/utf8_path.h"
#include "link/transport/port_choice.h"
#include "link/transport/port_names.h"
#include "qt/port_factory.h"

namespace kp::ctl {

namespace fs = std::filesystem;

namespace {

constexpr int kPanelPorts = 10;  // COM1..COM10, as the panel's port dialog offers

std::string upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

}  // namespace

std::unique_ptr<SerialPort> makePort(const PortChoice& spec, const std::string& programFolder) {
  // The port is held: Comm_set selects config.ini's COM, which must not move
  // this command off the port it was given. A COMn is still looked up at
  // every opening, as the panel does.
  auto port = makePanelSerialPort(programFolder);
  port->hold(spec);
  return port;
}

std::vector<std::string> portListing(const std::string& programFolder) {
  std::set<int> numbers;
  for (int n = 1; n <= kPanelPorts; ++n) numbers.insert(n);
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(pathFromUtf8(joinPath(programFolder, "ports")), ec)) {
    const std::string name = upper(utf8FromPath(e.path().filename()));
    std::string why;
    if (auto choice = parsePortChoice(name, &why); choice && choice->isCom())
      numbers.insert(choice->com);
  }
  std::vector<std::string> lines;
  for (int n : numbers) lines.push_back(describePortChoice(comChoice(n), programFolder));
  return lines;
}

}  // namespace kp::ctl
