#include "cli/commands/ClearStatsCommand.h"

#include "cli/Cli.h"
#include "cli/commands/CommandSupport.h"
#include "cli/commands/Connect.h"

namespace tkcli {

namespace {

int run(Context& ctx, const Arguments&) {
    if (const int status = Connect(ctx); status != EXIT_OK) {
        return status;
    }
    return RunControl(ctx, TK7713T_VymazStatistiku, Text(T_STATISTICS_CLEARED, ctx.lang));
}

} // namespace

extern const Command kClearStatsCommand{
    "clear-stats", T_HELP_CLEAR_STATS, nullptr, Operand::None, 0, 0, kNoOptions, true, run};

} // namespace tkcli
