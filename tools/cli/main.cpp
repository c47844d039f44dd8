#include "cli/Cli.h"
#include "cli/Console.h"

int main(int argc, char** argv) {
    tkcli::IgnoreBrokenPipeSignal();
    std::ostream& err = tkcli::ConsoleErr();
    return tkcli::RunGuarded(
        [&] { return tkcli::Run(tkcli::CommandLineUtf8(argc, argv), tkcli::ConsoleOut(), err); },
        err);
}
