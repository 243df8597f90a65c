#pragma once
// What a COMn stands for. The panel speaks of COM1..COM10; each may be the
// system's own port, any serial device, or a serial device server on the
// network, as section [ports] of config.ini says:
//
//   [ports]
//   COM2=rfc2217://192.168.10.21:4001   RFC 2217: the panel sets the line
//   COM3=tcp://192.168.10.22:4001       raw TCP (socket:// is the same)
//   COM4=/dev/ttyUSB1                   a device path
//   COM5=COM17                          a system port by name
//
// A COMn without a key is what it always was (port_names.h).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kp {

struct PortTarget {
  enum class Kind {
    SystemPort,  // the system's own port `name`, e.g. "COM17"
    Device,      // the serial device at `path`
    Tcp,         // raw bytes to `host`:`port`; the line settings are the server's
    Rfc2217,     // Telnet COM Port Control at `host`:`port`; the panel sets the line
  };
  Kind kind = Kind::SystemPort;
  std::string name;        // SystemPort: "COM<n>", upper case
  std::string path;        // Device
  std::string host;        // Tcp, Rfc2217: a name or an address (IPv6 without brackets)
  std::uint16_t port = 0;  // Tcp, Rfc2217: 1..65535

  bool isNetwork() const { return kind == Kind::Tcp || kind == Kind::Rfc2217; }
  // n of a SystemPort's "COMn"; 0 for the other kinds.
  int systemPortNumber() const;
  // The target as [ports] would hold it: "COM17", "/dev/ttyUSB1",
  // "tcp://host:4001", "rfc2217://[::1]:4001".
  std::string text() const;
  // "host:port" of a network target, IPv6 in brackets.
  std::string hostPort() const;

  bool operator==(const PortTarget&) const = default;
};

// Longest value taken from [ports]; longer ones are someone's mistake.
inline constexpr std::size_t kPortTargetMaxLength = 255;

// Reads one target: rfc2217://host:port, tcp://host:port, socket://host:port
// (the same as tcp), an absolute device path (/dev/ttyUSB1, \\.\COM17), or a
// system port name (COM17, any case). On bad input returns nullopt and, when
// error is not null, says what is wrong in a short sentence ("no host in
// tcp://:4001", "port 70000 is outside 1..65535", ...).
std::optional<PortTarget> parsePortTarget(std::string_view text, std::string* error);

// What COMn stands for in the program folder: the key "COMn" of section
// [ports] in <programFolder>/config.ini when it has a value; otherwise, on
// Linux, <programFolder>/ports/com<n> when that entry exists (a Device);
// otherwise the system's own port COMn. nullopt, with the reason in *error
// ("config.ini [ports] COM2: no host in tcp://:4001"), for n below 1 or a
// [ports] value that does not parse: a mistyped entry never falls back to a
// serial port the operator did not mean. config.ini is read at every call.
std::optional<PortTarget> lookupPortTarget(int n, const std::string& programFolder,
                                           std::string* error);

// The device a SystemPort or a Device opens (systemPortDevice() of a
// SystemPort); empty for network targets.
std::string portTargetDevice(const PortTarget& target);

// One line about a target, for people: "rfc2217://10.0.0.5:4001 (RFC 2217
// device server)", "ports/com3 → /dev/ttyUSB0", "/dev/ttyS2 (not present)".
std::string describePortTarget(const PortTarget& target, const std::string& programFolder);

// One line about what COMn stands for, for the port dialog's tooltips and
// `karaoke-ctl ports`: describePortTarget() of the lookup, or the lookup's
// error.
std::string describeComPort(int n, const std::string& programFolder);

}  // namespace kp
