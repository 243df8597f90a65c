#pragma once
// What the Rooms window's two halves (its rooms file, its work) both use.
#include <string>

namespace kp {

// text with %1 and %2 replaced.
std::string fillVenueText(const std::string& text, const std::string& first,
                          const std::string& second = {});
// The path made absolute and normal; the path itself where that fails.
std::string absoluteVenuePath(const std::string& path);

}  // namespace kp
