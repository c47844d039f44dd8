#include "ui/ProgramOptions.h"

#include <cstdio>
#include <cstring>

#include "BuildInfo.h"

namespace ui {

namespace {

constexpr const char* kUsage =
    "Usage: W_tk7713t [--help] [--version] [--trace FILE]\n"
    "\n"
    "Configures and watches one TK-7713T converter (Modbus TCP to Modbus RTU)\n"
    "over the LAN (TFTP) or a serial port (Modbus RTU). The connection settings\n"
    "are kept in W_tk7713t.ini beside the program; Help opens the manual\n"
    "W_tk7713t_EN.pdf.\n"
    "\n"
    "  --help          this text\n"
    "  --version       the program's version\n"
    "  --trace FILE    append every frame and packet, decoded, to FILE\n";

} // namespace

std::optional<int> answerInformationOptions(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("W_tk7713t %s\n", buildinfo::kVersion);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    return std::nullopt;
}

} // namespace ui
