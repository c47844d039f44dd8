// The bash completion the build writes for tk7713t and tk7713t-sim, run by
// bash itself as the shell runs it for a command line typed so far; and the
// help texts, which must name exactly the options the parsers take.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "sim/Options.h"
#include "support/TempFolder.h"
#include "tools/ToolRun.h"

extern char** environ;

namespace {

using Words = std::set<std::string>;

const std::string kScripts = std::string(TK_BINARY_DIR) + "/tools/completion/bash/";

// What the completion function answers for the line typed so far (cursor
// at its end), with the shell's default word breaks.
Words complete(const std::string& program, const std::string& line) {
    const std::string script = kScripts + program;
    std::string function = "_" + program;
    std::replace(function.begin(), function.end(), '-', '_');
    const std::string code = "source \"$1\" && complete -p " + program +
                             " >/dev/null && COMP_LINE=$2 && COMP_POINT=${#2} && " + function +
                             " && printf '%s\\n' \"${COMPREPLY[@]}\"";
    std::vector<std::string> args{"bash", "--norc", "--noprofile", "-c",
                                  code,   "bash",   script,        line};
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    int out[2];
    if (::pipe(out) != 0) {
        return {"pipe failed"};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, "bash", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    int status = -1;
    if (spawned != 0 || ::waitpid(pid, &status, 0) != pid || status != 0) {
        return {"bash failed"};
    }
    Words words;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        if (end > start) {
            words.insert(text.substr(start, end - start));
        }
    }
    return words;
}

struct CompletionCase {
    const char* program;
    const char* line;
    Words expected;
};

void PrintTo(const CompletionCase& c, std::ostream* os) {
    *os << c.line;
}

class Completion : public ::testing::TestWithParam<CompletionCase> {};

TEST_P(Completion, Answers) {
    EXPECT_EQ(complete(GetParam().program, GetParam().line), GetParam().expected);
}

const Words kUartmNames{
    "baud=", "parity=", "timeout=", "retries=", "KodBaud=", "KodParita=", "Timeout=", "Opakovani="};

INSTANTIATE_TEST_SUITE_P(
    Lines, Completion,
    ::testing::Values(
        CompletionCase{"tk7713t", "tk7713t re", {"restart", "restore"}},
        CompletionCase{"tk7713t", "tk7713t --la", {"--lan", "--lan-timeout", "--lang"}},
        CompletionCase{"tk7713t", "tk7713t --lang ", {"en", "cs"}},
        CompletionCase{"tk7713t", "tk7713t --lang=c", {"cs"}},
        CompletionCase{"tk7713t", "tk7713t --trace=", {"hex"}},
        CompletionCase{"tk7713t", "tk7713t --com 3 --parity ", {"none", "even", "odd"}},
        CompletionCase{"tk7713t", "tk7713t --com 3 --baud 1", {"19200", "115200"}},
        CompletionCase{"tk7713t", "tk7713t get ", {"lan4", "mbtcp", "uartm", "uarts"}},
        // An option's value is not taken for the command.
        CompletionCase{"tk7713t", "tk7713t --lan 127.0.0.1 set ua", {"uartm", "uarts"}},
        CompletionCase{"tk7713t", "tk7713t set uartm ", kUartmNames},
        CompletionCase{"tk7713t", "tk7713t set uartm baud=115200 pa", {"parity="}},
        CompletionCase{"tk7713t", "tk7713t set uartm parity=", {"none", "even", "odd"}},
        CompletionCase{"tk7713t", "tk7713t set uarts baud=11", {"115200"}},
        CompletionCase{"tk7713t", "tk7713t set uarts routing=o", {"off", "on"}},
        CompletionCase{"tk7713t", "tk7713t set lan4 dhcp=", {"off", "on"}},
        CompletionCase{
            "tk7713t", "tk7713t set mbtcp ", {"unit-id=", "timeout=", "UnitID=", "Timeout="}},
        CompletionCase{"tk7713t", "tk7713t set uartm KodParita=", {"0", "1", "2"}},
        CompletionCase{"tk7713t", "tk7713t set uartm timeout=", {}},
        CompletionCase{"tk7713t", "tk7713t set eth0 ", {}},
        CompletionCase{"tk7713t", "tk7713t identify ", {}},
        CompletionCase{"tk7713t-sim", "tk7713t-sim --par", {"--parity"}},
        CompletionCase{"tk7713t-sim", "tk7713t-sim --parity ", {"0", "1", "2"}},
        CompletionCase{"tk7713t-sim", "tk7713t-sim --baud 9", {"9600"}},
        CompletionCase{"tk7713t-sim",
                       "tk7713t-sim --no-",
                       {"--no-tftp", "--no-rtu", "--no-oack", "--no-mbtcp"}}),
    [](const ::testing::TestParamInfo<CompletionCase>& i) {
        return "Case" + std::to_string(i.index);
    });

// The full lists come from the parsers' tables: nothing more, nothing less.
TEST(CompletionLists, CommandsAndEveryOption) {
    const tkcompletion::Program cli = tkcli::CompletionWords();
    Words commands;
    for (const auto& c : cli.commands) {
        commands.insert(c.name);
    }
    EXPECT_EQ(complete("tk7713t", "tk7713t "), commands);
    Words options;
    for (const auto& o : cli.options) {
        options.insert(o.name);
    }
    EXPECT_EQ(complete("tk7713t", "tk7713t -"), options);
    Words simOptions;
    for (const auto& [name, takesValue] : tksim::optionNames()) {
        simOptions.insert(name);
    }
    EXPECT_EQ(complete("tk7713t-sim", "tk7713t-sim "), simOptions);
}

TEST(CompletionLists, FileNames) {
    const support::TempFolder folder("completion");
    ASSERT_FALSE(folder.path().empty());
    const std::string dir = folder.path() + "/";
    for (const char* name : {"converter.json", "conf.json", "other"}) {
        std::ofstream(dir + name) << "{}";
    }
    const Words json{dir + "converter.json", dir + "conf.json"};
    EXPECT_EQ(complete("tk7713t", "tk7713t restore " + dir + "con"), json);
    EXPECT_EQ(complete("tk7713t", "tk7713t --device " + dir + "o"), Words{dir + "other"});
    EXPECT_EQ(complete("tk7713t-sim", "tk7713t-sim --link " + dir + "c"), json);
}

// Every --option a help text names, without the =value part.
Words optionsNamedIn(const std::string& text) {
    Words words;
    const std::regex option("--[a-z][a-z0-9-]*");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option);
         it != std::sregex_iterator(); ++it) {
        words.insert(it->str());
    }
    return words;
}

TEST(HelpTexts, NameExactlyTheOptionsTheParsersTake) {
    const tkcompletion::Program cli = tkcli::CompletionWords();
    Words taken;
    for (const auto& o : cli.options) {
        if (o.name.rfind("--", 0) == 0 && o.name.find('=') == std::string::npos) {
            taken.insert(o.name);
        }
    }
    for (const char* lang : {"en", "cs"}) {
        std::string help = harness::runTool({"--lang", lang, "--help"}).out;
        for (const auto& c : cli.commands) {
            help += harness::runTool({"--lang", lang, c.name, "--help"}).out;
        }
        EXPECT_EQ(optionsNamedIn(help), taken) << lang;
    }
    Words simTaken;
    for (const auto& [name, takesValue] : tksim::optionNames()) {
        if (name.rfind("--", 0) == 0) {
            simTaken.insert(name);
        }
    }
    EXPECT_EQ(optionsNamedIn(tksim::usageText()), simTaken);
}

} // namespace
