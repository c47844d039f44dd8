// What the modbus command prints: text, or JSON with --json (one document,
// or one object per line when polling).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "cli/commands/Command.h"
#include "link/M_ModbusTCP.h"
#include "workflow/GatewayTestLogic.h"

namespace tkcli {

// What the failure messages name: the server and the wait for its answer.
struct ModbusServer {
    std::string where; // HOST:PORT
    std::uint32_t timeoutMs = 1000;
};

// The result of one read or write; a failure goes to standard error with
// the likely causes (the first of them a heading). Returns the exit status.
int PrintResult(const Context& ctx, const ModbusRequest& q, const ModbusResult& r,
                const std::vector<std::string>& causes, bool oneBased, const ModbusServer& server);

// Request n of a polling run, on a line of its own.
void PrintPollLine(const Context& ctx, std::uint32_t n, const ModbusRequest& q,
                   const ModbusResult& r, bool oneBased, const ModbusServer& server);
void PrintPollSummary(const Context& ctx, const PollSummary& summary);

// The units a scan found, with the answer each gave.
void PrintScanUnits(const Context& ctx, const std::vector<std::uint8_t>& present,
                    const std::map<std::uint8_t, ModbusResult>& answers);

} // namespace tkcli
