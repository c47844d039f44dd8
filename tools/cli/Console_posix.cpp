#include "cli/Console.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <iostream>

namespace tkcli {

// Terminals here take UTF-8 bytes as they are.
std::vector<std::string> CommandLineUtf8(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void IgnoreBrokenPipeSignal() {
    std::signal(SIGPIPE, SIG_IGN);
}

bool ReadAnswerLine(std::string& line) {
    // The handler installed stays; only SA_RESTART goes, so that the read
    // returns EINTR instead of waiting on.
    struct sigaction installed {};
    ::sigaction(SIGINT, nullptr, &installed);
    struct sigaction interrupting = installed;
    interrupting.sa_flags &= ~SA_RESTART;
    ::sigaction(SIGINT, &interrupting, nullptr);
    const bool read = static_cast<bool>(std::getline(std::cin, line));
    ::sigaction(SIGINT, &installed, nullptr);
    if (!read) {
        std::cin.clear();
        std::clearerr(stdin);
    }
    return read;
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

} // namespace tkcli
