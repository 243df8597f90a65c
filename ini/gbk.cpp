#include "ini/gbk.h"

#include <algorithm>

#include "ini/codepage.h"

namespace kp {
namespace {

using codepage::Converter;
using codepage::Direction;

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";  // U+FFFD

bool allAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Length of the well-formed UTF-8 sequence at s[i], or 0 if it is malformed
// (overlong forms, surrogates and values past U+10FFFF included).
std::size_t utf8SequenceLength(std::string_view s, std::size_t i) {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b = at(i);
  std::size_t len = 0;
  unsigned char lo = 0x80, hi = 0xBF;
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF)
    len = 2;
  else if (b >= 0xE0 && b <= 0xEF) {
    len = 3;
    if (b == 0xE0) lo = 0xA0;
    if (b == 0xED) hi = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;
  } else
    return 0;
  if (i + len > s.size()) return 0;
  if (at(i + 1) < lo || at(i + 1) > hi) return 0;
  for (std::size_t k = 2; k < len; ++k)
    if (at(i + k) < 0x80 || at(i + k) > 0xBF) return 0;
  return len;
}

}  // namespace

bool isUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t len = utf8SequenceLength(bytes, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

std::string gbkToUtf8(std::string_view bytes) {
  if (allAscii(bytes)) return std::string(bytes);

  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  Converter conv(Direction::GbkToUtf8);
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    if (!conv.usable()) {  // no code page installed: keep ASCII, mark the rest
      if (static_cast<unsigned char>(bytes[pos]) < 0x80)
        out += bytes[pos++];
      else {
        out += kReplacementUtf8;
        pos += gbk::charLength(bytes, pos);
      }
      continue;
    }
    const auto stop = conv.run(bytes, pos, out);
    if (stop == Converter::Stop::Done) break;
    out += kReplacementUtf8;
    if (stop == Converter::Stop::Incomplete) break;
    // Drop the whole undecodable character, as the INI parser sees it.
    pos += gbk::charLength(bytes, pos);
  }
  return out;
}

std::string utf8ToGbk(std::string_view utf8) {
  if (allAscii(utf8)) return std::string(utf8);

  std::string out;
  out.reserve(utf8.size());
  Converter conv(Direction::Utf8ToGbk);
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    // Hand iconv only well-formed runs, so every failure it reports is a
    // character GBK lacks, sitting at a sequence boundary we know.
    std::size_t end = pos;
    while (end < utf8.size()) {
      const std::size_t len = utf8SequenceLength(utf8, end);
      if (len == 0) break;
      end += len;
    }
    const std::string_view run = utf8.substr(0, end);
    while (pos < end) {
      if (conv.usable() && conv.run(run, pos, out) == Converter::Stop::Done) break;
      if (static_cast<unsigned char>(utf8[pos]) < 0x80)
        out += utf8[pos++];  // only reached without a converter
      else {
        out += '?';
        pos += utf8SequenceLength(utf8, pos);
      }
    }
    if (pos < utf8.size()) {  // malformed byte
      out += '?';
      ++pos;
    }
  }
  return out;
}

}  // namespace kp
