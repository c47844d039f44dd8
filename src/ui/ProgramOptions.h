// The program's own command-line options: --version and --help answer on
// standard output and end the program before any window exists.
#pragma once

#include <optional>

namespace ui {

// The exit status when an option asked for an answer, nothing otherwise.
// Other arguments are left to the window system.
std::optional<int> answerInformationOptions(int argc, char** argv);

} // namespace ui
