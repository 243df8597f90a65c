#include "link/transport/port_target.h"

#include <algorithm>
#include <cctype>

#include "core/state.h"
#include "ini/ini.h"
#include "link/transport/port_names.h"

namespace kp {

namespace {

constexpr int kMaxSystemPort = 255;
constexpr std::size_t kQuoted = 40;  // of a bad value, in a message

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The value as a message quotes it: never pages of it.
std::string quoted(std::string_view s) {
  if (s.size() <= kQuoted) return "\"" + std::string(s) + "\"";
  return "\"" + std::string(s.substr(0, kQuoted)) + "...\"";
}

bool fail(std::string* error, const std::string& why) {
  if (error) *error = why;
  return false;
}

// "COM17" in any case; n in 1..255.
std::optional<int> systemPortNumber(std::string_view text) {
  if (text.size() < 4 || text.size() > 6 || lower(text.substr(0, 3)) != "com") return std::nullopt;
  int n = 0;
  for (char c : text.substr(3)) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n < 1 || n > kMaxSystemPort || text[3] == '0') return std::nullopt;
  return n;
}

bool hostNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
}

bool ipv6Char(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
}

// host:port of a URL, the scheme already taken off.
bool parseHostPort(std::string_view whole, std::string_view rest, PortTarget* t,
                   std::string* error) {
  std::string_view host;
  std::string_view after;
  if (!rest.empty() && rest.front() == '[') {
    const auto close = rest.find(']');
    if (close == std::string_view::npos) return fail(error, "no closing ] in " + quoted(whole));
    host = rest.substr(1, close - 1);
    if (!std::all_of(host.begin(), host.end(), ipv6Char) ||
        host.find(':') == std::string_view::npos)
      return fail(error, quoted(host) + " is not an IPv6 address");
    after = rest.substr(close + 1);
  } else {
    const auto colon = rest.find(':');
    host = rest.substr(0, colon);
    after = colon == std::string_view::npos ? std::string_view() : rest.substr(colon);
    const auto bad = std::find_if_not(host.begin(), host.end(), hostNameChar);
    if (bad != host.end()) {
      if (*bad == '/' || *bad == '?' || *bad == '#')
        return fail(error, "no port in " + quoted(whole) + " (write it as host:port)");
      return fail(error, "the host name " + quoted(host) + " has a character '" +
                             std::string(1, *bad) + "' that no host name has");
    }
  }
  if (host.empty()) return fail(error, "no host in " + quoted(whole));
  if (after.empty()) return fail(error, "no port in " + quoted(whole) + " (write it as host:port)");
  if (after.front() != ':')
    return fail(error, "unexpected " + quoted(after) + " after the host in " + quoted(whole));
  const std::string_view digits = after.substr(1);
  if (digits.empty())
    return fail(error, "no port in " + quoted(whole) + " (write it as host:port)");
  const auto end = std::find_if_not(digits.begin(), digits.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c));
  });
  if (end == digits.begin()) return fail(error, "the port " + quoted(digits) + " is not a number");
  const std::string_view number = digits.substr(0, static_cast<std::size_t>(end - digits.begin()));
  if (end != digits.end())
    return fail(error, "unexpected " + quoted(digits.substr(number.size())) +
                           " after the port in " + quoted(whole));
  long value = 0;
  for (char c : number) {
    value = value * 10 + (c - '0');
    if (value > 65535) break;
  }
  if (value < 1 || value > 65535)
    return fail(error, "port " + std::string(number.size() > 8 ? number.substr(0, 8) : number) +
                           (number.size() > 8 ? "..." : "") + " is outside 1..65535");
  t->host = std::string(host);
  t->port = static_cast<std::uint16_t>(value);
  return true;
}

}  // namespace

int PortTarget::systemPortNumber() const {
  if (kind != Kind::SystemPort) return 0;
  return kp::systemPortNumber(name).value_or(0);
}

std::string PortTarget::hostPort() const {
  if (!isNetwork()) return {};
  const bool v6 = host.find(':') != std::string::npos;
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string PortTarget::text() const {
  switch (kind) {
    case Kind::SystemPort:
      return name;
    case Kind::Device:
      return path;
    case Kind::Tcp:
      return "tcp://" + hostPort();
    case Kind::Rfc2217:
      return "rfc2217://" + hostPort();
  }
  return {};
}

std::optional<PortTarget> parsePortTarget(std::string_view text, std::string* error) {
  if (text.empty()) {
    fail(error, "no port given");
    return std::nullopt;
  }
  if (text.size() > kPortTargetMaxLength) {
    fail(error, "the value is " + std::to_string(text.size()) +
                    " characters long; a port is at most " + std::to_string(kPortTargetMaxLength));
    return std::nullopt;
  }
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u == ' ' || u == '\t') {
      fail(error, quoted(text) + " has a space in it");
      return std::nullopt;
    }
    if (u < 0x20 || u == 0x7F) {
      fail(error, quoted(text) + " has a control character in it");
      return std::nullopt;
    }
  }

  PortTarget t;
  const auto sep = text.find("://");
  if (sep != std::string_view::npos) {
    const std::string scheme = lower(text.substr(0, sep));
    if (scheme == "rfc2217") {
      t.kind = PortTarget::Kind::Rfc2217;
    } else if (scheme == "tcp" || scheme == "socket") {
      t.kind = PortTarget::Kind::Tcp;
    } else {
      fail(error, "unknown scheme " + quoted(scheme) + " (use rfc2217://, tcp:// or socket://)");
      return std::nullopt;
    }
    if (!parseHostPort(text, text.substr(sep + 3), &t, error)) return std::nullopt;
    return t;
  }
  if (text.front() == '/' || text.rfind("\\\\", 0) == 0) {
    t.kind = PortTarget::Kind::Device;
    t.path = std::string(text);
    return t;
  }
  if (const auto n = systemPortNumber(text)) {
    t.kind = PortTarget::Kind::SystemPort;
    t.name = "COM" + std::to_string(*n);
    return t;
  }
  fail(error,
       "unknown port " + quoted(text) +
           ": use rfc2217://host:port, tcp://host:port, a device path or a name such as COM17");
  return std::nullopt;
}

std::optional<PortTarget> lookupPortTarget(int n, const std::string& programFolder,
                                           std::string* error) {
  const std::string key = "COM" + std::to_string(n);
  if (n < 1) {
    fail(error, key + " is not a port");
    return std::nullopt;
  }
  const std::string value = Read_Ini("ports", key, joinPath(programFolder, "config.ini"));
  if (!value.empty()) {
    std::string why;
    auto t = parsePortTarget(value, &why);
    if (!t) fail(error, "config.ini [ports] " + key + ": " + why);
    return t;
  }
  PortTarget t;
  const std::string link = portLinkPath(n, programFolder);
  if (!link.empty()) {
    t.kind = PortTarget::Kind::Device;
    t.path = link;
  } else {
    t.name = key;
  }
  return t;
}

std::string portTargetDevice(const PortTarget& target) {
  switch (target.kind) {
    case PortTarget::Kind::SystemPort:
      return systemPortDevice(target.systemPortNumber());
    case PortTarget::Kind::Device:
      return target.path;
    default:
      return {};
  }
}

std::string describePortTarget(const PortTarget& target, const std::string& programFolder) {
  switch (target.kind) {
    case PortTarget::Kind::Rfc2217:
      return target.text() + " (device server, RFC 2217: the panel sets 28800,E,8,1)";
    case PortTarget::Kind::Tcp:
      return target.text() + " (device server, raw TCP: the server sets the line)";
    default:
      break;
  }
  const std::string device = portTargetDevice(target);
  const std::string label = deviceLabel(device, programFolder);
  return devicePresent(device) ? label : label + " (not present)";
}

std::string describeComPort(int n, const std::string& programFolder) {
  std::string error;
  const auto target = lookupPortTarget(n, programFolder, &error);
  return target ? describePortTarget(*target, programFolder) : error;
}

}  // namespace kp
