#include "cli/commands/InfoCommand.h"

#include <ostream>

#include "cli/Cli.h"
#include "cli/commands/CommandSupport.h"
#include "cli/commands/Connect.h"
#include "workflow/DiagnostikaLogika.h"
#include "workflow/TextyOken.h"

namespace tkcli {

namespace {

int run(Context& ctx, const Arguments&) {
    TTK7713T_SysBin sys;
    if (const int status = ConnectAndRead(ctx, TK7713T_PrectiSys, sys); status != EXIT_OK) {
        return status;
    }
    if (ctx.json) {
        PrintJson(ctx, SysJson(sys));
        return EXIT_OK;
    }
    for (const InfoRow& row : InfoRows(sys)) {
        ctx.out << DiagSystem::Text(row.LabelId, ctx.lang) << ": " << DisplayText(row.Value)
                << "\n";
    }
    return EXIT_OK;
}

} // namespace

extern const Command kInfoCommand{"info",     T_HELP_INFO, nullptr, Operand::None, 0, 0,
                                  kNoOptions, true,        run};

} // namespace tkcli
