// The modbus command's runs against the converter's Modbus TCP server: one
// read or write, a polling run with its summary, a scan of the units.
// Ctrl-C ends a run cleanly; a polling run still prints its summary.
#pragma once

#include "cli/commands/Command.h"
#include "cli/commands/ModbusOptions.h"

namespace tkcli {

// Each returns the exit status.
int RunModbusRequest(Context& ctx, const ModbusConnection& connection,
                     const ModbusRequestPlan& plan);
int RunModbusScan(Context& ctx, const ModbusConnection& connection, const ModbusScanPlan& plan);

} // namespace tkcli
