#include "cli/Cli.h"

#include <iterator>
#include <optional>
#include <ostream>

#include "BuildInfo.h"
#include "cli/CliTexty.h"
#include "cli/CliTrace.h"
#include "cli/CliZaznamy.h"
#include "cli/Options.h"
#include "cli/commands/BackupCommand.h"
#include "cli/commands/ClearStatsCommand.h"
#include "cli/commands/CommandSupport.h"
#include "cli/commands/Connect.h"
#include "cli/commands/GetCommand.h"
#include "cli/commands/HistoryCommand.h"
#include "cli/commands/IdentifyCommand.h"
#include "cli/commands/InfoCommand.h"
#include "cli/commands/ModbusCommand.h"
#include "cli/commands/RestartCommand.h"
#include "cli/commands/RestoreCommand.h"
#include "cli/commands/ScanCommand.h"
#include "cli/commands/SetCommand.h"
#include "cli/commands/StatsCommand.h"

namespace tkcli {

namespace {

// In the order help and completion list them.
const Command* const kCommands[] = {
    &kIdentifyCommand, &kInfoCommand,    &kStatsCommand,   &kHistoryCommand,
    &kGetCommand,      &kSetCommand,     &kRestartCommand, &kClearStatsCommand,
    &kBackupCommand,   &kRestoreCommand, &kScanCommand,
};

const Command* findCommand(std::string_view name) {
    for (const Command* c : kCommands) {
        if (c->name == name) {
            return c;
        }
    }
    return nullptr;
}

std::optional<Failure> checkOperands(const Command& command, const Arguments& a,
                                     std::int32_t lang) {
    if (a.operands.size() < command.minOperands) {
        return Failure{
            Format(T_MISSING_ARGUMENT, lang, {command.name, OperandName(command.operand)}), false,
            command.operand == Operand::Assignments ? T_TRY_HELP_SET : T_TRY_HELP};
    }
    if (command.maxOperands != kAnyCount && a.operands.size() > command.maxOperands) {
        return Failure{Format(T_UNEXPECTED_ARGUMENT, lang, {a.operands[command.maxOperands]})};
    }
    return std::nullopt;
}

// Options that belong to some commands only.
std::optional<Failure> checkCommandOptions(const Command& command, const Arguments& a,
                                           std::int32_t lang) {
    const auto notFor = [lang](std::string_view name, std::string_view commandName) {
        return Failure{Format(T_OPTION_NOT_FOR_COMMAND, lang, {name, commandName})};
    };
    if (a.csv && (command.options & kCsv) == 0) {
        return notFor("--csv", command.name);
    }
    if (a.csv && a.json) {
        return notFor("--json", "history --csv");
    }
    if (a.follow && (command.options & kFollow) == 0) {
        return notFor("--follow", command.name);
    }
    if ((command.options & kScanOptions) != 0) {
        return std::nullopt;
    }
    for (const ToolOption& o : kToolOptions) {
        if (o.scanOnly && a.given(o.name)) {
            return Failure{Format(T_OPTION_ONLY_SCAN, lang, {o.name})};
        }
    }
    if (!a.scanFlags.empty()) {
        return Failure{Format(T_OPTION_ONLY_SCAN, lang, {*a.scanFlags.begin()})};
    }
    return std::nullopt;
}

// The command named, its help, or the first refusal of the arguments.
int runCommand(Context& ctx, Arguments& a) {
    if (a.positional.empty()) {
        if (a.help) {
            ctx.out << Text(T_HELP_TOOL, ctx.lang);
            return EXIT_OK;
        }
        return Refuse(ctx, {Text(T_MISSING_COMMAND, ctx.lang)});
    }
    const Command* command = findCommand(a.positional.front());
    if (command == nullptr) {
        return Refuse(ctx, {Format(T_UNKNOWN_COMMAND, ctx.lang, {a.positional.front()})});
    }
    if (a.help) {
        ctx.out << (command->helpArgument != nullptr
                        ? Format(command->help, ctx.lang, {command->helpArgument()})
                        : Text(command->help, ctx.lang));
        return EXIT_OK;
    }
    a.operands.assign(a.positional.begin() + 1, a.positional.end());
    std::optional<Failure> failure = checkOperands(*command, a, ctx.lang);
    if (!failure) {
        failure = checkCommandOptions(*command, a, ctx.lang);
    }
    const PortScope port(ctx);
    if (!failure && command->connects) {
        failure = ReadConnectionOptions(a, ctx, ctx.controls);
    }
    if (failure) {
        return Refuse(ctx, *failure);
    }
    return command->run(ctx, a);
}

int runTool(Context& ctx, const std::vector<std::string>& args) {
    // --version answers alone, like --help, whatever else is given.
    for (const std::string& arg : args) {
        if (arg == kVersionOption) {
            ctx.out << "tk7713t " << buildinfo::kVersion << "\n";
            return EXIT_OK;
        }
    }
    ctx.lang = LanguageOf(args);
    if (IsModbusCommand(args)) {
        return RunModbusCommand(ctx, args);
    }
    Arguments a;
    if (auto failure = ParseArguments(args, ctx.lang, a)) {
        return Refuse(ctx, *failure);
    }
    ctx.json = a.json;
    return runCommand(ctx, a);
}

// Output that never arrived is no success: a full disk or a closed
// standard output ends with status 1.
int checkOutput(const Context& ctx, int status) {
    if (ctx.readerClosedOutput || ctx.out.flush()) {
        return status;
    }
    ctx.err << "tk7713t: " << Text(T_CANNOT_WRITE_OUTPUT, ctx.lang) << "\n";
    return status == EXIT_OK ? EXIT_FAILED : status;
}

tkcompletion::Option completionOption(const ToolOption& o) {
    tkcompletion::Option option{
        std::string(o.name), o.value != OptionValue::None, o.value == OptionValue::File, {}};
    switch (o.value) {
    case OptionValue::Language:
        option.values.assign(std::begin(kLanguages), std::end(kLanguages));
        break;
    case OptionValue::Parity:
        option.values.assign(std::begin(kParityWords), std::end(kParityWords));
        break;
    case OptionValue::Baud:
        option.values.assign(kBaudWords.begin(), kBaudWords.end());
        break;
    case OptionValue::None:
    case OptionValue::Plain:
    case OptionValue::File:
        break;
    }
    return option;
}

} // namespace

tkcompletion::Program CompletionWords() {
    tkcompletion::Program p;
    p.name = "tk7713t";
    for (const ToolOption& o : kToolOptions) {
        p.options.push_back(completionOption(o));
    }
    p.options.push_back({"-h", false, false, {}});
    p.options.push_back({std::string(kVersionOption), false, false, {}});
    for (std::string_view trace : kTraceOptions) {
        p.options.push_back({std::string(trace), false, false, {}});
    }
    std::vector<std::string> configs;
    std::vector<std::pair<std::string, std::vector<tkcompletion::Field>>> fields;
    for (ConfigDialog d :
         {ConfigDialog::Lan4, ConfigDialog::Mbtcp, ConfigDialog::Uartm, ConfigDialog::Uarts}) {
        configs.emplace_back(ConfigName(d));
        std::vector<tkcompletion::Field> names;
        for (const bool alias : {true, false}) {
            for (const FieldSpec& f : Fields(d)) {
                names.push_back({std::string(alias ? f.alias : f.name), ChoiceValues(f, alias)});
            }
        }
        fields.emplace_back(configs.back(), std::move(names));
    }
    for (const Command* c : kCommands) {
        tkcompletion::Command command{std::string(c->name), {}, c->operand == Operand::File, {}};
        if (c->operand == Operand::Configuration || c->operand == Operand::Assignments) {
            command.argument = configs;
        }
        if (c->operand == Operand::Assignments) {
            command.fields = fields;
        }
        p.commands.push_back(std::move(command));
    }
    return p;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        bool errIsTerminal) {
    std::vector<std::string> rest = args;
    const TraceMode mode = TakeTraceOption(rest);
    std::optional<linktrace::TrafficTracer> tracer;
    if (mode != TraceMode::Off) {
        tracer.emplace([&err](const std::string& line) { err << line << '\n'; },
                       mode == TraceMode::Hex);
    }
    Context ctx{out, err, errIsTerminal};
    return checkOutput(ctx, runTool(ctx, rest));
}

} // namespace tkcli
