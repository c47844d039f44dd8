#include "cli/commands/IdentifyCommand.h"

#include <ostream>

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
    if (ctx.json) {
        json::Value o = json::Value::object();
        o.add("TypVerze", json::Value::bytes(ctx.dat.TypVerze));
        o.add("TypModulu", json::Value::bytes(ctx.dat.TypModulu));
        o.add("VerzeModulu", json::Value::bytes(ctx.dat.VerzeModulu));
        o.add("VyrCislo", json::Value::bytes(ctx.dat.VyrCislo));
        PrintJson(ctx, o);
    } else {
        ctx.out << WithTypeAndVersion(ctx, Pripojeni::Text(Pripojeni::TEXT_CONNECTED, ctx.lang))
                << "\n"
                << DiagSystem::Text(DiagSystem::TEXT_SERIAL_NUMBER, ctx.lang) << ": "
                << DisplayText(ctx.dat.VyrCislo) << "\n";
    }
    return EXIT_OK;
}

} // namespace

extern const Command kIdentifyCommand{
    "identify", T_HELP_IDENTIFY, nullptr, Operand::None, 0, 0, kNoOptions, true, run};

} // namespace tkcli
