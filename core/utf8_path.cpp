#include "core/utf8_path.h"

#include <type_traits>

namespace kp {

namespace {

// Where the conversion fails: every character past ASCII becomes '?', which
// no Windows file name holds, so the file is reported missing, never mistaken.
template <typename Text>
std::string asciiOnly(const Text& text) {
  std::string out;
  for (const auto c : text) {
    const auto u = static_cast<std::make_unsigned_t<std::decay_t<decltype(c)>>>(c);
    out += u > 0 && u < 0x80 ? static_cast<char>(u) : '?';
  }
  return out;
}

}  // namespace

std::filesystem::path pathFromUtf8(std::string_view utf8) {
  // Windows converts to UTF-16 and throws on malformed UTF-8; POSIX keeps the bytes.
  try {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
  } catch (const std::exception&) {
    return std::filesystem::path(asciiOnly(utf8));
  }
}

std::string utf8FromPath(const std::filesystem::path& path) {
  // A Windows name may hold a lone surrogate, which has no UTF-8 form.
  try {
    const std::u8string s = path.u8string();
    return std::string(reinterpret_cast<const char*>(s.data()), s.size());
  } catch (const std::exception&) {
    return asciiOnly(path.native());
  }
}

}  // namespace kp
