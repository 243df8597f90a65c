// GBK through the system's code page 936, one character at a time.
#include "ini/codepage.h"

#include "core/utf8.h"

#include <windows.h>

namespace kp::codepage {

namespace {

constexpr UINT kGbk = 936;

// Code page 936 maps GBK's user-defined areas into the private use area;
// iconv refuses them. Refused here too, so a file reads the same everywhere.
bool privateUse(wchar_t c) { return c >= 0xE000 && c <= 0xF8FF; }

// The code point of the well-formed UTF-8 sequence at in[pos], and its length.
char32_t decodeUtf8(std::string_view in, std::size_t pos, std::size_t& len) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(in[pos + k]); };
  const unsigned char lead = b(0);
  if (lead < 0x80) {
    len = 1;
    return lead;
  }
  if (lead < 0xE0) {
    len = 2;
    return (char32_t(lead & 0x1F) << 6) | (b(1) & 0x3F);
  }
  if (lead < 0xF0) {
    len = 3;
    return (char32_t(lead & 0x0F) << 12) | (char32_t(b(1) & 0x3F) << 6) | (b(2) & 0x3F);
  }
  len = 4;
  return (char32_t(lead & 0x07) << 18) | (char32_t(b(1) & 0x3F) << 12) |
         (char32_t(b(2) & 0x3F) << 6) | (b(3) & 0x3F);
}

bool decodeGbk(const char* bytes, int n, wchar_t& c) {
  wchar_t w[2];
  if (MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, bytes, n, w, 2) != 1) return false;
  c = w[0];
  return !privateUse(c);
}

}  // namespace

struct Converter::Impl {
  Direction direction;
};

Converter::Converter(Direction direction) : impl_(new Impl{direction}) {}
Converter::~Converter() = default;

bool Converter::usable() const { return IsValidCodePage(kGbk) != 0; }

Converter::Stop Converter::run(std::string_view in, std::size_t& pos, std::string& out) {
  while (pos < in.size()) {
    const auto lead = static_cast<unsigned char>(in[pos]);
    if (lead < 0x80) {
      out += in[pos++];
      continue;
    }
    if (impl_->direction == Direction::GbkToUtf8) {
      const bool doubleByte = lead >= 0x81 && lead <= 0xFE;
      if (doubleByte && pos + 1 == in.size()) return Stop::Incomplete;
      const int n = doubleByte ? 2 : 1;
      wchar_t c = 0;
      if (!decodeGbk(in.data() + pos, n, c)) return Stop::Invalid;
      appendUtf8(out, c);
      pos += static_cast<std::size_t>(n);
      continue;
    }
    std::size_t len = 0;
    const char32_t c = decodeUtf8(in, pos, len);
    if (c > 0xFFFF || privateUse(static_cast<wchar_t>(c))) return Stop::Invalid;
    const wchar_t w = static_cast<wchar_t>(c);
    char bytes[4];
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, &w, 1, bytes, sizeof bytes,
                                      nullptr, &usedDefault);
    // A character written must read back as itself (no best-fit stand-ins).
    wchar_t back = 0;
    if (n <= 0 || usedDefault || !decodeGbk(bytes, n, back) || back != w) return Stop::Invalid;
    out.append(bytes, static_cast<std::size_t>(n));
    pos += len;
  }
  return Stop::Done;
}

}  // namespace kp::codepage
