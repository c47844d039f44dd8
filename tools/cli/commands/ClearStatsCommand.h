// `tk7713t clear-stats`: the line statistics start again from zero.
#pragma once

#include "cli/commands/Command.h"

namespace tkcli {

extern const Command kClearStatsCommand;

} // namespace tkcli
