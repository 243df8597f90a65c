#pragma once
// Command-line programs' text in and out as UTF-8 on every system: Windows
// hands arguments over as UTF-16 and shows a console's text in the console's
// own code page. One implementation per platform (os_console_*.cpp).
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace kp::os {

// The program's arguments, argv[0] included, as UTF-8.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// Writes UTF-8 text to stdout or stderr: a console shows its characters, a
// pipe or file gets the UTF-8 bytes. False if the text could not be written.
bool writeText(std::FILE* stream, std::string_view utf8);

// Whether the stream is an interactive terminal that moves its cursor on the
// usual escape sequences (ESC [ n A, ESC [ K); a pipe or file is not.
bool isTerminal(std::FILE* stream);

}  // namespace kp::os
