// What a program's command line takes, as its own parser takes it; the
// shell completion is written from this, so the two cannot disagree.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tkcompletion {

struct Option {
    std::string name; // "--lang"
    bool takesValue = false;
    bool fileValue = false;          // the value names a file
    std::vector<std::string> values; // words the value is one of, if any
};

// NAME=VALUE arguments that follow a command's first argument.
struct Field {
    std::string name;
    std::vector<std::string> values; // empty: any text
};

struct Command {
    std::string name;
    std::vector<std::string> argument; // words for the first argument
    bool fileArgument = false;
    // By first argument: the fields the NAME=VALUE arguments after it name.
    std::vector<std::pair<std::string, std::vector<Field>>> fields;
};

struct Program {
    std::string name; // "tk7713t"
    std::vector<Option> options;
    std::vector<Command> commands; // none: options only
};

} // namespace tkcompletion
