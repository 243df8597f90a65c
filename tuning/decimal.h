#pragma once
// Decimal numbers as measurement programs, installers and command lines
// write them, read the same whatever the locale of this machine.
#include <optional>
#include <string_view>

namespace kp::tuning {

// "63.5", "-2", "+1.5e3", and with decimalComma "63,5" too. The whole text
// must be the number (blanks around it are dropped); nan, inf and anything
// out of a double's range give nullopt, so no caller meets a non-finite value.
std::optional<double> parseDecimal(std::string_view text, bool decimalComma = false);

}  // namespace kp::tuning
