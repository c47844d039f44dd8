#include "ui/ProgramOptions.h"

namespace ui {

// COM numbers are the system's own here: no [Serial ports] section.
const char* settingsHelpPerUser() {
    return "The connection settings are kept per user in\n"
           "%APPDATA%\\W_tk7713t\\W_tk7713t.ini.\n";
}

const char* settingsHelpBeside() {
    return "The connection settings are kept in W_tk7713t.ini beside the program;\n"
           "when the program's folder cannot be written, per user in\n"
           "%APPDATA%\\W_tk7713t\\W_tk7713t.ini.\n";
}

} // namespace ui
