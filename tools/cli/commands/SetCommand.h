// `tk7713t set`: fields of one settings file written and verified.
#pragma once

#include "cli/commands/Command.h"

namespace tkcli {

extern const Command kSetCommand;

} // namespace tkcli
