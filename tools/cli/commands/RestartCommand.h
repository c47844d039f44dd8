// `tk7713t restart`: the converter restarts.
#pragma once

#include "cli/commands/Command.h"

namespace tkcli {

extern const Command kRestartCommand;

} // namespace tkcli
