// GBK through iconv.
#include "ini/codepage.h"

#include <cerrno>
#include <iconv.h>

namespace kp::codepage {

struct Converter::Impl {
  iconv_t cd;
};

Converter::Converter(Direction direction)
    : impl_(new Impl{direction == Direction::GbkToUtf8 ? iconv_open("UTF-8", "GBK")
                                                       : iconv_open("GBK", "UTF-8")}) {}

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
    return err == EINVAL ? Stop::Incomplete : Stop::Invalid;
  }
  return Stop::Done;
}

}  // namespace kp::codepage
