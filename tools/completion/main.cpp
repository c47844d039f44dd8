// Writes the bash completion scripts of tk7713t and tk7713t-sim into the
// folder given, from the option tables the two programs parse with.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "cli/Cli.h"
#include "completion/BashCompletion.h"
#include "sim/Options.h"
#include "sim/RtuSlave.h"

namespace {

// The simulator's table knows only names; what its values are is told here,
// and an option of this list that the simulator no longer has stops the build.
tkcompletion::Program simulatorWords(std::string& error) {
    tkcompletion::Program p;
    p.name = "tk7713t-sim";
    std::vector<std::string> rates;
    for (int code = 0; code <= 8; ++code) {
        rates.push_back(std::to_string(tksim::baudRateOf(code)));
    }
    const std::pair<std::string, tkcompletion::Option> known[] = {
        {"--baud", {"--baud", true, false, rates}},
        {"--parity", {"--parity", true, false, {"0", "1", "2"}}},
        {"--serial", {"--serial", true, true, {}}},
        {"--link", {"--link", true, true, {}}},
    };
    for (const auto& [name, takesValue] : tksim::optionNames()) {
        tkcompletion::Option option{name, takesValue, false, {}};
        for (const auto& [knownName, words] : known) {
            if (knownName == name) {
                option = words;
            }
        }
        p.options.push_back(option);
    }
    for (const auto& [knownName, words] : known) {
        bool found = false;
        for (const tkcompletion::Option& o : p.options) {
            found = found || o.name == knownName;
        }
        if (!found) {
            error = "tk7713t-sim has no option " + knownName;
        }
    }
    return p;
}

bool write(const std::string& folder, const tkcompletion::Program& program) {
    const std::string script = tkcompletion::BashScript(program);
    if (script.empty()) {
        std::cerr << "tk7713t-completion: a word of " << program.name << " needs quoting\n";
        return false;
    }
    std::ofstream file(folder + "/" + program.name, std::ios::binary);
    file << script;
    return static_cast<bool>(file.flush());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: tk7713t-completion FOLDER\n";
        return 2;
    }
    std::string error;
    const tkcompletion::Program sim = simulatorWords(error);
    if (!error.empty()) {
        std::cerr << "tk7713t-completion: " << error << "\n";
        return 1;
    }
    return write(argv[1], tkcli::CompletionWords()) && write(argv[1], sim) ? 0 : 1;
}
