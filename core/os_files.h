#pragma once
// The file operations whose details differ between Linux and Windows: plain C
// runtime descriptors (fstream can neither sync nor say why an open failed),
// replacing a file in one durable step, an advisory lock, and the folder each
// user keeps the program's files in. One implementation per platform:
// os_files_posix.cpp and os_files_windows.cpp. Paths are std::filesystem
// paths made from UTF-8 (utf8_path.h); failures leave errno set.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace kp::os {

enum class OpenMode {
  Read,       // existing file, reading; never a device or FIFO that blocks
  CreateNew,  // new file for writing; fails if the name exists
  Rewrite,    // writing, created if missing, not truncated
  Sync,       // an existing file opened only to flush it to the disk
};
int openFile(const std::filesystem::path& path, OpenMode mode);

struct FileInfo {
  bool regular = false;
  bool directory = false;
  std::uint64_t size = 0;
  // Owner and permission bits where the platform has them.
  std::uint32_t mode = 0;
  std::int64_t owner = -1;
  std::int64_t group = -1;
};
bool statFile(int fd, FileInfo& info);

long long readFile(int fd, char* buffer, std::size_t n);
long long writeFile(int fd, const char* data, std::size_t n);
int truncateFile(int fd, std::size_t n);
int syncFile(int fd);
int closeFile(int fd);

// Whether the program may write to an existing file (false with errno set
// for a read-only one).
bool isWritable(const std::filesystem::path& path);
// Gives a replacement the owner and permission bits of the file it replaces.
void keepOwnerAndMode(int fd, const FileInfo& previous);

// Puts `from` in the place of `to` in one step, replacing `to` if it exists,
// so a reader sees the old file or the new one, never a mix. With durable,
// the change has reached the disk when this returns true. On failure `error`
// says why and `from` is left where it was.
bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to, bool durable,
                 std::string& error);
// Makes the names in a folder (a rename into it) durable where that is a
// separate step.
void syncFolder(const std::filesystem::path& folder);
// Removes a file even if it is marked read-only; false if it stays.
bool removeFile(const std::filesystem::path& path);

unsigned long processId();

// The system's own words for an error code of its file and device calls
// (GetLastError() on Windows, errno elsewhere), without a closing period.
std::string systemErrorText(unsigned long code);

// An exclusive, advisory lock on a file, held while the object lives. Other
// programs may still read and write the file and rename it away; the lock
// only tells a second writer that this one is at work. The file stays.
class FileLock {
 public:
  // Opens path, creating it if needed, and tries once to lock it.
  explicit FileLock(const std::filesystem::path& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool locked() const { return locked_; }
  // Replaces the locked file's content (false with errno set on failure);
  // with `like`, the file also takes that file's owner and permission bits.
  bool setContent(std::string_view data, const FileInfo* like = nullptr);

 private:
  std::intptr_t handle_ = -1;
  bool locked_ = false;
};

// The folder where the user's own copy of the program's files lives:
// %APPDATA%\<name> on Windows, $XDG_DATA_HOME/<name> (by default
// ~/.local/share/<name>) elsewhere. Empty when the system names none.
std::string userDataFolder(const std::string& name);

}  // namespace kp::os
