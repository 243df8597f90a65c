#include "venue/file_name_case.h"

#include "core/utf8.h"

#include <cstdint>

namespace kp {

namespace {

bool within(char32_t c, char32_t lo, char32_t hi) { return c >= lo && c <= hi; }

// The lower-case partner of an upper-case letter; other characters as they are.
char32_t lowerOf(char32_t c) {
  if (within(c, 'A', 'Z') || (within(c, 0xC0, 0xDE) && c != 0xD7)) return c + 0x20;
  if (c == 0x178) return 0xFF;
  // Latin Extended-A and -Additional, Cyrillic's extra letters: upper and
  // lower alternate, the upper case first (0x130, dotted I, folds to nothing
  // simple and stays).
  const bool even = c % 2 == 0;
  if ((within(c, 0x100, 0x12F) || within(c, 0x132, 0x137) || within(c, 0x14A, 0x177) ||
       within(c, 0x460, 0x481) || within(c, 0x48A, 0x4BF) || within(c, 0x1E00, 0x1E95) ||
       within(c, 0x1EA0, 0x1EFF)) &&
      even)
    return c + 1;
  if ((within(c, 0x139, 0x148) || within(c, 0x179, 0x17E)) && !even) return c + 1;
  if (c == 0x386) return 0x3AC;
  if (within(c, 0x388, 0x38A)) return c + 37;
  if (c == 0x38C) return 0x3CC;
  if (within(c, 0x38E, 0x38F)) return c + 63;
  if (within(c, 0x391, 0x3AB) && c != 0x3A2) return c + 0x20;
  if (within(c, 0x400, 0x40F)) return c + 0x50;
  if (within(c, 0x410, 0x42F)) return c + 0x20;
  if (within(c, 0x531, 0x556)) return c + 0x30;
  if (within(c, 0xFF21, 0xFF3A)) return c + 0x20;
  return c;
}

}  // namespace

std::string caseFolded(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    const std::size_t len = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
    bool whole = len > 0 && i + len <= s.size();
    char32_t c = len == 1 ? b : len == 2 ? b & 0x1F : len == 3 ? b & 0x0F : b & 0x07;
    for (std::size_t k = 1; whole && k < len; ++k) {
      const auto t = static_cast<unsigned char>(s[i + k]);
      whole = (t & 0xC0) == 0x80;
      c = (c << 6) | (t & 0x3F);
    }
    if (!whole) {
      out += s[i++];
      continue;
    }
    // Only letters below U+10000 fold; whatever else decodes is kept byte for byte.
    const char32_t folded = lowerOf(c);
    if (folded == c)
      out.append(s.substr(i, len));
    else
      appendUtf8(out, folded);
    i += len;
  }
  return out;
}

}  // namespace kp
