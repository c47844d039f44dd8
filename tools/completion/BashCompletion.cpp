#include "completion/BashCompletion.h"

#include <algorithm>
#include <string_view>

namespace tkcompletion {

namespace {

// The same in every script: bash reads each program's script when the
// program is first completed, so either may come first.
//
// The command line up to the cursor is split at blanks (COMP_WORDS splits
// at '=' too, which would lose NAME=VALUE). The program's data are the
// caller's locals: values (option -> its words, "@file", or empty for any
// text), flags, commands, arguments (command -> words or "@file") and
// fields ("command first" -> names, "command first name" -> words).
constexpr std::string_view kEngine = R"(_w_tk7713t_complete() {
    local line=${COMP_LINE:0:COMP_POINT}
    local -a words
    read -r -a words <<<"$line"
    local cur=''
    if [[ $line != *[[:space:]] ]]; then
        ((${#words[@]} > 1)) || return 0
        cur=${words[-1]}
        unset 'words[-1]'
    fi
    local -a positional=()
    local i word expecting=''
    for ((i = 1; i < ${#words[@]}; i++)); do
        word=${words[i]}
        if [[ -n $expecting ]]; then
            expecting=''
        elif [[ $word == -* ]]; then
            [[ $word != *=* && -n ${values[$word]+set} ]] && expecting=$word
        else
            positional+=("$word")
        fi
    done
    local -a candidates=()
    local spec='' prefix='' name value
    if [[ -n $expecting ]]; then
        spec=${values[$expecting]}
    elif [[ $cur == -*=* && -n ${values[${cur%%=*}]+set} ]]; then
        spec=${values[${cur%%=*}]}
        prefix=${cur%%=*}=
    elif [[ $cur == -* || ( ${#positional[@]} -eq 0 && -z $commands ) ]]; then
        candidates=("${!values[@]}" $flags)
    elif ((${#positional[@]} == 0)); then
        candidates=($commands)
    elif ((${#positional[@]} == 1)); then
        spec=${arguments[${positional[0]}]-}
    elif [[ -n ${fields[${positional[0]} ${positional[1]}]+set} ]]; then
        if [[ $cur == *=* ]]; then
            name=${cur%%=*}
            for value in ${fields[${positional[0]} ${positional[1]} $name]-}; do
                candidates+=("$name=$value")
            done
        else
            for name in ${fields[${positional[0]} ${positional[1]}]}; do
                candidates+=("$name=")
            done
        fi
    fi
    # The shell replaces only what follows the last '=' of the word.
    local head=''
    if [[ $COMP_WORDBREAKS == *=* ]]; then
        head=${cur%"${cur##*=}"}
    fi
    if [[ $spec == @file ]]; then
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "${cur#"$prefix"}")
        [[ -z $head ]] && COMPREPLY=("${COMPREPLY[@]/#/$prefix}")
        return 0
    fi
    for value in $spec; do
        candidates+=("$prefix$value")
    done
    mapfile -t COMPREPLY < <(compgen -W "${candidates[*]}" -- "$cur")
    COMPREPLY=("${COMPREPLY[@]#"$head"}")
    # NAME= waits for its value.
    if ((${#COMPREPLY[@]} == 1)) && [[ ${COMPREPLY[0]} == *= ]]; then
        compopt -o nospace 2>/dev/null
    fi
    return 0
}
)";

// Words go into the script unquoted: letters, digits and . _ - = only.
bool plain(std::string_view word) {
    return !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '_' || c == '-' || c == '=';
    });
}

bool allPlain(const std::vector<std::string>& words) {
    return std::all_of(words.begin(), words.end(), plain);
}

std::string joined(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& w : words) {
        out += out.empty() ? "" : " ";
        out += w;
    }
    return out;
}

// One entry of an associative array: [key]='words'.
std::string entry(const std::string& key, const std::string& words) {
    return "        [" + key + "]='" + words + "'\n";
}

} // namespace

std::string BashScript(const Program& program) {
    if (!plain(program.name)) {
        return {};
    }
    std::string function = "_" + program.name;
    std::replace(function.begin(), function.end(), '-', '_');

    std::string values;
    std::vector<std::string> flags;
    for (const Option& o : program.options) {
        if (!plain(o.name) || !allPlain(o.values)) {
            return {};
        }
        if (!o.takesValue) {
            flags.push_back(o.name);
        } else {
            values += entry(o.name, o.fileValue ? "@file" : joined(o.values));
        }
    }
    std::vector<std::string> commands;
    std::string arguments;
    std::string fields;
    for (const Command& c : program.commands) {
        if (!plain(c.name) || !allPlain(c.argument)) {
            return {};
        }
        commands.push_back(c.name);
        if (c.fileArgument || !c.argument.empty()) {
            arguments += entry(c.name, c.fileArgument ? "@file" : joined(c.argument));
        }
        for (const auto& [first, list] : c.fields) {
            std::vector<std::string> names;
            for (const Field& f : list) {
                if (!plain(f.name) || !allPlain(f.values)) {
                    return {};
                }
                names.push_back(f.name);
                if (!f.values.empty()) {
                    fields +=
                        entry("'" + c.name + " " + first + " " + f.name + "'", joined(f.values));
                }
            }
            if (!plain(first)) {
                return {};
            }
            fields += entry("'" + c.name + " " + first + "'", joined(names));
        }
    }

    std::string out = "# bash completion for " + program.name +
                      ", written by the build from the tables its command line\n"
                      "# is parsed with.\n\n";
    out += kEngine;
    out += "\n" + function + "() {\n";
    out += "    local -A values=(\n" + values + "    )\n";
    out += "    local flags='" + joined(flags) + "'\n";
    out += "    local commands='" + joined(commands) + "'\n";
    out += "    local -A arguments=(\n" + arguments + "    )\n";
    out += "    local -A fields=(\n" + fields + "    )\n";
    out += "    _w_tk7713t_complete\n}\n";
    out += "complete -F " + function + " " + program.name + "\n";
    return out;
}

} // namespace tkcompletion
