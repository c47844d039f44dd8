// The program's own command-line options: --version and --help answer on
// standard output and end the program before any window exists; --lang
// chooses the language of the windows.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>

#include "app/Dekl.h"

namespace ui {

struct ProgramOptions {
    // Set when the program ends at once: 0 after an answer, 2 after a bad
    // option (its message is written then).
    std::optional<int> exitStatus;
    std::int32_t language = LANG_EN;
};

// Reads the options; answers go to `out`, complaints to `err`. Other
// arguments are left to the window system.
ProgramOptions readProgramOptions(int argc, char** argv, std::ostream& out, std::ostream& err);

// Where --help says the settings are kept, in the words of the platform
// (ProgramOptions_posix.cpp, ProgramOptions_win.cpp): an installed program
// keeps them per user, a copy beside itself.
const char* settingsHelpPerUser();
const char* settingsHelpBeside();

} // namespace ui
