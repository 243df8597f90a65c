// GBK through iconv, with code page 936's one addition: the single byte
// 0x80 is the euro sign, both ways. Stored files come from that code page.
#include "ini/codepage.h"

#include <iconv.h>
#include <cerrno>

namespace kp::codepage {

struct Converter::Impl {
  iconv_t cd;
  Direction direction;
};

namespace {
constexpr std::string_view kEuroUtf8 = "\xE2\x82\xAC";
}

Converter::Converter(Direction direction)
    : impl_(new Impl{direction == Direction::GbkToUtf8 ? iconv_open("UTF-8", "GBK")
                                                       : iconv_open("GBK", "UTF-8"),
                     direction}) {}

Converter::~Converter() {
  if (usable()) iconv_close(impl_->cd);
}

bool Converter::usable() const { return impl_->cd != reinterpret_cast<iconv_t>(-1); }

Converter::Stop Converter::run(std::string_view in, std::size_t& pos, std::string& out) {
  char buffer[4096];
  while (pos < in.size()) {
    char* src = const_cast<char*>(in.data() + pos);
    std::size_t srcLeft = in.size() - pos;
    char* dst = buffer;
    std::size_t dstLeft = sizeof buffer;
    const std::size_t rc = iconv(impl_->cd, &src, &srcLeft, &dst, &dstLeft);
    const int err = errno;
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    pos = in.size() - srcLeft;
    if (rc != static_cast<std::size_t>(-1)) continue;
    if (err == E2BIG) continue;
    iconv(impl_->cd, nullptr, nullptr, nullptr, nullptr);  // reset shift state
    if (err == EILSEQ && impl_->direction == Direction::GbkToUtf8 && in[pos] == '\x80') {
      out += kEuroUtf8;
      ++pos;
      continue;
    }
    if (err == EILSEQ && impl_->direction == Direction::Utf8ToGbk &&
        in.substr(pos, kEuroUtf8.size()) == kEuroUtf8) {
      out += '\x80';
      pos += kEuroUtf8.size();
      continue;
    }
    return err == EINVAL ? Stop::Incomplete : Stop::Invalid;
  }
  return Stop::Done;
}

}  // namespace kp::codepage
