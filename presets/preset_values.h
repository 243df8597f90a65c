#pragma once
// Reading numbers from preset files. Each conversion is checked: a missing
// key, a text that is not a number or a value out of range gives nullopt,
// and the caller skips that one step.
#include <optional>
#include <string>

namespace kp {

// The text read as a number and rounded down (selection indexes, slider values).
std::optional<int> readFloor(const std::string& text);
// Rounded to the nearest integer, halves to even (spin values).
std::optional<int> readRounded(const std::string& text);
// A byte 0..255: rounded to nearest (device settings) or down (slot values).
std::optional<int> readByteRounded(const std::string& text);
std::optional<int> readByteFloor(const std::string& text);

}  // namespace kp
