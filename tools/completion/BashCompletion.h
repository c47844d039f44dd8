// A bash completion script for a program, from the words its command line
// takes.
#pragma once

#include <string>

#include "completion/CompletionWords.h"

namespace tkcompletion {

// The script for /usr/share/bash-completion/completions/<program>. Empty
// when a word holds a character the script would have to quote.
std::string BashScript(const Program& program);

} // namespace tkcompletion
