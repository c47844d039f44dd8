#include "cli/commands/RestartCommand.h"

#include "cli/Cli.h"
#include "cli/commands/CommandSupport.h"
#include "cli/commands/Connect.h"
#include "workflow/TextyOken.h"

namespace tkcli {

namespace {

int run(Context& ctx, const Arguments&) {
    if (const int status = Connect(ctx); status != EXIT_OK) {
        return status;
    }
    return RunControl(ctx, TK7713T_Restart,
                      RestartZarizeni::Text(RestartZarizeni::TEXT_RESTARTED, ctx.lang));
}

} // namespace

extern const Command kRestartCommand{"restart",  T_HELP_RESTART, nullptr, Operand::None, 0, 0,
                                     kNoOptions, true,           run};

} // namespace tkcli
