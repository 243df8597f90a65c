#pragma once
// Writing a code point as UTF-8, for the few places that build UTF-8 text
// from code points of their own (code page conversion, case folding).
#include <string>

namespace kp {

void appendUtf8(std::string& out, char32_t c);

}  // namespace kp
