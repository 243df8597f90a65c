#pragma once
// The INI layer's way to the disk: a whole file read at once, and the two ways
// a write lands (a synced replace through a temporary file, or a working copy
// rewritten in place). Private to ini/; failures come back as a short reason.

#include <filesystem>
#include <string>
#include <string_view>

#include "core/os_files.h"

namespace kp::ini_file {

// The system's words for an errno value.
std::string reason(int err);

// Owns a file descriptor and closes it, unless released.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { reset(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset() {
    if (fd_ >= 0) os::closeFile(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

enum class Load { Ok, Missing, Failed };

// The whole file. Missing is only for a file that does not exist; anything
// else that stops the read, a file too big to be ours included, is Failed.
Load loadFile(const std::filesystem::path& path, std::string& text, os::FileInfo& info,
              std::string& error);

// The file that path names once symbolic links are followed.
bool resolveLinks(std::filesystem::path& path, std::string& error);

// Puts data in the place of target in one step: a crash leaves either the old
// file or the new one. previous, when the file existed, gives the replacement
// its owner and permission bits; with sync, it is on the disk on return.
bool replaceFile(const std::filesystem::path& target, std::string_view data,
                 const os::FileInfo* previous, std::string& error, bool sync);

// Overwrites a working copy that only its writer reads, unsynced.
bool rewriteInPlace(const std::filesystem::path& target, std::string_view data, std::string& error);

}  // namespace kp::ini_file
