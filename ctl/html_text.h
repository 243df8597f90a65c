#pragma once
// Text made safe to stand in HTML and SVG.
#include <string>
#include <string_view>

namespace kp::ctl {

std::string htmlEscape(std::string_view text);

}  // namespace kp::ctl
