// `tk7713t modbus read|write|scan`: Modbus requests through the converter's
// Modbus TCP server to the units on its master line. Cli.cpp hands the whole
// command line over when the command word is "modbus". Without libmodbus
// (the Windows cross-build) the command is left out: IsModbusCommand says no.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace tkcli {

// True when the first argument that is neither an option nor an option's
// value is "modbus".
bool IsModbusCommand(const std::vector<std::string>& args);

// Runs the command; returns the exit status.
int RunModbusCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     std::int32_t lang, bool errIsTerminal);

} // namespace tkcli
