#include "tuning/decimal.h"

#include <charconv>
#include <cmath>
#include <string>

namespace kp::tuning {

std::optional<double> parseDecimal(std::string_view text, bool decimalComma) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.empty() || text.size() > 64) return std::nullopt;
  std::string s(text);
  if (decimalComma)
    for (char& c : s)
      if (c == ',') c = '.';
  // from_chars takes no leading plus; a second sign after it is still refused.
  std::size_t start = s[0] == '+' ? 1 : 0;
  if (start == 1 && (s.size() == 1 || s[1] == '-' || s[1] == '+')) return std::nullopt;
  // Only the characters of a plain decimal: from_chars would also take
  // "nan", "inf" and hexadecimal forms that no export writes.
  for (std::size_t i = start; i < s.size(); ++i) {
    const char c = s[i];
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
      return std::nullopt;
  }
  double v = 0;
  const char* end = s.data() + s.size();
  const auto [ptr, ec] = std::from_chars(s.data() + start, end, v);
  if (ec != std::errc() || ptr != end || !std::isfinite(v)) return std::nullopt;
  return v;
}

}  // namespace kp::tuning
