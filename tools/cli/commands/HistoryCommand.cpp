#include "cli/commands/HistoryCommand.h"

#include <ostream>

#include "cli/Cli.h"
#include "cli/commands/CommandSupport.h"
#include "cli/commands/Connect.h"
#include "workflow/DiagnostikaLogika.h"

namespace tkcli {

namespace {

int run(Context& ctx, const Arguments& a) {
    TTK7713T_MmrgvBin m;
    if (const int status = ConnectAndRead(ctx, TK7713T_PrectiMmrgv, m); status != EXIT_OK) {
        return status;
    }
    if (ctx.json) {
        PrintJson(ctx, MmrgvJson(m));
        return EXIT_OK;
    }
    if (a.csv) {
        ctx.out << HistoryCsv(m);
        return EXIT_OK;
    }
    for (std::uint8_t sample : m.PoleDat) {
        ctx.out << static_cast<unsigned>(sample) << "\n";
    }
    return EXIT_OK;
}

} // namespace

extern const Command kHistoryCommand{"history", T_HELP_HISTORY, nullptr, Operand::None, 0, 0,
                                     kCsv,      true,           run};

} // namespace tkcli
