// `tk7713t identify`: the converter's type, version and serial number.
#pragma once

#include "cli/commands/Command.h"

namespace tkcli {

extern const Command kIdentifyCommand;

} // namespace tkcli
