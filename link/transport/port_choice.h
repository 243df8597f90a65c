#pragma once
// A port as an operator names it in a tool or a rooms file: the panel's own
// COMn, whose meaning config.ini gives at every opening, or a port of its
// own (a device path, a serial device server).
#include <optional>
#include <string>

#include "link/transport/port_target.h"

namespace kp {

struct PortChoice {
  int com = 0;        // 1..255: the panel's COMn; 0: `target` instead
  PortTarget target;  // a device path or a network target
  std::string text;   // as the operator wrote it

  bool isCom() const { return com > 0; }
  bool operator==(const PortChoice&) const = default;
};

inline constexpr int kMaxComNumber = 255;

// COMn (n = 1..255, any case), a device path (/dev/ttyUSB0, \\.\COM17), or a
// serial device server (rfc2217://host:port, tcp://host:port,
// socket://host:port). nullopt, with the reason in *error, for anything else.
std::optional<PortChoice> parsePortChoice(const std::string& text, std::string* error);

// The panel's COMn.
PortChoice comChoice(int n);

// What the choice stands for now: COMn through [ports] of config.ini,
// ports/comN and the system's port (lookupPortTarget, one reading of
// config.ini); any other choice as it is.
std::optional<PortTarget> resolvePortChoice(const PortChoice& choice,
                                            const std::string& programFolder, std::string* error);

// What the port stands for on this machine, for people: "COM3: ports/com3 →
// /dev/ttyUSB0", "rfc2217://10.0.0.5:4001 (device server, RFC 2217: ...)",
// "/dev/ttyUSB1 (not present)".
std::string describePortChoice(const PortChoice& choice, const std::string& programFolder);

// What a port opens, so that two choices naming one device compare equal:
// "COM3" and the path ports/com3 links to, [ports] COM4=/dev/ttyUSB1 and
// /dev/ttyUSB1, COM5=COM17 and COM17. A COMn whose [ports] entry is bad
// stands for itself (it opens nothing).
std::string portChoiceIdentity(const PortChoice& choice, const std::string& programFolder);
// The same for a target already looked up.
std::string portTargetIdentity(const PortTarget& target);

}  // namespace kp
