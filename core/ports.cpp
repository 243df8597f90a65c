#include "core/ports.h"

#include <charconv>
#include <chrono>
#include <sstream>
#include <thread>
#include <vector>

namespace kp {

namespace {
std::optional<int> toInt(const std::string& s) {
  int v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
  return v;
}
}  // namespace

void EventPump::sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::optional<LineSettings> LineSettings::parse(const std::string& text) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, ',');) parts.push_back(part);
  if (parts.size() != 4 || parts[1].size() != 1) return std::nullopt;
  LineSettings s;
  auto baud = toInt(parts[0]), bits = toInt(parts[2]), stop = toInt(parts[3]);
  if (!baud || !bits || !stop || *baud <= 0) return std::nullopt;
  switch (parts[1][0]) {
    case 'E':
    case 'e':
      s.parity = Parity::Even;
      break;
    case 'O':
    case 'o':
      s.parity = Parity::Odd;
      break;
    case 'N':
    case 'n':
      s.parity = Parity::None;
      break;
    default:
      return std::nullopt;
  }
  if (*bits < 5 || *bits > 8 || (*stop != 1 && *stop != 2)) return std::nullopt;
  s.baud = *baud;
  s.dataBits = *bits;
  s.stopBits = *stop;
  return s;
}

}  // namespace kp
