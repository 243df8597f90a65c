#pragma once
// What the Rooms window's two halves (its rooms file, its work) both use.
#include <string>

#include "core/fill_text.h"

namespace kp {

// The path made absolute and normal; the path itself where that fails.
std::string absoluteVenuePath(const std::string& path);

}  // namespace kp
