// Command line of tk7713t-sim.
#pragma once

#include "sim/SimConfig.h"

#include <string>
#include <utility>
#include <vector>

namespace tksim {

enum class ParseOutcome { Run, Help, Version, Error };

struct CommandLine {
    // The program serves Modbus TCP unless told not to.
    CommandLine() { config.gateway.tcpServer = true; }
    Config config;
    bool log = false;
};

// args without the program name. On Error, message says what is wrong.
ParseOutcome parseCommandLine(const std::vector<std::string>& args, CommandLine& out,
                              std::string& message);

std::string usageText();

// Every option the parser takes, and whether it takes a value.
std::vector<std::pair<std::string, bool>> optionNames();

} // namespace tksim
