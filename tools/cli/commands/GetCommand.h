// `tk7713t get`: one settings file, NAME=VALUE per field or JSON.
#pragma once

#include "cli/commands/Command.h"

namespace tkcli {

extern const Command kGetCommand;

} // namespace tkcli
