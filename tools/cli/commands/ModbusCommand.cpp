#include "cli/commands/ModbusCommand.h"

#include <optional>
#include <ostream>

#include "cli/Cli.h"
#include "cli/commands/CommandSupport.h"
#include "cli/commands/ModbusOptions.h"
#include "cli/commands/ModbusSession.h"
#include "cli/commands/ModbusTexty.h"

namespace tkcli {

namespace {

// The subcommand after the checks they share.
int runSubcommand(Context& ctx, const ModbusArguments& a, ModbusSubcommand which,
                  const ModbusConnection& connection) {
    if (which == kModbusScan) {
        ModbusScanPlan plan;
        if (auto failure = ReadScanPlan(a, ctx.lang, plan)) {
            return Refuse(ctx, *failure);
        }
        return RunModbusScan(ctx, connection, plan);
    }
    ModbusRequestPlan plan;
    if (auto failure = ReadRequestPlan(a, which == kModbusWrite, ctx.lang, plan)) {
        return Refuse(ctx, *failure);
    }
    return RunModbusRequest(ctx, connection, plan);
}

} // namespace

bool IsModbusCommand(const std::vector<std::string>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() >= 2 && arg[0] == '-') {
            i += ModbusOptionTakesValue(arg) ? 1 : 0;
            continue;
        }
        return arg == "modbus";
    }
    return false;
}

int RunModbusCommand(Context& ctx, const std::vector<std::string>& args) {
    ModbusArguments a;
    if (auto failure = ParseModbusArguments(args, ctx.lang, a)) {
        return Refuse(ctx, *failure);
    }
    if (a.help) {
        ctx.out << modbus::Text(modbus::M_HELP, ctx.lang);
        return EXIT_OK;
    }
    ModbusSubcommand which{};
    std::optional<Failure> failure = ReadSubcommand(a, ctx.lang, which);
    ModbusConnection connection;
    if (!failure) {
        failure = ReadModbusConnection(a, ctx.lang, connection);
    }
    if (failure) {
        return Refuse(ctx, *failure);
    }
    ctx.json = a.flag("--json");
    return runSubcommand(ctx, a, which, connection);
}

} // namespace tkcli
