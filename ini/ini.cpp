#include "ini/ini.h"

#include "ini/gbk.h"

#include <atomic>
#include <cerrno>
#include <exception>
#include <filesystem>
#include <string_view>
#include <vector>

#include "core/os_files.h"
#include "core/utf8_path.h"
#include "ini/ini_file.h"
#include "ini/ini_text.h"

namespace kp {
namespace fs = std::filesystem;
using namespace ini_file;
using namespace ini_text;

namespace {

using os::FileInfo;
using os::OpenMode;

std::atomic<IniReadHook> readHook{nullptr};

bool writeIni(const std::string& section, const std::string& key, const std::string& value,
              const std::string& path, std::string& error, bool sync) {
  std::string sec, name;
  if (!toFileName(section, sec) || sec.empty() || hasLineBreak(sec)) {
    error = "invalid section name";
    return false;
  }
  // The header and entry lines must parse back to exactly these names.
  const std::string header = "[" + sec + "]";
  if (const Parsed p = classify(header); p.kind != Parsed::Section || p.name != sec) {
    error = "invalid section name";
    return false;
  }
  if (!toFileName(key, name) || name.empty() || hasLineBreak(name)) {
    error = "invalid key name";
    return false;
  }
  const std::string entryStart = name + "=";
  if (const Parsed p = classify(entryStart); p.kind != Parsed::Key || p.name != name) {
    error = "invalid key name";
    return false;
  }
  std::string val = utf8ToGbk(value);
  if (hasLineBreak(val)) {
    error = "value contains a line break";
    return false;
  }
  val.resize(cutValue(val).size());
  // With its value too: a key opening with '[' and a value holding ']'
  // would read back as a section header and take the following keys.
  const std::string entry = entryStart + val;
  if (const Parsed p = classify(entry); p.kind != Parsed::Key || p.name != name) {
    error = "invalid key name";
    return false;
  }

  fs::path target = pathFromUtf8(path);
  if (target.empty()) {
    error = reason(ENOENT);
    return false;
  }
  if (!resolveLinks(target, error)) return false;

  std::string text;
  FileInfo info{};
  const Load load = loadFile(target, text, info, error);
  if (load == Load::Failed) return false;
  const bool existed = load == Load::Ok;
  // Renaming would sidestep a read-only file; honour it as a refusal.
  if (existed && !os::isWritable(target)) {
    error = reason(errno);
    return false;
  }

  const std::string_view eol = detectLineEnd(text);
  const std::vector<Line> lines = splitLines(text);
  const Location loc = locate(text, lines, sec, name);

  std::string out;
  out.reserve(text.size() + header.size() + entry.size() + 6);
  if (loc.key >= 0) {
    const Line& l = lines[static_cast<std::size_t>(loc.key)];
    out.append(text, 0, l.begin).append(entry).append(text, l.end);
  } else if (loc.section >= 0) {
    const Line& l = lines[static_cast<std::size_t>(loc.lastEntry)];
    out.append(text, 0, l.next);
    if (text[l.next - 1] != '\n')  // last line of the file, without a line end
      out.append(closingLineEnd(text, eol));
    out.append(entry).append(eol).append(text, l.next);
  } else {
    out = text;
    if (!out.empty() && out.back() != '\n') out.append(closingLineEnd(text, eol));
    out.append(header).append(eol).append(entry).append(eol);
  }
  if (existed && out == text) return true;  // nothing changes; spare the disk a rewrite
  if (!sync) return rewriteInPlace(target, out, error);
  return replaceFile(target, out, existed ? &info : nullptr, error, sync);
}

}  // namespace

std::string Read_Ini_Text(std::string_view fileBytes, const std::string& section,
                          const std::string& key) {
  try {
    std::string sec, name;
    if (!toFileName(section, sec) || !toFileName(key, name)) return {};
    std::string_view v = findValue(fileBytes, sec, name);
    if (v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\''))
      v = v.substr(1, v.size() - 2);
    v = cutValue(v);
    // What the platform call hands back is a C string, and callers get it
    // without its surrounding spaces: a quoted " x " reads as "x".
    v = v.substr(0, v.find('\0'));
    const auto first = v.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    v = v.substr(first, v.find_last_not_of(' ') - first + 1);
    return gbkToUtf8(v);
  } catch (...) {
    return {};
  }
}

std::string Read_Ini(const std::string& section, const std::string& key, const std::string& path) {
  try {
    if (const IniReadHook hook = readHook.load())
      if (std::optional<std::string> held = hook(section, key, path)) return std::move(*held);
    std::string text, error;
    FileInfo info{};
    if (loadFile(pathFromUtf8(path), text, info, error) != Load::Ok) return {};
    return Read_Ini_Text(text, section, key);
  } catch (...) {
    return {};
  }
}

std::vector<std::string> Ini_Keys(const std::string& section, const std::string& path) {
  std::vector<std::string> keys;
  try {
    std::string sec, text, error;
    FileInfo info{};
    if (!toFileName(section, sec) || loadFile(pathFromUtf8(path), text, info, error) != Load::Ok)
      return keys;
    bool inSection = false;
    for (const Line& l : splitLines(text)) {
      const Parsed p = classify(std::string_view(text).substr(l.begin, l.end - l.begin));
      if (p.kind == Parsed::Section) {
        if (inSection) break;
        inSection = sameName(p.name, sec);
      } else if (inSection && p.kind == Parsed::Key && !p.name.empty()) {
        keys.push_back(gbkToUtf8(p.name));
      }
    }
  } catch (...) {
    keys.clear();
  }
  return keys;
}

void setIniReadHook(IniReadHook hook) { readHook.store(hook); }

bool Write_Ini(const std::string& section, const std::string& key, const std::string& value,
               const std::string& path, std::string* error) {
  return Write_Ini(section, key, value, path, error, IniDurability::Synced);
}

bool Write_Ini(const std::string& section, const std::string& key, const std::string& value,
               const std::string& path, std::string* error, IniDurability durability) {
  std::string why;
  bool ok = false;
  try {
    ok = writeIni(section, key, value, path, why, durability == IniDurability::Synced);
  } catch (const std::exception& e) {
    why = e.what();
  } catch (...) {
    why = "unexpected error";
  }
  if (!ok && error) {
    try {
      *error = why.empty() ? "unknown error" : why;
    } catch (...) {
    }
  }
  return ok;
}

bool Write_Ini(const std::string& section, const std::string& key, const std::string& value,
               const std::string& path) {
  return Write_Ini(section, key, value, path, nullptr);
}

bool Sync_Ini(const std::string& path, std::string* error) {
  try {
    const fs::path target = pathFromUtf8(path);
    Descriptor fd(os::openFile(target, OpenMode::Sync));
    if (fd.get() < 0 || os::syncFile(fd.get()) != 0) {
      if (error) *error = reason(errno);
      return false;
    }
    os::syncFolder(target.parent_path());
    return true;
  } catch (...) {
    if (error) *error = "unexpected error";
    return false;
  }
}

}  // namespace kp
