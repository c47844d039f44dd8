// `tk7713t history`: the traffic history samples, as lines, CSV or JSON.
#pragma once

#include "cli/commands/Command.h"

namespace tkcli {

extern const Command kHistoryCommand;

} // namespace tkcli
