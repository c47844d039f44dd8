#include "cli/Console.h"

#include <unistd.h>

#include <csignal>
#include <iostream>

namespace tkcli {

// Terminals here take UTF-8 bytes as they are.
std::vector<std::string> CommandLineUtf8(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void IgnoreBrokenPipeSignal() {
    std::signal(SIGPIPE, SIG_IGN);
}

bool ErrIsTerminal() {
    return ::isatty(2) == 1;
}

std::ostream& ConsoleOut() {
    return std::cout;
}
std::ostream& ConsoleErr() {
    return std::cerr;
}

}  // namespace tkcli
