// The checks of a read, a write and a scan.
#include "cli/commands/ModbusOptions.h"

#include <algorithm>
#include <iterator>

#include "cli/commands/ModbusTexty.h"

namespace tkcli {

namespace {

// The tables a read names, and the function each reads.
struct TableWord {
    std::string_view word;
    ModbusFunction function;
};
constexpr TableWord kReadTables[] = {{"holding", ModbusFunction::ReadHoldingRegisters},
                                     {"input", ModbusFunction::ReadInputRegisters},
                                     {"coils", ModbusFunction::ReadCoils},
                                     {"discrete", ModbusFunction::ReadDiscreteInputs}};

// The function that reads table; a refusal for an unknown one.
std::optional<Failure> readFunction(const std::string& table, std::int32_t lang,
                                    ModbusFunction& function) {
    const auto t = std::find_if(std::begin(kReadTables), std::end(kReadTables),
                                [&](const TableWord& w) { return w.word == table; });
    if (t == std::end(kReadTables)) {
        return Failure{Format(modbus::M_UNKNOWN_READ_TABLE, lang, {table})};
    }
    function = t->function;
    return std::nullopt;
}

ModbusFunction writeFunction(bool coils, bool single) {
    if (coils) {
        return single ? ModbusFunction::WriteSingleCoil : ModbusFunction::WriteMultipleCoils;
    }
    return single ? ModbusFunction::WriteSingleRegister : ModbusFunction::WriteMultipleRegisters;
}

// The operands after "read" or "write" into the dialog's fields.
std::optional<Failure> readOperands(const std::vector<std::string>& p, bool write,
                                    std::int32_t lang, GatewayFields& f) {
    const std::string sub = write ? "write" : "read";
    const std::string tables = write ? "registers|coils" : "holding|input|coils|discrete";
    if (p.size() < 3 || (!write && p.size() < 4)) {
        return Failure{
            Format(T_MISSING_ARGUMENT, lang,
                   {"modbus " + sub, tables + (write ? " ADDRESS VALUE..." : " ADDRESS COUNT")})};
    }
    if (!write && p.size() > 4) {
        return Failure{Format(T_UNEXPECTED_ARGUMENT, lang, {p[4]})};
    }
    f.Address = p[2];
    if (!write) {
        ModbusFunction function{};
        if (auto failure = readFunction(p[1], lang, function)) {
            return failure;
        }
        f.Function = GatewayFunctionPosition(function);
        f.Count = p[3];
        return std::nullopt;
    }
    if (p[1] != "registers" && p[1] != "coils") {
        return Failure{Format(modbus::M_UNKNOWN_WRITE_TABLE, lang, {p[1]})};
    }
    f.Function = GatewayFunctionPosition(writeFunction(p[1] == "coils", p.size() == 4));
    for (std::size_t i = 3; i < p.size(); ++i) {
        f.Values += p[i] + " ";
    }
    return std::nullopt;
}

} // namespace

std::optional<Failure> ReadRequestPlan(const ModbusArguments& a, bool write, std::int32_t lang,
                                       ModbusRequestPlan& plan) {
    GatewayFields f;
    f.Unit = a.valueOr("--unit", "1");
    f.Port = a.valueOr("--mbtcp-port", std::to_string(MBTCP_PORT));
    f.Interval = a.valueOr("--interval", "1000");
    f.OneBased = a.flag("--one-based");
    if (auto failure = readOperands(a.positional, write, lang, f)) {
        return failure;
    }
    std::int32_t repeat = 1;
    if (!a.numberIn("--repeat", 0, 1000000, repeat)) {
        return Failure{Format(modbus::M_BAD_REPEAT, lang, {*a.value("--repeat")}), true};
    }
    plan.verdict = ValidateGatewayFields(f, a.given("--interval"), lang);
    if (!plan.verdict.Accepted) {
        return Failure{plan.verdict.Message, true};
    }
    plan.oneBased = f.OneBased;
    plan.repeat = static_cast<std::uint32_t>(repeat);
    plan.intervalMs = a.given("--interval") ? plan.verdict.IntervalMs : 1000u;
    return std::nullopt;
}

std::optional<Failure> ReadScanPlan(const ModbusArguments& a, std::int32_t lang,
                                    ModbusScanPlan& plan) {
    if (a.positional.size() > 1) {
        return Failure{Format(T_UNEXPECTED_ARGUMENT, lang, {a.positional[1]})};
    }
    UnitScanSettings& s = plan.settings;
    const std::string units = a.valueOr("--unit", "1-247");
    if (!ParseUnitRange(units, s.First, s.Last) || s.First == MODBUS_BROADCAST) {
        return Failure{Format(modbus::M_BAD_UNITS, lang, {units}), true};
    }
    if (const std::string* fn = a.value("--function")) {
        if (auto failure = readFunction(*fn, lang, s.Function)) {
            return failure;
        }
    }
    std::int32_t rate = 10;
    if (!a.numberIn("--rate", 1, 1000, rate)) {
        return Failure{Format(T_BAD_RATE, lang, {*a.value("--rate")}), true};
    }
    s.RatePerSecond = static_cast<std::uint32_t>(rate);
    std::int32_t port = MBTCP_PORT;
    if (!a.numberIn("--mbtcp-port", 1, 65535, port)) {
        return Failure{GatewayTest::Text(GatewayTest::TEXT_INVALID_PORT, lang), true};
    }
    plan.port = static_cast<std::uint16_t>(port);
    plan.quiet = a.flag("--quiet");
    return std::nullopt;
}

} // namespace tkcli
