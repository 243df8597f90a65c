// File operations on Windows: the wide-character calls, so that names in
// any language work whatever the system's code page.
#include "core/os_files.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "core/utf8_path.h"

namespace kp::os {

namespace fs = std::filesystem;

namespace {

HANDLE asHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

// The errno value the C runtime gives the same failure, for callers that
// report errno.
int errnoFor(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    default:
      return EIO;
  }
}

}  // namespace

std::string systemErrorText(unsigned long code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring w = n && text ? std::wstring(text, n) : std::wstring();
  if (text) LocalFree(text);
  while (!w.empty() &&
         (w.back() == L'\n' || w.back() == L'\r' || w.back() == L' ' || w.back() == L'.'))
    w.pop_back();
  if (w.empty()) return "error " + std::to_string(code);
  return utf8FromPath(fs::path(w));
}

int openFile(const fs::path& path, OpenMode mode) {
  int flags = _O_BINARY | _O_NOINHERIT;
  switch (mode) {
    case OpenMode::Read:
      flags |= _O_RDONLY;
      break;
    case OpenMode::CreateNew:
      flags |= _O_WRONLY | _O_CREAT | _O_EXCL;
      break;
    case OpenMode::Rewrite:
      flags |= _O_WRONLY | _O_CREAT;
      break;
    // FlushFileBuffers needs a handle with write access.
    case OpenMode::Sync:
      flags |= _O_RDWR;
      break;
  }
  return _wopen(path.c_str(), flags, _S_IREAD | _S_IWRITE);
}

bool statFile(int fd, FileInfo& info) {
  struct _stat64 st {};
  if (_fstat64(fd, &st) != 0) return false;
  info.regular = (st.st_mode & _S_IFMT) == _S_IFREG;
  info.directory = (st.st_mode & _S_IFMT) == _S_IFDIR;
  info.size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

long long readFile(int fd, char* buffer, std::size_t n) {
  return _read(fd, buffer, static_cast<unsigned>(std::min<std::size_t>(n, 1u << 30)));
}
long long writeFile(int fd, const char* data, std::size_t n) {
  return _write(fd, data, static_cast<unsigned>(std::min<std::size_t>(n, 1u << 30)));
}
int truncateFile(int fd, std::size_t n) {
  const errno_t e = _chsize_s(fd, static_cast<long long>(n));
  if (e != 0) errno = e;
  return e == 0 ? 0 : -1;
}
// _commit is FlushFileBuffers: the data and the file's size reach the disk.
int syncFile(int fd) { return _commit(fd); }
int closeFile(int fd) { return _close(fd); }

bool isWritable(const fs::path& path) { return _waccess(path.c_str(), 2) == 0; }

// Windows files carry no owner or permission bits of ours to keep; a
// replacement made by this user belongs to this user.
void keepOwnerAndMode(int, const FileInfo&) {}

bool replaceFile(const fs::path& from, const fs::path& to, bool durable, std::string& error) {
  // MoveFileEx replaces an existing file in one step. Anti-virus scanners,
  // the search indexer and backup agents open a fresh file for a moment, so
  // a rename refused with access denied or a sharing violation is tried
  // again for about a second before the refusal counts.
  DWORD flags = MOVEFILE_REPLACE_EXISTING;
  if (durable) flags |= MOVEFILE_WRITE_THROUGH;
  DWORD pauseMs = 10;
  for (DWORD waited = 0;; waited += pauseMs, pauseMs *= 2) {
    if (MoveFileExW(from.c_str(), to.c_str(), flags)) break;
    const DWORD code = GetLastError();
    const bool transient = code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION;
    if (!transient || waited >= 1000) {
      error = systemErrorText(code);
      errno = errnoFor(code);
      return false;
    }
    Sleep(pauseMs);
  }
  // Write-through promises a flush only for a move that copies; the folder
  // entry of a rename is flushed apart.
  if (durable) syncFolder(to.parent_path());
  return true;
}

// Best effort: flushing a folder needs a handle opened for backup semantics,
// and not every file system takes it.
void syncFolder(const fs::path& folder) {
  const HANDLE h = CreateFileW(folder.empty() ? L"." : folder.c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  FlushFileBuffers(h);
  CloseHandle(h);
}

bool removeFile(const fs::path& path) {
  if (DeleteFileW(path.c_str())) return true;
  DWORD code = GetLastError();
  if (code == ERROR_FILE_NOT_FOUND) return true;
  // A read-only file must lose the attribute before it can go.
  if (code == ERROR_ACCESS_DENIED && SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL))
    return DeleteFileW(path.c_str()) != 0;
  return false;
}

unsigned long processId() { return static_cast<unsigned long>(GetCurrentProcessId()); }

namespace {
// The lock covers one byte far past any content, so that it never stands in
// the way of reading or writing the file through another handle.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;
constexpr DWORD kLockOffsetLow = 0xFFFFFFF0;
}  // namespace

FileLock::FileLock(const fs::path& path) {
  // Shared for deletion too, so the locked file can be renamed into place.
  const HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    errno = errnoFor(GetLastError());
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(h);
  OVERLAPPED where{};
  where.Offset = kLockOffsetLow;
  where.OffsetHigh = kLockOffsetHigh;
  locked_ =
      LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &where) != 0;
}

FileLock::~FileLock() {
  if (handle_ != -1) CloseHandle(asHandle(handle_));
}

bool FileLock::setContent(std::string_view data, const FileInfo*) {
  const HANDLE h = asHandle(handle_);
  if (handle_ == -1) return false;
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(h, start, nullptr, FILE_BEGIN)) {
    errno = errnoFor(GetLastError());
    return false;
  }
  std::size_t done = 0;
  while (done < data.size()) {
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 30));
    if (!WriteFile(h, data.data() + done, chunk, &n, nullptr) || n == 0) {
      errno = errnoFor(GetLastError());
      return false;
    }
    done += n;
  }
  if (SetEndOfFile(h)) return true;
  errno = errnoFor(GetLastError());
  return false;
}

std::string userDataFolder(const std::string& name) {
  const wchar_t* appData = _wgetenv(L"APPDATA");
  if (!appData || !*appData) return {};
  return utf8FromPath(fs::path(appData) / pathFromUtf8(name));
}

}  // namespace kp::os
