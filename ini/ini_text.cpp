#include "ini/ini_text.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "ini/gbk.h"

namespace kp::ini_text {

namespace {

std::string_view trimBlanks(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size();) {
    if (gbk::charLength(a, i) == 2) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      i += 2;
    } else {
      if (asciiLower(a[i]) != asciiLower(b[i])) return false;
      ++i;
    }
  }
  return true;
}

// Longest prefix of at most max bytes that ends on a character boundary.
std::string_view cutValue(std::string_view s, std::size_t max) {
  std::size_t end = 0;
  while (end < s.size()) {
    const std::size_t len = gbk::charLength(s, end);
    if (end + len > max) break;
    end += len;
  }
  return s.substr(0, end);
}

std::vector<Line> splitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t nl = text.find('\n', pos);
    const std::size_t next = nl == std::string_view::npos ? text.size() : nl + 1;
    std::size_t end = nl == std::string_view::npos ? text.size() : nl;
    if (end > pos && text[end - 1] == '\r') --end;
    lines.push_back({pos, end, next});
    pos = next;
  }
  return lines;
}

Parsed classify(std::string_view content) {
  const std::string_view t = trimBlanks(content);
  if (!t.empty() && t.front() == '[') {
    for (std::size_t i = 1; i < t.size(); i += gbk::charLength(t, i))
      if (t[i] == ']') return {Parsed::Section, trimBlanks(t.substr(1, i - 1)), {}};
  }
  const std::size_t eq = t.find('=');  // '=' is never a trail byte
  if (eq == std::string_view::npos) return {};
  return {Parsed::Key, trimBlanks(t.substr(0, eq)), trimBlanks(t.substr(eq + 1))};
}

Location locate(std::string_view text, const std::vector<Line>& lines, std::string_view section,
                std::string_view key) {
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
    if (p.kind == Parsed::Section) break;
    if (!trimBlanks(content).empty()) loc.lastEntry = index;
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
std::string_view findValue(std::string_view text, std::string_view section, std::string_view key) {
  const char keyStart = key.empty() ? '\0' : asciiLower(key.front());
  bool inSection = false;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t nl = text.find('\n', pos);
    std::size_t end = nl == std::string_view::npos ? text.size() : nl;
    const std::size_t next = nl == std::string_view::npos ? text.size() : nl + 1;
    std::size_t first = pos;
    while (first < end && (text[first] == ' ' || text[first] == '\t')) ++first;
    const bool candidate =
        first < end &&
        (text[first] == '[' || (inSection && (key.empty() || asciiLower(text[first]) == keyStart)));
    const std::size_t begin = pos;
    pos = next;
    if (!candidate) continue;
    if (end > begin && text[end - 1] == '\r') --end;
    const Parsed p = classify(text.substr(begin, end - begin));
    if (p.kind == Parsed::Section) {
      if (inSection) break;
      inSection = sameName(p.name, section);
    } else if (inSection && p.kind == Parsed::Key && sameName(p.name, key)) {
      return p.value;
    }
  }
  return {};
}

// A name is usable only if GBK holds it exactly; a lossy '?' could alias
// another entry.
bool toFileName(const std::string& utf8, std::string& out) {
  out = utf8ToGbk(utf8);
  if (gbkToUtf8(out) != utf8) return false;
  out = std::string(trimBlanks(out));
  return true;
}

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

std::string_view detectLineEnd(std::string_view text) {
  const std::size_t nl = text.find('\n');
  if (nl != std::string_view::npos && (nl == 0 || text[nl - 1] != '\r')) return "\n";
  return "\r\n";
}

// What ends an unterminated last line; a stray CR there already starts a CRLF.
std::string_view closingLineEnd(std::string_view text, std::string_view eol) {
  return !text.empty() && text.back() == '\r' ? std::string_view("\n") : eol;
}

}  // namespace kp::ini_text
