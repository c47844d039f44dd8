#include "cli/commands/SetCommand.h"

#include <ostream>

#include "cli/Cli.h"
#include "cli/commands/CommandSupport.h"
#include "cli/commands/Connect.h"

namespace tkcli {

namespace {

// Every refusal of set points to set --help, which lists names and values.
Failure refused(std::string message) {
    return {std::move(message), false, T_TRY_HELP_SET};
}

std::optional<Failure> assignment(ConfigDialog dialog, const std::string& arg,
                                  std::vector<Assignment>& assignments, std::int32_t lang) {
    const auto eq = arg.find('=');
    if (eq == std::string::npos || eq == 0) {
        return refused(Format(T_NOT_NAME_VALUE, lang, {arg}));
    }
    const std::string name = arg.substr(0, eq);
    const NamedField named = FindSetField(dialog, name);
    if (named.field == nullptr) {
        return refused(Format(T_UNKNOWN_FIELD, lang, {name, SetFieldList(dialog)}));
    }
    for (const Assignment& earlier : assignments) {
        if (earlier.field.field == named.field) {
            return refused(Format(T_FIELD_TWICE, lang, {name}));
        }
    }
    assignments.push_back({named, arg.substr(eq + 1)});
    return std::nullopt;
}

// Validation that needs no converter: done before connecting, so that
// refused input sends nothing at all.
std::optional<Failure> prepare(const std::vector<std::string>& operands, ConfigDialog& dialog,
                               std::vector<Assignment>& assignments, std::int32_t lang) {
    if (!ConfigByName(operands[0], dialog)) {
        return refused(Format(T_UNKNOWN_CONFIGURATION, lang, {operands[0]}));
    }
    if (operands.size() < 2) {
        return refused(Text(T_NOTHING_TO_SET, lang));
    }
    for (std::size_t i = 1; i < operands.size(); ++i) {
        if (auto failure = assignment(dialog, operands[i], assignments, lang)) {
            return failure;
        }
    }
    // The named values checked against a configuration whose other fields
    // are valid, so any refusal is theirs.
    TCFGTK scratch = VychoziCFGTK();
    AllControls c = ControlsOf(scratch);
    if (auto failure = ApplyAll(assignments, c, lang)) {
        return refused(failure->message);
    }
    const Verdict v = Validate(dialog, c, scratch, lang);
    if (!v.Accepted) {
        return refused(Bare(v.StatusLine));
    }
    return std::nullopt;
}

int run(Context& ctx, const Arguments& a) {
    ConfigDialog dialog = ConfigDialog::Lan4;
    std::vector<Assignment> assignments;
    if (auto failure = prepare(a.operands, dialog, assignments, ctx.lang)) {
        return Refuse(ctx, *failure);
    }
    if (const int status = Connect(ctx); status != EXIT_OK) {
        return status;
    }
    TCFGTK cfg = VychoziCFGTK();
    if (PrectiData(dialog, cfg, &ctx.dat, ctx.tk, ctx.lang, NoPause()).Outcome !=
        ReadOutcome::Read) {
        return Fail(ctx, EXIT_FAILED, ConnectionError(ctx.lang));
    }
    AllControls c = ControlsOf(cfg);
    if (auto failure = ApplyAll(assignments, c, ctx.lang)) {
        return Fail(ctx, EXIT_USAGE, failure->message);
    }
    // The converter's own values of the fields not named are judged too.
    const Verdict v = Validate(dialog, c, cfg, ctx.lang);
    if (!v.Accepted) {
        return Fail(ctx, EXIT_USAGE, Bare(v.StatusLine));
    }
    const WriteResult w = ZapisData(dialog, cfg, &ctx.dat, ctx.tk, ctx.lang, NoPause());
    if (w.Outcome != WriteOutcome::Written) {
        return WriteFailed(ctx, dialog, w, cfg, "");
    }
    if (ctx.json) {
        PrintJson(ctx, ConfigJson(dialog, w.ReadBack));
    } else {
        ctx.out << Bare(w.StatusLines.back()) << "\n";
    }
    return EXIT_OK;
}

} // namespace

extern const Command kSetCommand{
    "set", T_HELP_SET, SetFieldsHelp, Operand::Assignments, 1, kAnyCount, kNoOptions, true, run};

} // namespace tkcli
