#include "cli/commands/ModbusOptions.h"

#include "cli/Options.h"
#include "cli/commands/ModbusTexty.h"
#include "link/M_TFTP.h"
#include "workflow/FieldText.h"

namespace tkcli {

namespace {

constexpr unsigned kAll = kModbusRead | kModbusWrite | kModbusScan;

struct ModbusOption {
    std::string_view name;
    bool takesValue;
    unsigned subcommands;
};

constexpr ModbusOption kOptions[] = {
    {"--lan", true, kAll},
    {"--ipv6", false, kAll},
    {"--lan-timeout", true, kAll},
    // Serial connections are known only to be refused with their own message.
    {"--com", true, kAll},
    {"--device", true, kAll},
    {"--usb", true, kAll},
    {"--baud", true, kAll},
    {"--parity", true, kAll},
    {"--timeout", true, kAll},
    {"--address", true, kAll},
    {"--json", false, kAll},
    {"--lang", true, kAll},
    {"--help", false, kAll},
    {"--unit", true, kAll},
    {"--mbtcp-port", true, kAll},
    {"--mbtcp-timeout", true, kAll},
    {"--one-based", false, kModbusRead | kModbusWrite},
    {"--repeat", true, kModbusRead | kModbusWrite},
    {"--interval", true, kModbusRead | kModbusWrite},
    {"--function", true, kModbusScan},
    {"--rate", true, kModbusScan},
    {"--quiet", false, kModbusScan},
};

const ModbusOption* findOption(std::string_view name) {
    for (const ModbusOption& o : kOptions) {
        if (o.name == name) {
            return &o;
        }
    }
    return nullptr;
}

} // namespace

bool ModbusArguments::numberIn(std::string_view name, std::int32_t low, std::int32_t high,
                               std::int32_t& value) const {
    const std::string* text = this->value(name);
    return text == nullptr || ParseWholeNumberIn(*text, low, high, value);
}

bool ModbusOptionTakesValue(std::string_view name) {
    const ModbusOption* o = findOption(name);
    return o != nullptr && o->takesValue;
}

std::optional<Failure> ParseModbusArguments(const std::vector<std::string>& args, std::int32_t lang,
                                            ModbusArguments& a) {
    const auto kind = [](std::string_view name) {
        const ModbusOption* o = findOption(name);
        return o == nullptr ? OptionKind::Unknown
                            : (o->takesValue ? OptionKind::Valued : OptionKind::Flag);
    };
    const auto flag = [&a](std::string_view name) {
        a.help = a.help || name == "--help";
        a.flags.emplace(name);
    };
    std::optional<Failure> failure = ParseWords(args, lang, kind, flag, a.values, a.positional);
    if (!a.positional.empty()) {
        a.positional.erase(a.positional.begin()); // the word "modbus" itself
    }
    return failure;
}

std::optional<Failure> ReadSubcommand(const ModbusArguments& a, std::int32_t lang,
                                      ModbusSubcommand& which) {
    if (a.positional.empty()) {
        return Failure{Format(T_MISSING_ARGUMENT, lang, {"modbus", "read|write|scan"})};
    }
    const std::string& sub = a.positional[0];
    if (sub != "read" && sub != "write" && sub != "scan") {
        return Failure{Format(modbus::M_UNKNOWN_SUBCOMMAND, lang, {sub})};
    }
    which = sub == "read" ? kModbusRead : sub == "write" ? kModbusWrite : kModbusScan;
    for (const ModbusOption& o : kOptions) {
        if ((o.subcommands & which) == 0 && a.given(o.name)) {
            return Failure{Format(modbus::M_OPTION_NOT_FOR, lang, {o.name, sub})};
        }
    }
    return std::nullopt;
}

std::optional<Failure> ReadModbusConnection(const ModbusArguments& a, std::int32_t lang,
                                            ModbusConnection& c) {
    for (std::string_view o : {"--com", "--device", "--usb"}) {
        if (a.given(o)) {
            return Failure{GatewayTest::Text(GatewayTest::TEXT_NEEDS_LAN, lang), true};
        }
    }
    for (std::string_view o : {"--baud", "--parity", "--timeout", "--address"}) {
        if (a.given(o)) {
            return Failure{Format(T_OPTION_NOT_FOR_INTERFACE, lang, {o})};
        }
    }
    c.lan = a.valueOr("--lan", VychoziPripojeni().LAN_IP);
    if (!parseTftpServerAddress(c.lan).valid) {
        return Failure{Format(T_BAD_ADDRESS, lang, {c.lan, "--lan"})};
    }
    c.ipv6 = a.flag("--ipv6");
    c.lanTimeout = a.valueOr("--lan-timeout", "");
    std::int32_t timeout = 1000;
    if (!a.numberIn("--mbtcp-timeout", 1, 65535, timeout)) {
        return Failure{Format(modbus::M_BAD_TIMEOUT, lang, {*a.value("--mbtcp-timeout")}), true};
    }
    c.timeoutMs = static_cast<std::uint32_t>(timeout);
    return std::nullopt;
}

} // namespace tkcli
