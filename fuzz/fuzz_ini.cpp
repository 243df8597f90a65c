// The INI reader and writer on arbitrary file bytes and arbitrary names and
// values (UTF-8 or not).
//
// Input: flags, then length-prefixed fields, then the file's bytes:
//   flags  bit 0: no file at all (the write creates it)
//   [n] section  [n] key  [lo hi] value  [n] other section  [n] other key
//   the rest: the file
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "ini/gbk.h"
#include "ini/ini.h"

namespace kp::fuzz {
namespace {

struct Reader {
  const std::uint8_t* p;
  std::size_t n;
  std::size_t take(std::size_t k) { return std::min(k, n); }
  std::string field(std::size_t len) {
    len = take(len);
    std::string s(reinterpret_cast<const char*>(p), len);
    p += len;
    n -= len;
    return s;
  }
  std::uint8_t byte() { return n ? (--n, *p++) : 0; }
  std::string shortField() { return field(byte()); }
  std::string longField() {
    const std::size_t lo = byte();
    return field(lo | static_cast<std::size_t>(byte()) << 8);
  }
};

bool validUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t len = b < 0x80                 ? 1
                      : b >= 0xC2 && b <= 0xDF ? 2
                      : b >= 0xE0 && b <= 0xEF ? 3
                      : b >= 0xF0 && b <= 0xF4 ? 4
                                               : 0;
    if (!len || i + len > s.size()) return false;
    for (std::size_t k = 1; k < len; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += len;
  }
  return true;
}

std::string_view trimmed(std::string_view s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// A value the file holds exactly and that reads back as written.
bool readsBackAsWritten(const std::string& v) {
  const std::string g = utf8ToGbk(v);
  if (gbkToUtf8(g) != v || g.size() > kIniMaxValueBytes) return false;
  if (trimmed(v) != v || v.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
    return false;
  const bool quoted =
      v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\'');
  return !quoted;
}

// Case-insensitive for ASCII letters, as the files' names are; errs on the
// side of "same" for anything else.
bool maybeSameName(const std::string& a, const std::string& b) {
  auto fold = [](std::string s) {
    s = std::string(trimmed(utf8ToGbk(s)));
    for (char& c : s)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
  };
  return fold(a) == fold(b);
}

std::vector<std::string_view> lines(std::string_view text) {
  std::vector<std::string_view> out;
  while (!text.empty()) {
    const auto nl = text.find('\n');
    const std::size_t len = nl == std::string_view::npos ? text.size() : nl + 1;
    out.push_back(text.substr(0, len));
    text.remove_prefix(len);
  }
  return out;
}

// The write changed one entry or added its lines, and kept every other line
// byte for byte: what differs between the two files is at most one old line
// and at most three new ones (the old last line given its line end, a
// section header, the entry).
void checkOnlyTheEntryChanged(std::string_view before, std::string_view after) {
  if (before == after) return;  // the entry already read so
  const auto a = lines(before), b = lines(after);
  std::size_t head = 0;
  while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
  std::size_t tail = 0;
  while (tail < a.size() - head && tail < b.size() - head &&
         a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
    ++tail;
  const std::size_t oldChanged = a.size() - head - tail, newChanged = b.size() - head - tail;
  FUZZ_CHECK(oldChanged <= 1 && newChanged >= 1 && newChanged <= 3,
             "the write changed %zu old lines into %zu new ones", oldChanged, newChanged);
  if (oldChanged == 1 && newChanged > 1) {
    // Only an unterminated last line is carried over, gaining its line end.
    const std::string_view old = a[head];
    FUZZ_CHECK(head + 1 == a.size() && old.back() != '\n' && b[head].substr(0, old.size()) == old,
               "a line other than the entry was rewritten");
  }
}

}  // namespace
}  // namespace kp::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kp;
  using namespace kp::fuzz;
  Reader in{data, size};
  const std::uint8_t flags = in.byte();
  const std::string section = in.shortField(), key = in.shortField(), value = in.longField();
  const std::string section2 = in.shortField(), key2 = in.shortField();
  const std::string file = in.field(in.n);

  const Scratch& scratch = Scratch::get();
  scratch.reset();
  const std::string path = scratch.file("t.ini");
  const bool exists = !(flags & 1);
  if (exists)
    scratch.write("t.ini", file);
  else
    scratch.remove("t.ini");

  const std::string before = exists ? scratch.read("t.ini") : std::string();
  const std::string old = Read_Ini(section, key, path);
  const std::string other = Read_Ini(section2, key2, path);
  FUZZ_CHECK(validUtf8(old) && validUtf8(other), "Read_Ini returned malformed UTF-8");

  std::string error;
  const bool ok = Write_Ini(section, key, value, path, &error);
  FUZZ_CHECK(scratch.strayFiles({"t.ini"}).empty(), "the write left %s behind",
             scratch.strayFiles({"t.ini"}).c_str());
  if (!ok) {
    FUZZ_CHECK(!error.empty(), "a failed write gives no reason");
    if (exists)
      FUZZ_CHECK(scratch.read("t.ini") == before, "a failed write (%s) changed the file",
                 error.c_str());
    return 0;
  }
  const std::string after = scratch.read("t.ini");
  checkOnlyTheEntryChanged(before, after);

  const std::string back = Read_Ini(section, key, path);
  FUZZ_CHECK(validUtf8(back), "Read_Ini returned malformed UTF-8");
  if (readsBackAsWritten(value))
    FUZZ_CHECK(back == value, "wrote \"%s\", read back \"%s\"", value.c_str(), back.c_str());
  if (!(maybeSameName(section, section2) && maybeSameName(key, key2)))
    FUZZ_CHECK(Read_Ini(section2, key2, path) == other, "another key changed its value");

  // Writing the same again finds nothing to change.
  FUZZ_CHECK(Write_Ini(section, key, value, path), "the same write failed the second time");
  FUZZ_CHECK(scratch.read("t.ini") == after, "the same write changed the file again");
  return 0;
}
