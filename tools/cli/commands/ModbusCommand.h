// `tk7713t modbus read|write|scan`: Modbus requests through the converter's
// Modbus TCP server to the units on its master line. Cli.cpp hands the whole
// command line over when the command word is "modbus": the subcommands take
// options of their own. Without libmodbus (the Windows cross-build) the
// command is left out: IsModbusCommand says no.
#pragma once

#include <string>
#include <vector>

#include "cli/commands/Command.h"

namespace tkcli {

// True when the first argument that is neither an option nor an option's
// value is "modbus".
bool IsModbusCommand(const std::vector<std::string>& args);

// Runs the command; returns the exit status.
int RunModbusCommand(Context& ctx, const std::vector<std::string>& args);

} // namespace tkcli
