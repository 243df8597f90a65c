#include "core/fill_text.h"

namespace kp {

std::string fillText(const std::string& text, const std::string& first, const std::string& second) {
  // Shown at every message of a dump: one allocation, not one per character.
  std::string out;
  out.reserve(text.size() + first.size() + second.size());
  std::size_t from = 0;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == '%' && (text[i + 1] == '1' || text[i + 1] == '2')) {
      out.append(text, from, i - from).append(text[i + 1] == '1' ? first : second);
      from = ++i + 1;
    }
  }
  return out.append(text, from, std::string::npos);
}

}  // namespace kp
