#pragma once
// Every port karaoke-ctl reaches goes through here: what a PORT text stands
// for, the port that opens it, and the list of COMn for `karaoke-ctl ports`.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/ports.h"
#include "link/transport/port_target.h"

namespace kp::ctl {

struct PortSpec {
  enum class Kind { Com, Device, Network };
  Kind kind = Kind::Com;
  int number = 0;      // COMn
  std::string device;  // a device path
  PortTarget network;  // rfc2217://, tcp:// or socket://
  std::string text;    // as the operator wrote it
};

// COMn (n = 1..255, any case; what it stands for comes from [ports] of
// config.ini, ports/comN or the system, as in the panel), a device path, or
// a serial device server (rfc2217://host:port, tcp://host:port). nullopt, with the reason in
// *error, for anything else.
std::optional<PortSpec> parsePort(const std::string& text, std::string* error);

// What the port stands for on this machine, e.g. "COM3: ports/com3 → /dev/ttyUSB0".
std::string describePort(const PortSpec& spec, const std::string& programFolder);

// The device a port reaches, so that two texts naming the same device
// compare equal: a COMn through [ports], ports/comN or the system's port,
// device paths with their links followed, device servers by kind and
// host:port ("COM3" and the path ports/com3 links to; COM5 of [ports]
// COM5=COM17 and COM17).
std::string portIdentity(const PortSpec& spec, const std::string& programFolder);

// A closed port for spec, set up for the unit's line. It keeps its port
// whatever number the program's settings select (config.ini's COM is the
// panel's choice, not this command's). nullptr with *error when the system
// cannot make such a port.
std::unique_ptr<SerialPort> makePort(const PortSpec& spec, const std::string& programFolder,
                                     std::string* error);

// One line per COMn the panel offers, and per further ports/comN: what it
// stands for and whether it is there.
std::vector<std::string> portListing(const std::string& programFolder);

}  // namespace kp::ctl
