// What every command of tk7713t is made of: a record with its name, help
// and operands, and one function that runs it. Cli.cpp parses the command
// line, checks what is common to all commands and hands over to run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/Dekl.h"
#include "cli/CliTexty.h"
#include "link/U_TK7713T.h"
#include "workflow/PripojeniLogika.h"

namespace tkcli {

// Input refused before anything was sent: a message and a hint where to look.
struct Failure {
    std::string message;
    bool refusedValue = false; // a value the dialogs refuse: no usage hint
    CliText hint = T_TRY_HELP;
};

// Option -> value.
using OptionValues = std::map<std::string, std::string, std::less<>>;

// The command line as parsed.
struct Arguments {
    OptionValues values;
    bool ipv6 = false;
    bool json = false;
    bool help = false;
    bool csv = false;    // history only
    bool follow = false; // stats only
    std::set<std::string, std::less<>> scanFlags;
    std::vector<std::string> positional; // the command word first
    std::vector<std::string> operands;   // after the command word

    // The option's value; null when it was not given.
    const std::string* value(std::string_view name) const {
        const auto it = values.find(name);
        return it == values.end() ? nullptr : &it->second;
    }
    bool given(std::string_view name) const { return values.find(name) != values.end(); }
};

// One run of the tool: its streams, language and converter.
struct Context {
    Context(std::ostream& o, std::ostream& e, bool terminal)
        : out(o), err(e), errIsTerminal(terminal) {}

    std::ostream& out;
    std::ostream& err;
    bool errIsTerminal = false;
    std::int32_t lang = LANG_EN;
    bool json = false;
    ConnectionControls controls; // from the options, for a command that connects
    bool deviceMapped = false;   // --device is mapped to a COM port number
    bool readerClosedOutput = false;
    TData dat;
    TTK7713T tk;
    ConnectionResult connection;
};

// What a command takes after its word; completion offers the same.
enum class Operand { None, Configuration, Assignments, File };

// Command-only options a command takes besides the common ones.
enum CommandOption : unsigned { kNoOptions = 0, kCsv = 1, kFollow = 2, kScanOptions = 4 };

struct Command {
    std::string_view name;
    CliText help;
    // Fills the help's "%s" (set lists its fields); null for none.
    std::string (*helpArgument)();
    Operand operand;
    std::size_t minOperands;
    std::size_t maxOperands; // kAnyCount = any number
    unsigned options;        // CommandOption bits
    // true: the connection options are read into Context::controls before
    // run; false: the command reads them itself (scan).
    bool connects;
    int (*run)(Context& ctx, const Arguments& a);
};

constexpr std::size_t kAnyCount = static_cast<std::size_t>(-1);

// "lan4|mbtcp|uartm|uarts" or "FILE", for messages.
constexpr std::string_view OperandName(Operand operand) {
    switch (operand) {
    case Operand::None:
        break;
    case Operand::Configuration:
    case Operand::Assignments:
        return "lan4|mbtcp|uartm|uarts";
    case Operand::File:
        return "FILE";
    }
    return "";
}

} // namespace tkcli
