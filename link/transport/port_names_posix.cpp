// COMn on Linux and other POSIX systems.
#include "link/transport/port_names.h"

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

bool entryExists(const std::string& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() != fs::file_type::not_found && !ec;
}

}  // namespace

std::string systemPortDevice(int n) {
  if (n < 1) return {};
  return "/dev/ttyS" + std::to_string(n - 1);
}

std::string portLinkPath(int n, const std::string& programFolder) {
  if (n < 1) return {};
  const std::string link = linkPath(n, programFolder);
  return entryExists(link) ? link : std::string();
}

std::string portDevice(int n, const std::string& programFolder) {
  const std::string link = portLinkPath(n, programFolder);
  return link.empty() ? systemPortDevice(n) : link;
}

std::string deviceIdentity(const std::string& device) {
  std::error_code ec;
  const fs::path real = fs::weakly_canonical(device, ec);
  return ec ? device : real.string();
}

bool devicePresent(const std::string& device) {
  std::error_code ec;
  return fs::exists(device, ec) && !ec;
}

std::string deviceLabel(const std::string& device, const std::string& programFolder) {
  const fs::path path(device);
  const fs::path ports = fs::path(joinPath(programFolder, "ports"));
  if (path.parent_path() != ports) return device;
  std::string text = "ports/" + path.filename().string();
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(path, ec))) {
    const fs::path target = fs::read_symlink(path, ec);
    if (!ec) text += " \xE2\x86\x92 " + target.string();  // an arrow, in UTF-8
  }
  return text;
}

}  // namespace kp
