// `tk7713t backup`: the four settings files into one JSON file.
#pragma once

#include "cli/commands/Command.h"

namespace tkcli {

extern const Command kBackupCommand;

} // namespace tkcli
