// The command-line tool tk7713t: argument handling, the commands and their
// output. main() only forwards its arguments here, so tests run the whole
// tool in-process.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tkcli {

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;       // connection error, failed transfer, verification error
constexpr int EXIT_USAGE = 2;        // invalid input or usage
constexpr int EXIT_UNSUPPORTED = 3;  // unsupported converter

// Runs the tool with its arguments (without the program name). Results go
// to out, messages to err; errIsTerminal lets progress redraw one line in
// place. Returns the exit status.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        bool errIsTerminal = false);

}  // namespace tkcli
