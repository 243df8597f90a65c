#include "core/os_console.h"

#include <unistd.h>

namespace kp::os {

std::vector<std::string> utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

bool writeText(std::FILE* stream, std::string_view utf8) {
  return std::fwrite(utf8.data(), 1, utf8.size(), stream) == utf8.size();
}

bool isTerminal(std::FILE* stream) { return isatty(fileno(stream)) == 1; }

}  // namespace kp::os
