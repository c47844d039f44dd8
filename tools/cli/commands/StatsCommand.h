// `tk7713t stats`: the line statistics, once or with --follow every 100 ms.
#pragma once

#include "cli/commands/Command.h"

namespace tkcli {

extern const Command kStatsCommand;

} // namespace tkcli
