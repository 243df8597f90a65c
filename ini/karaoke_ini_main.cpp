// karaoke-ini: reads and writes the panel's settings files from scripts,
// with the same rules (GBK on disk, UTF-8 on the terminal) as the panel.

#include "ini/ini.h"

#include <cstdio>
#include <string>
#include <vector>

#include "core/os_console.h"

namespace {

constexpr const char* kUsage =
    "usage: karaoke-ini get FILE SECTION KEY\n"
    "       karaoke-ini set FILE SECTION KEY VALUE\n"
    "Prints or sets one value of a settings file. Text is UTF-8; the file is GBK.\n"
    "A missing value prints an empty line.\n";

int usage(std::FILE* to, int code) {
  kp::os::writeText(to, kUsage);
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = kp::os::utf8Arguments(argc, argv);
  const std::size_t n = args.size();
  if (n == 2 && (args[1] == "-h" || args[1] == "--help")) return usage(stdout, 0);
  if (n < 2) return usage(stderr, 2);

  const std::string& command = args[1];
  if (command == "get" && n == 5) {
    const std::string value = kp::Read_Ini(args[3], args[4], args[2]);
    const bool ok = kp::os::writeText(stdout, value + "\n");
    return ok && std::fflush(stdout) == 0 ? 0 : 1;
  }
  if (command == "set" && n == 6) {
    std::string error;
    if (kp::Write_Ini(args[3], args[4], args[5], args[2], &error)) return 0;
    kp::os::writeText(stderr, "karaoke-ini: cannot save " + args[2] + ": " + error + "\n");
    return 1;
  }
  return usage(stderr, 2);
}
