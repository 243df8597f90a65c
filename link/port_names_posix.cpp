// COMn on Linux and other POSIX systems.
#include "link/port_names.h"

#include <filesystem>
#include <system_error>

#include "core/state.h"

namespace kp {

namespace fs = std::filesystem;

namespace {

std::string linkName(int n) { return "com" + std::to_string(n); }

std::string linkPath(int n, const std::string& programFolder) {
  return joinPath(joinPath(programFolder, "ports"), linkName(n));
}

// The entry itself, not its target: a dangling link is still the operator's
// choice, and opening it reports the missing device instead of quietly
// falling back to a serial port they did not pick.
bool entryExists(const std::string& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() != fs::file_type::not_found && !ec;
}

bool targetExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec) && !ec;
}

}  // namespace

std::string portDevice(int n, const std::string& programFolder) {
  if (n < 1) return {};
  const std::string link = linkPath(n, programFolder);
  if (entryExists(link)) return link;
  return "/dev/ttyS" + std::to_string(n - 1);
}

std::string describePortDevice(int n, const std::string& programFolder) {
  if (n < 1) return "COM" + std::to_string(n) + " (no such port)";
  const std::string device = portDevice(n, programFolder);
  const char* const missing = " (not present)";
  const std::string link = linkPath(n, programFolder);
  if (device != link) return targetExists(device) ? device : device + missing;

  std::string text = "ports/" + linkName(n);
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(link, ec))) {
    const fs::path target = fs::read_symlink(link, ec);
    if (!ec) text += " \xE2\x86\x92 " + target.string();  // an arrow, in UTF-8
  }
  return targetExists(link) ? text : text + missing;
}

}  // namespace kp
