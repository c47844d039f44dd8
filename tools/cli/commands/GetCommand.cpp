#include "cli/commands/GetCommand.h"

#include <ostream>

#include "cli/Cli.h"
#include "cli/commands/CommandSupport.h"
#include "cli/commands/Connect.h"

namespace tkcli {

namespace {

int run(Context& ctx, const Arguments& a) {
    ConfigDialog dialog = ConfigDialog::Lan4;
    if (!ConfigByName(a.operands[0], dialog)) {
        return Refuse(ctx, {Format(T_UNKNOWN_CONFIGURATION, ctx.lang, {a.operands[0]})});
    }
    if (const int status = Connect(ctx); status != EXIT_OK) {
        return status;
    }
    TCFGTK cfg = VychoziCFGTK();
    const ReadResult r = PrectiData(dialog, cfg, &ctx.dat, ctx.tk, ctx.lang, NoPause());
    if (r.Outcome != ReadOutcome::Read) {
        return Fail(ctx, EXIT_FAILED, ConnectionError(ctx.lang));
    }
    const json::Value v = ConfigJson(dialog, cfg);
    if (ctx.json) {
        PrintJson(ctx, v);
        return EXIT_OK;
    }
    for (const auto& [name, value] : v.members) {
        ctx.out << name << "=" << ScalarText(value) << "\n";
    }
    return EXIT_OK;
}

} // namespace

extern const Command kGetCommand{"get",      T_HELP_GET, nullptr, Operand::Configuration, 1, 1,
                                 kNoOptions, true,       run};

} // namespace tkcli
