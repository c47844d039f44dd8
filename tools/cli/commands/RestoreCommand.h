// `tk7713t restore`: a backup written back, file by file, each verified.
#pragma once

#include "cli/commands/Command.h"

namespace tkcli {

extern const Command kRestoreCommand;

} // namespace tkcli
