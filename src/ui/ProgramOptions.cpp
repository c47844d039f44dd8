#include "ui/ProgramOptions.h"

#include <ostream>
#include <string>
#include <string_view>

#include "BuildInfo.h"

namespace ui {

namespace {

constexpr int kUsageError = 2;

constexpr const char* kUsageHead =
    "Usage: W_tk7713t [--help] [--version] [--lang en|cs] [--trace FILE]\n"
    "\n"
    "Configures and watches one TK-7713T converter (Modbus TCP to Modbus RTU)\n"
    "over the LAN (TFTP) or a serial port (Modbus RTU).\n"
    "\n";

constexpr const char* kUsageTail =
    "Help opens the manual W_tk7713t_EN.pdf (W_tk7713t_CZ.pdf with --lang cs).\n"
    "\n"
    "  --help          this text\n"
    "  --version       the program's version\n"
    "  --lang en|cs    language of the windows and the manual (default en)\n"
    "  --trace FILE    append every frame and packet, decoded, to FILE\n";

std::optional<std::int32_t> languageNamed(std::string_view name) {
    if (name == "en") {
        return LANG_EN;
    }
    if (name == "cs") {
        return LANG_CZ;
    }
    return std::nullopt;
}

int complain(std::ostream& err, const std::string& message) {
    err << "W_tk7713t: " << message << "\nTry W_tk7713t --help\n";
    return kUsageError;
}

} // namespace

ProgramOptions readProgramOptions(int argc, char** argv, std::ostream& out, std::ostream& err) {
    ProgramOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--version") {
            out << "W_tk7713t " << buildinfo::kVersion << "\n";
            options.exitStatus = 0;
            return options;
        }
        if (arg == "--help" || arg == "-h") {
            out << kUsageHead << (SettingsPerUser() ? settingsHelpPerUser() : settingsHelpBeside())
                << kUsageTail;
            options.exitStatus = 0;
            return options;
        }
        std::optional<std::string_view> value;
        if (arg == "--lang") {
            if (i + 1 >= argc) {
                options.exitStatus = complain(err, "--lang needs a language (en, cs)");
                return options;
            }
            value = argv[++i];
        } else if (arg.rfind("--lang=", 0) == 0) {
            value = arg.substr(7);
        }
        if (value) {
            const auto language = languageNamed(*value);
            if (!language) {
                options.exitStatus =
                    complain(err, "invalid language " + std::string(*value) + " (en, cs)");
                return options;
            }
            options.language = *language;
        }
    }
    return options;
}

} // namespace ui
