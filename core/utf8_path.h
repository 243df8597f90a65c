#pragma once
// Paths are UTF-8 text everywhere inside the program. A std::filesystem::path
// built from a plain std::string would read it in the system's code page on
// Windows; these go through char8_t, which both platforms read as UTF-8.
// Neither throws: text with no form on the other side keeps its ASCII and
// gets '?' for the rest.
#include <filesystem>
#include <string>
#include <string_view>

namespace kp {

std::filesystem::path pathFromUtf8(std::string_view utf8);
std::string utf8FromPath(const std::filesystem::path& path);

}  // namespace kp
