// Runs the command-line tool in-process and keeps what it printed.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"

namespace harness {

struct ToolOutcome {
    int status;
    std::string out;
    std::string err;
};

inline ToolOutcome runTool(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = tkcli::Run(args, out, err);
    return {status, out.str(), err.str()};
}

} // namespace harness
