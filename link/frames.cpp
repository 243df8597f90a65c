#include "link/frames.h"

namespace kp {

Bytes Make_Frame(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3,
                 std::uint8_t b4, std::uint8_t b5) {
  return Bytes{b0, b1, b2, b3, b4, b5};
}

Bytes Make_Byte_Frame(std::uint8_t b) { return Bytes{b}; }

std::array<std::uint8_t, kFrameSize> commandBytes(std::uint8_t address, std::uint8_t value) {
  return {kFrameHeader,
          address,
          static_cast<std::uint8_t>(0xFF - address),
          value,
          static_cast<std::uint8_t>(0xFF - value),
          kFrameTrailer};
}

Bytes commandFrame(std::uint8_t address, std::uint8_t value) {
  const auto f = commandBytes(address, value);
  return Bytes(f.begin(), f.end());
}

}  // namespace kp
