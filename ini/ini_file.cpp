#include "ini/ini_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "core/os_files.h"

namespace kp::ini_file {
namespace fs = std::filesystem;

namespace {

// Settings files are a few kilobytes; anything this big is not one of ours,
// and refusing it keeps a stray path from eating memory.
constexpr std::uintmax_t kMaxFileBytes = 32u << 20;

}  // namespace

std::string reason(int err) { return std::generic_category().message(err); }

using os::FileInfo;
using os::OpenMode;

// Reads the whole file as bytes; on Ok, info describes it.
Load loadFile(const fs::path& path, std::string& text, FileInfo& info, std::string& error) {
  Descriptor fd(os::openFile(path, OpenMode::Read));
  if (fd.get() < 0) {
    const int err = errno;
    if (err == ENOENT) return Load::Missing;
    error = reason(err);
    return Load::Failed;
  }
  if (!os::statFile(fd.get(), info)) {
    error = reason(errno);
    return Load::Failed;
  }
  if (info.directory) {
    error = reason(EISDIR);
    return Load::Failed;
  }
  if (!info.regular) {
    error = "not a regular file";
    return Load::Failed;
  }
  if (info.size > kMaxFileBytes) {
    error = "file too large";
    return Load::Failed;
  }
  text.clear();
  text.reserve(static_cast<std::size_t>(info.size));
  char buffer[64 * 1024];
  for (;;) {
    const long long n = os::readFile(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = reason(errno);
      return Load::Failed;
    }
    if (n == 0) return Load::Ok;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > kMaxFileBytes) {  // grew while we read
      error = "file too large";
      return Load::Failed;
    }
  }
}

namespace {

bool writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const long long n = os::writeFile(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

// Follows symbolic links so the write replaces the file the link names,
// not the link. A dangling link yields its (to be created) target.
bool resolveLinks(fs::path& path, std::string& error) {
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    const auto st = fs::symlink_status(path, ec);
    if (!fs::is_symlink(st))
      return true;  // missing files and stat errors surface later, with a reason
    fs::path target = fs::read_symlink(path, ec);
    if (ec) {
      error = ec.message();
      return false;
    }
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  error = reason(ELOOP);
  return false;
}

namespace {

std::string uniqueSuffix() {
  static std::atomic<std::uint64_t> counter{0};
  std::uint64_t x =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      (static_cast<std::uint64_t>(os::processId()) << 32) ^
      (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
  x ^= x >> 31;  // splitmix finaliser
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 29;
  static constexpr char kHex[] = "0123456789abcdef";
  std::string s(8, '0');
  for (char& c : s) {
    c = kHex[x & 15];
    x >>= 4;
  }
  return s;
}

// Creates an empty temporary file beside target, named so that it sorts
// next to it and is hidden from casual listings.
int createTemporary(const fs::path& target, fs::path& temp) {
  bool shortName = false;
  for (int attempt = 0; attempt < 64; ++attempt) {
    fs::path name = shortName ? fs::path(".ini") : fs::path(".") += target.filename();
    name += "." + uniqueSuffix() + ".tmp";
    temp = target.parent_path() / name;
    const int fd = os::openFile(temp, OpenMode::CreateNew);
    if (fd >= 0) return fd;
    if (errno == ENAMETOOLONG && !shortName)
      shortName = true;
    else if (errno != EEXIST)
      return -1;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

// Writes data to a temporary file, syncs it and renames it over target, so a
// crash leaves either the old file or the new one, never a mix.
bool replaceFile(const fs::path& target, std::string_view data, const FileInfo* previous,
                 std::string& error, bool sync) {
  fs::path temp;
  Descriptor fd(createTemporary(target, temp));
  if (fd.get() < 0) {
    error = reason(errno);
    return false;
  }
  const auto discard = [&](int err) {
    error = reason(err);
    fd.reset();
    os::removeFile(temp);
    return false;
  };
  if (previous) os::keepOwnerAndMode(fd.get(), *previous);
  if (!writeAll(fd.get(), data) || (sync && os::syncFile(fd.get()) != 0)) return discard(errno);
  if (os::closeFile(fd.release()) != 0) return discard(errno);
  if (!os::replaceFile(temp, target, sync, error)) {
    os::removeFile(temp);
    return false;
  }
  return true;
}

// A working copy that only its writer reads: overwritten from the start and
// cut to length, never truncated to nothing first (which would make some file
// systems flush it at every write).
bool rewriteInPlace(const fs::path& target, std::string_view data, std::string& error) {
  Descriptor fd(os::openFile(target, OpenMode::Rewrite));
  if (fd.get() < 0 || !writeAll(fd.get(), data) || os::truncateFile(fd.get(), data.size()) != 0) {
    error = reason(errno);
    return false;
  }
  if (os::closeFile(fd.release()) != 0) {
    error = reason(errno);
    return false;
  }
  return true;
}

}  // namespace kp::ini_file
