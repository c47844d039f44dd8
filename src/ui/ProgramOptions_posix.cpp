#include "ui/ProgramOptions.h"

namespace ui {

const char* settingsHelpPerUser() {
    return "The connection settings, and the [Serial ports] section that maps COM\n"
           "numbers to devices, are kept per user in\n"
           "$XDG_CONFIG_HOME/W_tk7713t/W_tk7713t.ini (default ~/.config).\n";
}

const char* settingsHelpBeside() {
    return "The connection settings, and the [Serial ports] section that maps COM\n"
           "numbers to devices, are kept in W_tk7713t.ini beside the program; when\n"
           "the program's folder cannot be written, per user in\n"
           "$XDG_CONFIG_HOME/W_tk7713t/W_tk7713t.ini (default ~/.config).\n";
}

} // namespace ui
