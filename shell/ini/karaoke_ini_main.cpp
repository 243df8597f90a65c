// karaoke-ini: reads and writes the panel's settings files from scripts,
// with the same rules (GBK on disk, UTF-8 on the terminal) as the panel.

#include "shell/ini/ini.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char* kUsage =
    "usage: karaoke-ini get FILE SECTION KEY\n"
    "       karaoke-ini set FILE SECTION KEY VALUE\n"
    "Prints or sets one value of a settings file. Text is UTF-8; the file is GBK.\n"
    "A missing value prints an empty line.\n";

int usage(std::FILE* to, int code)
{
    std::fputs(kUsage, to);
    return code;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0))
        return usage(stdout, 0);
    if (argc < 2)
        return usage(stderr, 2);

    const std::string command = argv[1];
    if (command == "get" && argc == 5) {
        const std::string value = kp::Read_Ini(argv[3], argv[4], argv[2]);
        std::fwrite(value.data(), 1, value.size(), stdout);
        std::fputc('\n', stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (command == "set" && argc == 6) {
        std::string error;
        if (kp::Write_Ini(argv[3], argv[4], argv[5], argv[2], &error))
            return 0;
        std::fprintf(stderr, "karaoke-ini: cannot save %s: %s\n", argv[2], error.c_str());
        return 1;
    }
    return usage(stderr, 2);
}
