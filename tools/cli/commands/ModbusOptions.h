// The modbus command's options: its own table (the subcommands take
// different ones), parsing and the checks before anything is sent. Each
// step returns the first refusal it finds.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands/Command.h"
#include "workflow/GatewayTestLogic.h"

namespace tkcli {

enum ModbusSubcommand : unsigned { kModbusRead = 1, kModbusWrite = 2, kModbusScan = 4 };

// The command line as parsed.
struct ModbusArguments {
    OptionValues values;
    std::set<std::string, std::less<>> flags;
    std::vector<std::string> positional; // after "modbus"
    bool help = false;

    const std::string* value(std::string_view name) const {
        const auto it = values.find(name);
        return it == values.end() ? nullptr : &it->second;
    }
    // The value given, or fallback.
    std::string valueOr(std::string_view name, std::string_view fallback) const {
        const std::string* v = value(name);
        return v != nullptr ? *v : std::string(fallback);
    }
    // True when name was not given or is a whole number in [low, high],
    // which then is in value.
    bool numberIn(std::string_view name, std::int32_t low, std::int32_t high,
                  std::int32_t& value) const;
    bool flag(std::string_view name) const { return flags.count(name) != 0; }
    bool given(std::string_view name) const { return value(name) != nullptr || flag(name); }
};

// True when option name is one of the table and takes a value.
bool ModbusOptionTakesValue(std::string_view name);

std::optional<Failure> ParseModbusArguments(const std::vector<std::string>& args, std::int32_t lang,
                                            ModbusArguments& a);

// The subcommand named, and no option that belongs to another one.
std::optional<Failure> ReadSubcommand(const ModbusArguments& a, std::int32_t lang,
                                      ModbusSubcommand& which);

// The converter's Modbus TCP server, over the LAN only.
struct ModbusConnection {
    std::string lan; // --lan as given, HOST[:PORT] of TFTP
    bool ipv6 = false;
    std::string lanTimeout; // empty: the default
    std::uint32_t timeoutMs = 1000;
};
// A serial connection is refused.
std::optional<Failure> ReadModbusConnection(const ModbusArguments& a, std::int32_t lang,
                                            ModbusConnection& c);

// A read or write: the request, and how often to send it.
struct ModbusRequestPlan {
    GatewayVerdict verdict;
    bool oneBased = false;
    std::uint32_t repeat = 1; // 0 = until Ctrl-C
    std::uint32_t intervalMs = 1000;
};
std::optional<Failure> ReadRequestPlan(const ModbusArguments& a, bool write, std::int32_t lang,
                                       ModbusRequestPlan& plan);

// A scan of the units.
struct ModbusScanPlan {
    UnitScanSettings settings;
    std::uint16_t port = MBTCP_PORT;
    bool quiet = false;
};
std::optional<Failure> ReadScanPlan(const ModbusArguments& a, std::int32_t lang,
                                    ModbusScanPlan& plan);

} // namespace tkcli
