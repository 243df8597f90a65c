// File operations on POSIX systems.
#include "core/os_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "core/utf8_path.h"

namespace kp::os {

namespace fs = std::filesystem;

int openFile(const fs::path& path, OpenMode mode) {
  int flags = O_CLOEXEC | O_NOCTTY;
  switch (mode) {
    // O_NONBLOCK only matters for FIFOs and devices, which are then refused.
    case OpenMode::Read:
      flags |= O_RDONLY | O_NONBLOCK;
      break;
    case OpenMode::CreateNew:
      flags |= O_WRONLY | O_CREAT | O_EXCL;
      break;
    case OpenMode::Rewrite:
      flags |= O_WRONLY | O_CREAT;
      break;
    case OpenMode::Sync:
      flags |= O_RDONLY;
      break;
  }
  return ::open(path.c_str(), flags, 0666);
}

bool statFile(int fd, FileInfo& info) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  info.regular = S_ISREG(st.st_mode);
  info.directory = S_ISDIR(st.st_mode);
  info.size = static_cast<std::uint64_t>(st.st_size);
  info.mode = static_cast<std::uint32_t>(st.st_mode & 07777);
  info.owner = st.st_uid;
  info.group = st.st_gid;
  return true;
}

long long readFile(int fd, char* buffer, std::size_t n) { return ::read(fd, buffer, n); }
long long writeFile(int fd, const char* data, std::size_t n) { return ::write(fd, data, n); }
int truncateFile(int fd, std::size_t n) { return ::ftruncate(fd, static_cast<off_t>(n)); }
int syncFile(int fd) { return ::fsync(fd); }
int closeFile(int fd) { return ::close(fd); }

bool isWritable(const fs::path& path) { return ::access(path.c_str(), W_OK) == 0; }

void keepOwnerAndMode(int fd, const FileInfo& previous) {
  // Ownership is best effort: only root or the owner may hand it over.
  if (previous.owner >= 0 &&
      ::fchown(fd, static_cast<uid_t>(previous.owner), static_cast<gid_t>(previous.group)) != 0) {
  }
  ::fchmod(fd, static_cast<mode_t>(previous.mode));
}

bool replaceFile(const fs::path& from, const fs::path& to, bool durable, std::string& error) {
  if (::rename(from.c_str(), to.c_str()) != 0) {
    error = std::generic_category().message(errno);
    return false;
  }
  if (durable) syncFolder(to.parent_path());
  return true;
}

void syncFolder(const fs::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_CLOEXEC | O_DIRECTORY);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

bool removeFile(const fs::path& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

unsigned long processId() { return static_cast<unsigned long>(::getpid()); }

std::string systemErrorText(unsigned long code) {
  return std::generic_category().message(static_cast<int>(code));
}

FileLock::FileLock(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) return;
  handle_ = fd;
  locked_ = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

FileLock::~FileLock() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

bool FileLock::setContent(std::string_view data, const FileInfo* like) {
  const int fd = static_cast<int>(handle_);
  if (fd < 0) return false;
  if (like) keepOwnerAndMode(fd, *like);
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n =
        ::pwrite(fd, data.data() + done, data.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return ::ftruncate(fd, static_cast<off_t>(data.size())) == 0;
}

std::string userDataFolder(const std::string& name) {
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
    return utf8FromPath(fs::path(xdg) / name);
  const char* home = std::getenv("HOME");
  if (!home || !*home) return {};
  return utf8FromPath(fs::path(home) / ".local" / "share" / name);
}

}  // namespace kp::os
