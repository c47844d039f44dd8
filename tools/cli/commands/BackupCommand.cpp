#include "cli/commands/BackupCommand.h"

#include <ostream>

#include "cli/Cli.h"
#include "cli/commands/CommandSupport.h"
#include "cli/commands/Connect.h"
#include "platform/ProfileFile.h"

namespace tkcli {

namespace {

int run(Context& ctx, const Arguments& a) {
    if (const int status = Connect(ctx); status != EXIT_OK) {
        return status;
    }
    const std::string& path = a.operands[0];
    json::Value doc = json::Value::object();
    doc.add("TypVerze", json::Value::bytes(ctx.dat.TypVerze));
    doc.add("VyrCislo", json::Value::bytes(ctx.dat.VyrCislo));
    for (ConfigDialog d :
         {ConfigDialog::Lan4, ConfigDialog::Mbtcp, ConfigDialog::Uartm, ConfigDialog::Uarts}) {
        TCFGTK cfg = VychoziCFGTK();
        if (PrectiData(d, cfg, &ctx.dat, ctx.tk, ctx.lang, NoPause()).Outcome !=
            ReadOutcome::Read) {
            return Fail(ctx, EXIT_FAILED,
                        std::string(FileName(d)) + ": " + ConnectionError(ctx.lang));
        }
        doc.add(std::string(FileName(d)), ConfigJson(d, cfg));
    }
    const std::string text = json::write(doc);
    if (path == "-") {
        ctx.out << text;
        return EXIT_OK;
    }
    // Replaced only as a whole, so a failed backup never destroys an older one.
    if (!platform::replaceFileContents(path, text)) {
        return Fail(ctx, EXIT_USAGE, Format(T_CANNOT_WRITE_FILE, ctx.lang, {path}));
    }
    if (ctx.json) {
        ctx.out << text;
    } else {
        ctx.out << Format(T_BACKUP_WRITTEN, ctx.lang, {path}) << "\n";
    }
    return EXIT_OK;
}

} // namespace

extern const Command kBackupCommand{"backup",   T_HELP_BACKUP, nullptr, Operand::File, 1, 1,
                                    kNoOptions, true,          run};

} // namespace tkcli
