#pragma once
// The system's texts with their places filled in.
#include <string>

namespace kp {

// A text with %1 and %2 replaced, in one pass: what fills them in is never
// read for marks itself.
std::string fillText(const std::string& text, const std::string& first,
                     const std::string& second = {});

}  // namespace kp
