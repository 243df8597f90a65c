#pragma once

// Settings files in the classic private-profile format:
//
//   [section]
//   key=value
//
// Files on disk are GBK (code page 936) whatever the locale; every argument
// and result here is UTF-8, paths included. Section and key names match with
// ASCII letters case-insensitive; the first matching section, and the first
// matching key in it, win. Nothing is cached: each call reads, or rewrites,
// the whole file, so hand edits are seen at the next read.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kp {

// Longest value stored or returned, in GBK bytes; longer values are cut
// without splitting a double-byte character.
inline constexpr std::size_t kIniMaxValueBytes = 2047;

// The value of key in section, with one pair of enclosing quotes ("..." or
// '...') removed and blanks around it dropped, cut at its first NUL and with
// the spaces around what is left removed. A missing file, section or key
// reads as "". Never throws and never fails: unreadable, huge or binary files
// simply read as missing.
std::string Read_Ini(const std::string& section, const std::string& key, const std::string& path);

// Read_Ini on a file's bytes already in memory.
std::string Read_Ini_Text(std::string_view fileBytes, const std::string& section,
                          const std::string& key);

// The names of the keys in section (the first that matches), in file order;
// empty when the file or the section is missing or unreadable.
std::vector<std::string> Ini_Keys(const std::string& section, const std::string& path);

// Answers reads of the files it holds, before Read_Ini goes to the disk; it
// returns nullopt for any other file. A fuzz target whose files never change
// under the program sets one, so that an input costs neither system calls nor
// the parsing of the same file hundreds of times. Write_Ini always goes to
// the disk.
using IniReadHook = std::optional<std::string> (*)(const std::string& section,
                                                   const std::string& key, const std::string& path);
void setIniReadHook(IniReadHook hook);

// Sets key=value in section, appending the key after the section's last entry
// or a new section at the end of the file, and creating the file if needed.
// All other bytes of the file are kept, line ends included (a new file gets
// CRLF). The file is replaced atomically (temporary file in the same folder,
// fsync, rename), so on any failure the old file stays as it was and false is
// returned; a symbolic link is written through, and permission bits are kept.
// Never throws.
bool Write_Ini(const std::string& section, const std::string& key, const std::string& value,
               const std::string& path);

// As above; on failure, when error is not null, stores a short human-readable
// reason such as "Permission denied" (without the file name) for messages like
// "cannot save FILE: reason". error is left untouched on success.
bool Write_Ini(const std::string& section, const std::string& key, const std::string& value,
               const std::string& path, std::string* error);

// Synced: the file is replaced atomically and is on the disk when the call
// returns. WorkingCopy: the file is rewritten in place and not synced; only
// for a private copy that many writes fill and that then replaces the real
// file in one step (after Sync_Ini), as a preset save does.
enum class IniDurability { Synced, WorkingCopy };

bool Write_Ini(const std::string& section, const std::string& key, const std::string& value,
               const std::string& path, std::string* error, IniDurability durability);

// Makes a file and its name durable on the disk.
bool Sync_Ini(const std::string& path, std::string* error);

}  // namespace kp
