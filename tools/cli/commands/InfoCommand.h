// `tk7713t info`: the system information file, field by field.
#pragma once

#include "cli/commands/Command.h"

namespace tkcli {

extern const Command kInfoCommand;

} // namespace tkcli
