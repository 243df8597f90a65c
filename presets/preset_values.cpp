#include "presets/preset_values.h"

#include <cmath>
#include <cstdlib>

namespace kp {

namespace {
std::optional<double> number(const std::string& text) {
  const std::size_t b = text.find_first_not_of(" \t");
  if (b == std::string::npos) return std::nullopt;
  const std::size_t e = text.find_last_not_of(" \t");
  const std::string t = text.substr(b, e - b + 1);
  // Only plain decimal numbers: no hex, no exponents, no "inf".
  for (char c : t)
    if (!(c == '-' || c == '+' || c == '.' || (c >= '0' && c <= '9'))) return std::nullopt;
  char* end = nullptr;
  const double v = std::strtod(t.c_str(), &end);
  if (end != t.c_str() + t.size() || !std::isfinite(v)) return std::nullopt;
  if (std::fabs(v) > 1e9) return std::nullopt;
  return v;
}

std::optional<int> inByte(std::optional<int> v) {
  if (!v || *v < 0 || *v > 255) return std::nullopt;
  return v;
}
}  // namespace

std::optional<int> readFloor(const std::string& text) {
  const auto v = number(text);
  if (!v) return std::nullopt;
  return static_cast<int>(std::floor(*v));
}

std::optional<int> readRounded(const std::string& text) {
  const auto v = number(text);
  if (!v) return std::nullopt;
  return static_cast<int>(std::nearbyint(*v));
}

std::optional<int> readByteRounded(const std::string& text) { return inByte(readRounded(text)); }
std::optional<int> readByteFloor(const std::string& text) { return inByte(readFloor(text)); }

}  // namespace kp
