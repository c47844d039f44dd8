// The command-line tool tk7713t: argument handling, the commands and their
// output. main() only forwards its arguments here, so tests run the whole
// tool in-process.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "completion/CompletionWords.h"

namespace tkcli {

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;      // connection error, failed transfer, verification error
constexpr int EXIT_USAGE = 2;       // invalid input or usage
constexpr int EXIT_UNSUPPORTED = 3; // unsupported converter

// Runs the tool with its arguments (without the program name). Results go
// to out, messages to err; errIsTerminal lets progress redraw one line in
// place. Returns the exit status.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        bool errIsTerminal = false);

// The words the command line takes, from the tables it is parsed with:
// commands, options with their values, files and fields of set.
tkcompletion::Program CompletionWords();

} // namespace tkcli
