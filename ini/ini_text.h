#pragma once
// The INI layer's reading of a file's text: lines, section headers and
// entries, and where a key stands. Private to ini/. Files are handled as GBK
// bytes; a trail byte of a double-byte character may equal '[', ']' or an
// ASCII letter, so scans step by character.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "ini/ini.h"

namespace kp::ini_text {

// Whether two section or key names match: ASCII letters case-insensitive,
// double-byte characters exactly.
bool sameName(std::string_view a, std::string_view b);

// The value cut to at most max bytes, never inside a double-byte character.
std::string_view cutValue(std::string_view s, std::size_t max = kIniMaxValueBytes);

struct Line {
  std::size_t begin;  // content is [begin, end)
  std::size_t end;    // line end (CRLF or LF) is [end, next)
  std::size_t next;
};

std::vector<Line> splitLines(std::string_view text);

struct Parsed {
  enum Kind { Other, Section, Key } kind = Other;
  std::string_view name;
  std::string_view value;
};

// What one line's content is, with blanks around names and values dropped.
Parsed classify(std::string_view content);

struct Location {
  std::ptrdiff_t section = -1;
  std::ptrdiff_t key = -1;
  std::ptrdiff_t lastEntry = -1;  // last non-blank line of the section
  std::string_view value;
};

// Where the first section named section, its last entry and key stand, as
// indexes into lines (-1: not there).
Location locate(std::string_view text, const std::vector<Line>& lines, std::string_view section,
                std::string_view key);

// The value of key in section, as locate() finds it, reading only up to it.
std::string_view findValue(std::string_view text, std::string_view section, std::string_view key);

// A UTF-8 name as the file holds it in GBK, blanks around it dropped; false
// when GBK cannot hold it exactly.
bool toFileName(const std::string& utf8, std::string& out);

bool hasLineBreak(std::string_view s);

// The line end a file uses, judged by its first one; CRLF for a file without any.
std::string_view detectLineEnd(std::string_view text);

// The line end to add after an unterminated last line.
std::string_view closingLineEnd(std::string_view text, std::string_view eol);

}  // namespace kp::ini_text
