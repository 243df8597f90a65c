#include "core/fresh_file.h"

#include <cerrno>
#include <chrono>
#include <random>
#include <system_error>

#include "core/os_files.h"
#include "core/utf8_path.h"

namespace kp {

namespace {

constexpr int kTries = 100;

// The system's random source, or the clock where it has none.
std::uint32_t systemRandom() {
  try {
    static std::random_device rd;
    return rd();
  } catch (const std::exception&) {
    static std::mt19937 fallback(static_cast<std::uint32_t>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^ os::processId()));
    return fallback();
  }
}

}  // namespace

std::optional<std::filesystem::path> claimFreshFile(const std::filesystem::path& target,
                                                    std::string* error,
                                                    const std::function<std::uint32_t()>& random) {
  const std::string stem =
      "." + utf8FromPath(target.filename()) + ".ctl-" + std::to_string(os::processId()) + "-";
  for (int i = 0; i < kTries; ++i) {
    const std::uint32_t n = random ? random() : systemRandom();
    const std::filesystem::path fresh =
        target.parent_path() / pathFromUtf8(stem + std::to_string(n % 1000000));
    const int fd = os::openFile(fresh, os::OpenMode::CreateNew);
    if (fd >= 0) {
      os::closeFile(fd);
      return fresh;
    }
    if (errno != EEXIST) {
      *error = "cannot create a file beside " + utf8FromPath(target) + ": " +
               std::generic_category().message(errno);
      return std::nullopt;
    }
  }
  *error = "no free name for a file beside " + utf8FromPath(target);
  return std::nullopt;
}

}  // namespace kp
