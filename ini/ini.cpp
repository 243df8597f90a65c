#include "ini/ini.h"

#include "ini/gbk.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/os_files.h"
#include "core/utf8_path.h"

namespace kp {
namespace fs = std::filesystem;

namespace {

// Settings files are a few kilobytes; anything this big is not one of ours,
// and refusing it keeps a stray path from eating memory.
constexpr std::uintmax_t kMaxFileBytes = 32u << 20;

std::string reason(int err) { return std::generic_category().message(err); }

using os::FileInfo;
using os::OpenMode;

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset()
    {
        if (fd_ >= 0)
            os::closeFile(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

enum class Load { Ok, Missing, Failed };

// Reads the whole file as bytes; on Ok, info describes it.
Load loadFile(const fs::path& path, std::string& text, FileInfo& info, std::string& error)
{
    Descriptor fd(os::openFile(path, OpenMode::Read));
    if (fd.get() < 0) {
        const int err = errno;
        if (err == ENOENT)
            return Load::Missing;
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
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = reason(errno);
            return Load::Failed;
        }
        if (n == 0)
            return Load::Ok;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > kMaxFileBytes) { // grew while we read
            error = "file too large";
            return Load::Failed;
        }
    }
}

bool writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const long long n = os::writeFile(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Follows symbolic links so the write replaces the file the link names,
// not the link. A dangling link yields its (to be created) target.
bool resolveLinks(fs::path& path, std::string& error)
{
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        const auto st = fs::symlink_status(path, ec);
        if (!fs::is_symlink(st))
            return true; // missing files and stat errors surface later, with a reason
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

std::string uniqueSuffix()
{
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t x = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())
                      ^ (static_cast<std::uint64_t>(os::processId()) << 32) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    x ^= x >> 31; // splitmix finaliser
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
int createTemporary(const fs::path& target, fs::path& temp)
{
    bool shortName = false;
    for (int attempt = 0; attempt < 64; ++attempt) {
        fs::path name = shortName ? fs::path(".ini") : fs::path(".") += target.filename();
        name += "." + uniqueSuffix() + ".tmp";
        temp = target.parent_path() / name;
        const int fd = os::openFile(temp, OpenMode::CreateNew);
        if (fd >= 0)
            return fd;
        if (errno == ENAMETOOLONG && !shortName)
            shortName = true;
        else if (errno != EEXIST)
            return -1;
    }
    errno = EEXIST;
    return -1;
}

// Writes data to a temporary file, syncs it and renames it over target, so a
// crash leaves either the old file or the new one, never a mix.
bool replaceFile(const fs::path& target, std::string_view data, const FileInfo* previous, std::string& error,
                 bool sync)
{
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
    if (previous)
        os::keepOwnerAndMode(fd.get(), *previous);
    if (!writeAll(fd.get(), data) || (sync && os::syncFile(fd.get()) != 0))
        return discard(errno);
    if (os::closeFile(fd.release()) != 0)
        return discard(errno);
    if (!os::replaceFile(temp, target, sync, error)) {
        os::removeFile(temp);
        return false;
    }
    return true;
}

// A working copy that only its writer reads: overwritten from the start and
// cut to length, never truncated to nothing first (which would make some file
// systems flush it at every write).
bool rewriteInPlace(const fs::path& target, std::string_view data, std::string& error)
{
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

// --- Parsing. Files are handled as GBK bytes; a trail byte of a double-byte
// --- character may equal '[', ']' or an ASCII letter, so scans step by character.

std::string_view trimBlanks(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size();) {
        if (gbk::charLength(a, i) == 2) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
            i += 2;
        } else {
            if (asciiLower(a[i]) != asciiLower(b[i]))
                return false;
            ++i;
        }
    }
    return true;
}

// Longest prefix of at most max bytes that ends on a character boundary.
std::string_view cutValue(std::string_view s, std::size_t max = kIniMaxValueBytes)
{
    std::size_t end = 0;
    while (end < s.size()) {
        const std::size_t len = gbk::charLength(s, end);
        if (end + len > max)
            break;
        end += len;
    }
    return s.substr(0, end);
}

struct Line {
    std::size_t begin; // content is [begin, end)
    std::size_t end;   // line end (CRLF or LF) is [end, next)
    std::size_t next;
};

std::vector<Line> splitLines(std::string_view text)
{
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t nl = text.find('\n', pos);
        const std::size_t next = nl == std::string_view::npos ? text.size() : nl + 1;
        std::size_t end = nl == std::string_view::npos ? text.size() : nl;
        if (end > pos && text[end - 1] == '\r')
            --end;
        lines.push_back({pos, end, next});
        pos = next;
    }
    return lines;
}

struct Parsed {
    enum Kind { Other, Section, Key } kind = Other;
    std::string_view name;
    std::string_view value;
};

Parsed classify(std::string_view content)
{
    const std::string_view t = trimBlanks(content);
    if (!t.empty() && t.front() == '[') {
        for (std::size_t i = 1; i < t.size(); i += gbk::charLength(t, i))
            if (t[i] == ']')
                return {Parsed::Section, trimBlanks(t.substr(1, i - 1)), {}};
    }
    const std::size_t eq = t.find('='); // '=' is never a trail byte
    if (eq == std::string_view::npos)
        return {};
    return {Parsed::Key, trimBlanks(t.substr(0, eq)), trimBlanks(t.substr(eq + 1))};
}

struct Location {
    std::ptrdiff_t section = -1;
    std::ptrdiff_t key = -1;
    std::ptrdiff_t lastEntry = -1; // last non-blank line of the section
    std::string_view value;
};

Location locate(std::string_view text, const std::vector<Line>& lines, std::string_view section,
                std::string_view key)
{
    Location loc;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view content = text.substr(lines[i].begin, lines[i].end - lines[i].begin);
        const Parsed p = classify(content);
        const auto index = static_cast<std::ptrdiff_t>(i);
        if (loc.section < 0) {
            if (p.kind == Parsed::Section && sameName(p.name, section))
                loc.section = loc.lastEntry = index;
            continue;
        }
        if (p.kind == Parsed::Section)
            break;
        if (!trimBlanks(content).empty())
            loc.lastEntry = index;
        if (p.kind == Parsed::Key && sameName(p.name, key)) {
            loc.key = index;
            loc.value = p.value;
            break;
        }
    }
    return loc;
}

// The value of key in section, as locate() finds it, without splitting the
// whole file first: a read is done at the key's line. Only lines that can
// matter are parsed: section headers, and in the section the lines whose
// first character is the key's.
std::string_view findValue(std::string_view text, std::string_view section, std::string_view key)
{
    const char keyStart = key.empty() ? '\0' : asciiLower(key.front());
    bool inSection = false;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t nl = text.find('\n', pos);
        std::size_t end = nl == std::string_view::npos ? text.size() : nl;
        const std::size_t next = nl == std::string_view::npos ? text.size() : nl + 1;
        std::size_t first = pos;
        while (first < end && (text[first] == ' ' || text[first] == '\t'))
            ++first;
        const bool candidate = first < end &&
                               (text[first] == '[' || (inSection && (key.empty() || asciiLower(text[first]) == keyStart)));
        const std::size_t begin = pos;
        pos = next;
        if (!candidate)
            continue;
        if (end > begin && text[end - 1] == '\r')
            --end;
        const Parsed p = classify(text.substr(begin, end - begin));
        if (p.kind == Parsed::Section) {
            if (inSection)
                break;
            inSection = sameName(p.name, section);
        } else if (inSection && p.kind == Parsed::Key && sameName(p.name, key)) {
            return p.value;
        }
    }
    return {};
}

std::atomic<IniReadHook> readHook{nullptr};

// A name is usable only if GBK holds it exactly; a lossy '?' could alias
// another entry.
bool toFileName(const std::string& utf8, std::string& out)
{
    out = utf8ToGbk(utf8);
    if (gbkToUtf8(out) != utf8)
        return false;
    out = std::string(trimBlanks(out));
    return true;
}

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

std::string_view detectLineEnd(std::string_view text)
{
    const std::size_t nl = text.find('\n');
    if (nl != std::string_view::npos && (nl == 0 || text[nl - 1] != '\r'))
        return "\n";
    return "\r\n";
}

// What ends an unterminated last line; a stray CR there already starts a CRLF.
std::string_view closingLineEnd(std::string_view text, std::string_view eol)
{
    return !text.empty() && text.back() == '\r' ? std::string_view("\n") : eol;
}

bool writeIni(const std::string& section, const std::string& key, const std::string& value,
              const std::string& path, std::string& error, bool sync)
{
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
    if (!resolveLinks(target, error))
        return false;

    std::string text;
    FileInfo info{};
    const Load load = loadFile(target, text, info, error);
    if (load == Load::Failed)
        return false;
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
        if (text[l.next - 1] != '\n') // last line of the file, without a line end
            out.append(closingLineEnd(text, eol));
        out.append(entry).append(eol).append(text, l.next);
    } else {
        out = text;
        if (!out.empty() && out.back() != '\n')
            out.append(closingLineEnd(text, eol));
        out.append(header).append(eol).append(entry).append(eol);
    }
    if (existed && out == text)
        return true; // nothing changes; spare the disk a rewrite
    if (!sync)
        return rewriteInPlace(target, out, error);
    return replaceFile(target, out, existed ? &info : nullptr, error, sync);
}

} // namespace

std::string Read_Ini_Text(std::string_view fileBytes, const std::string& section, const std::string& key)
{
    try {
        std::string sec, name;
        if (!toFileName(section, sec) || !toFileName(key, name))
            return {};
        std::string_view v = findValue(fileBytes, sec, name);
        if (v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\''))
            v = v.substr(1, v.size() - 2);
        v = cutValue(v);
        // What the platform call hands back is a C string, and callers get it
        // without its surrounding spaces: a quoted " x " reads as "x".
        v = v.substr(0, v.find('\0'));
        const auto first = v.find_first_not_of(' ');
        if (first == std::string_view::npos)
            return {};
        v = v.substr(first, v.find_last_not_of(' ') - first + 1);
        return gbkToUtf8(v);
    } catch (...) {
        return {};
    }
}

std::string Read_Ini(const std::string& section, const std::string& key, const std::string& path)
{
    try {
        if (const IniReadHook hook = readHook.load())
            if (std::optional<std::string> held = hook(section, key, path))
                return std::move(*held);
        std::string text, error;
        FileInfo info{};
        if (loadFile(pathFromUtf8(path), text, info, error) != Load::Ok)
            return {};
        return Read_Ini_Text(text, section, key);
    } catch (...) {
        return {};
    }
}

std::vector<std::string> Ini_Keys(const std::string& section, const std::string& path)
{
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
                if (inSection)
                    break;
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
               const std::string& path, std::string* error)
{
    return Write_Ini(section, key, value, path, error, IniDurability::Synced);
}

bool Write_Ini(const std::string& section, const std::string& key, const std::string& value,
               const std::string& path, std::string* error, IniDurability durability)
{
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
               const std::string& path)
{
    return Write_Ini(section, key, value, path, nullptr);
}

bool Sync_Ini(const std::string& path, std::string* error)
{
    try {
        const fs::path target = pathFromUtf8(path);
        Descriptor fd(os::openFile(target, OpenMode::Sync));
        if (fd.get() < 0 || os::syncFile(fd.get()) != 0) {
            if (error)
                *error = reason(errno);
            return false;
        }
        os::syncFolder(target.parent_path());
        return true;
    } catch (...) {
        if (error)
            *error = "unexpected error";
        return false;
    }
}

} // namespace kp
