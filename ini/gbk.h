#pragma once

// Conversion between the GBK bytes (code page 936) that INI files hold on disk
// and the UTF-8 text used everywhere inside the program.

#include <cstddef>
#include <string>
#include <string_view>

namespace kp {

// GBK bytes to UTF-8. Bytes that are not valid GBK, and a lead byte cut off at
// the end, each become U+FFFD; never throws except std::bad_alloc.
std::string gbkToUtf8(std::string_view bytes);

// Whether bytes are well-formed UTF-8 (no overlong forms, surrogates or
// values past U+10FFFF): text files of unknown origin are read as GBK when not.
bool isUtf8(std::string_view bytes);

// UTF-8 to GBK bytes. Characters GBK cannot hold, and each byte of malformed
// UTF-8, become '?'.
std::string utf8ToGbk(std::string_view utf8);

namespace gbk {

// Lead and trail byte ranges of a GBK double-byte character. Parsers need them
// because trail bytes overlap ASCII ('@'..'~', including ']' and letters).
constexpr bool isLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
constexpr bool isTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

// Length (1 or 2) of the character starting at bytes[i]; i must be in range.
inline std::size_t charLength(std::string_view bytes, std::size_t i) {
  return isLeadByte(static_cast<unsigned char>(bytes[i])) && i + 1 < bytes.size() &&
                 isTrailByte(static_cast<unsigned char>(bytes[i + 1]))
             ? 2
             : 1;
}

}  // namespace gbk
}  // namespace kp
