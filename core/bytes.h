#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kp {

using Bytes = std::vector<std::uint8_t>;

// "AA 00 FF 01 FE 55": how frames appear in messages, logs and test failures.
std::string toHex(const Bytes& bytes);

}  // namespace kp
