#include "cli/Cli.h"
#include "cli/Console.h"
#include "platform/StandardDescriptors.h"

int main(int argc, char** argv) {
    platform::ensureStandardDescriptors();
    tkcli::IgnoreBrokenPipeSignal();
    std::ostream& err = tkcli::ConsoleErr();
    return tkcli::RunGuarded(
        [&] {
            return tkcli::Run(tkcli::CommandLineUtf8(argc, argv), tkcli::ConsoleOut(), err,
                              tkcli::ErrIsTerminal());
        },
        err);
}
