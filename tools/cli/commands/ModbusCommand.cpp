#include "cli/commands/ModbusCommand.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <map>
#include <optional>
#include <ostream>
#include <string_view>

#include "cli/CliTexty.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "cli/ProgressLine.h"
#include "cli/commands/CommandSupport.h"
#include "cli/commands/Connect.h"
#include "link/M_ModbusTCP.h"
#include "link/M_TFTP.h"
#include "platform/Clock.h"
#include "workflow/FieldText.h"
#include "workflow/GatewayTestLogic.h"
#include "workflow/PripojeniLogika.h"

namespace tkcli {

namespace {

using json::Value;

// ---- option table: completion and help are generated from tables like it ----

constexpr unsigned kRead = 1, kWrite = 2, kScan = 4, kAll = 7;

struct OptionSpec {
    std::string_view name;
    bool takesValue;
    unsigned subcommands;
};

constexpr OptionSpec kOptions[] = {
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
    {"--one-based", false, kRead | kWrite},
    {"--repeat", true, kRead | kWrite},
    {"--interval", true, kRead | kWrite},
    {"--function", true, kScan},
    {"--rate", true, kScan},
    {"--quiet", false, kScan},
};

const OptionSpec* findOption(std::string_view name) {
    for (const OptionSpec& o : kOptions) {
        if (o.name == name) {
            return &o;
        }
    }
    return nullptr;
}

// The tables a read names, and the function each reads.
struct TableWord {
    std::string_view word;
    ModbusFunction function;
};
constexpr TableWord kReadTables[] = {{"holding", ModbusFunction::ReadHoldingRegisters},
                                     {"input", ModbusFunction::ReadInputRegisters},
                                     {"coils", ModbusFunction::ReadCoils},
                                     {"discrete", ModbusFunction::ReadDiscreteInputs}};

// ---- the command's own texts ----

enum ModbusText : std::int32_t {
    M_NONE,
    M_UNKNOWN_SUBCOMMAND,
    M_UNKNOWN_READ_TABLE,
    M_UNKNOWN_WRITE_TABLE,
    M_OPTION_NOT_FOR,
    M_BAD_REPEAT,
    M_BAD_TIMEOUT,
    M_BAD_UNITS,
    M_SCAN_PROGRESS,
    M_SCAN_ANSWERED,
    M_SCAN_EXCEPTION,
    M_SCAN_NONE,
    M_POLL_EXCEPTION,
    M_HELP,
    M_COUNT
};

constexpr TTextPolozka kTexts[] = {
    {M_NONE, "", ""},
    {M_UNKNOWN_SUBCOMMAND, "Neznámý příkaz modbus %s (read, write, scan)",
     "Unknown modbus command %s (read, write, scan)"},
    {M_UNKNOWN_READ_TABLE, "Neznámá tabulka %s (holding, input, coils, discrete)",
     "Unknown table %s (holding, input, coils, discrete)"},
    {M_UNKNOWN_WRITE_TABLE, "Neznámá tabulka %s (registers, coils)",
     "Unknown table %s (registers, coils)"},
    {M_OPTION_NOT_FOR, "Volba %s nepatří k příkazu modbus %s",
     "Option %s does not apply to modbus %s"},
    {M_BAD_REPEAT, "Neplatný počet opakování %s (0-1000000; 0 = do Ctrl-C)",
     "Invalid repeat count %s (0-1000000; 0 = until Ctrl-C)"},
    {M_BAD_TIMEOUT, "Neplatný timeout Modbus TCP %s (1-65535 ms)",
     "Invalid Modbus TCP timeout %s (1-65535 ms)"},
    {M_BAD_UNITS, "Neplatný rozsah jednotek %s (1-255: N nebo PRVNÍ-POSLEDNÍ)",
     "Invalid unit range %s (1-255: N or FIRST-LAST)"},
    {M_SCAN_PROGRESS, "sken: jednotka %s (%s/%s), nalezeno %s", "scan: unit %s (%s/%s), %s found"},
    {M_SCAN_ANSWERED, "Jednotka %s: odpověděla", "Unit %s: answered"},
    {M_SCAN_EXCEPTION, "Jednotka %s: výjimka %s (%s)", "Unit %s: exception %s (%s)"},
    {M_SCAN_NONE, "Žádná jednotka neodpověděla", "No unit answered"},
    {M_POLL_EXCEPTION, "výjimka %s (%s)", "exception %s (%s)"},
    {M_HELP,
     "Použití: tk7713t [--lan HOST[:PORT]] modbus read holding|input|coils|discrete ADRESA POČET "
     "[--unit N]\n"
     "       tk7713t [--lan HOST[:PORT]] modbus write registers ADRESA HODNOTA... [--unit N]\n"
     "       tk7713t [--lan HOST[:PORT]] modbus write coils ADRESA 0|1... [--unit N]\n"
     "       tk7713t [--lan HOST[:PORT]] modbus scan [--unit PRVNÍ-POSLEDNÍ] [--function F] "
     "[--rate N]\n"
     "\n"
     "Test brány: dotazy Modbus přes server Modbus TCP konvertoru na jednotky\n"
     "na jeho lince master. Jen přes LAN.\n"
     "\n"
     "Adresy se počítají od 0, jak jdou po lince (registr 40001 je adresa 0);\n"
     "s --one-based se zadávají i vypisují od 1.\n"
     "\n"
     "  --unit N            adresa jednotky 0-255 (výchozí 1); 0 = broadcast, jen zápis\n"
     "  --mbtcp-port P      port Modbus TCP konvertoru (výchozí 502)\n"
     "  --mbtcp-timeout MS  čekání na odpověď 1-65535 ms (výchozí 1000)\n"
     "  --one-based         adresy od 1\n"
     "  --repeat N          N dotazů (0 = do Ctrl-C), každý jeden řádek s dobou odezvy;\n"
     "                      na konci (i po Ctrl-C) souhrn\n"
     "  --interval MS       dotaz začne MS po začátku předchozího (10-60000, výchozí 1000)\n"
     "  --json              jeden dokument JSON, při opakování jeden objekt na řádek\n"
     "\n"
     "Zápis jedné hodnoty používá funkci 05 nebo 06, více hodnot 15 nebo 16. Výjimka\n"
     "se vypíše se jménem a radou; u 0x0A a 0x0B následují možné příčiny\n"
     "s nastavením linky master z uartm.cfg (čteno přes TFTP, port z --lan).\n"
     "\n"
     "scan se zeptá každé jednotky rozsahu (výchozí 1-247) na jeden registr\n"
     "na adrese 0 (--function holding|input|coils|discrete), nejvýše --rate dotazů\n"
     "za sekundu (výchozí 10). Odpověď výjimkou znamená, že jednotka je na lince;\n"
     "0x0A, 0x0B a žádná odpověď, že není. Průběh na chybový výstup (--quiet).\n"
     "\n"
     "Návratový kód: 0 odpověď (scan: nalezena jednotka); 1 výjimka, žádná\n"
     "odpověď nebo chyba spojení; 2 neplatný vstup nebo sériové připojení.\n",
     "Usage: tk7713t [--lan HOST[:PORT]] modbus read holding|input|coils|discrete ADDRESS COUNT "
     "[--unit N]\n"
     "       tk7713t [--lan HOST[:PORT]] modbus write registers ADDRESS VALUE... [--unit N]\n"
     "       tk7713t [--lan HOST[:PORT]] modbus write coils ADDRESS 0|1... [--unit N]\n"
     "       tk7713t [--lan HOST[:PORT]] modbus scan [--unit FIRST-LAST] [--function F] [--rate "
     "N]\n"
     "\n"
     "The gateway test: Modbus requests through the converter's Modbus TCP\n"
     "server to the units on its master line. Over the LAN only.\n"
     "\n"
     "Addresses are 0-based, as on the wire (register 40001 is address 0);\n"
     "--one-based takes and prints them from 1.\n"
     "\n"
     "  --unit N            unit id, 0-255 (default 1); 0 = broadcast, writes only\n"
     "  --mbtcp-port P      the converter's Modbus TCP port (default 502)\n"
     "  --mbtcp-timeout MS  wait for an answer, 1-65535 ms (default 1000)\n"
     "  --one-based         addresses count from 1\n"
     "  --repeat N          N requests (0 = until Ctrl-C), one line each with its round\n"
     "                      trip; a summary at the end, also after Ctrl-C\n"
     "  --interval MS       a request starts MS after the one before it started\n"
     "                      (10-60000, default 1000)\n"
     "  --json              one JSON document, or one object per line when repeating\n"
     "\n"
     "One value is written with function 05 or 06, several with 15 or 16. An\n"
     "exception is printed with its name and a hint; for 0x0A and 0x0B the likely\n"
     "causes follow, with the master line's settings from uartm.cfg (read over\n"
     "TFTP, at the port of --lan).\n"
     "\n"
     "scan asks each unit of the range (default 1-247) for one register at\n"
     "address 0 (--function holding|input|coils|discrete), at most --rate requests\n"
     "a second (default 10). An exception answer means the unit is there; 0x0A,\n"
     "0x0B and no answer mean it is not. Progress on standard error (--quiet).\n"
     "\n"
     "Exit status: 0 answered (scan: a unit found); 1 exception, no answer or\n"
     "connection error; 2 invalid input, or a serial connection.\n"},
};
static_assert(TextTabulkaPlatna(kTexts));
static_assert(std::size(kTexts) == M_COUNT);

std::string hex2(std::uint32_t v) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", v & 0xFFu);
    return text;
}

const char* statusName(ModbusStatus s) {
    switch (s) {
    case ModbusStatus::Answered:
        return "answered";
    case ModbusStatus::Exception:
        return "exception";
    case ModbusStatus::BroadcastSent:
        return "broadcast";
    case ModbusStatus::NoAddress:
        return "no_address";
    case ModbusStatus::Refused:
        return "refused";
    case ModbusStatus::ConnectFailed:
        return "connect_failed";
    case ModbusStatus::Timeout:
        return "timeout";
    case ModbusStatus::ConnectionClosed:
        return "closed";
    case ModbusStatus::WrongTransaction:
        return "wrong_transaction";
    case ModbusStatus::MalformedHeader:
        return "malformed_header";
    case ModbusStatus::WrongAnswer:
        return "wrong_answer";
    case ModbusStatus::Aborted:
        return "aborted";
    case ModbusStatus::NotBuilt:
        return "not_built";
    }
    return "";
}

Value milliseconds(std::uint32_t us) {
    return Value::real(us / 1000.0);
}

struct Failure {
    std::string message;
    bool usageHint = true;
};

struct Arguments {
    std::map<std::string, std::string, std::less<>> values;
    std::map<std::string, bool, std::less<>> flags;
    std::vector<std::string> positional; // after "modbus"
    bool help = false;

    const std::string* value(std::string_view name) const {
        const auto it = values.find(name);
        return it == values.end() ? nullptr : &it->second;
    }
    bool flag(std::string_view name) const { return flags.count(name) != 0; }
    bool given(std::string_view name) const { return value(name) != nullptr || flag(name); }
};

class ModbusTool {
  public:
    ModbusTool(std::ostream& out, std::ostream& err, std::int32_t lang, bool errIsTerminal)
        : out_(out), err_(err), lang_(lang), errIsTerminal_(errIsTerminal) {}

    int run(const std::vector<std::string>& args) {
        Arguments a;
        if (std::optional<Failure> f = parse(args, a)) {
            return refuse(*f);
        }
        if (a.help) {
            out_ << text(M_HELP);
            return 0;
        }
        if (a.positional.empty()) {
            return refuse({Format(T_MISSING_ARGUMENT, lang_, {"modbus", "read|write|scan"})});
        }
        const std::string& sub = a.positional[0];
        const unsigned which = sub == "read"    ? kRead
                               : sub == "write" ? kWrite
                               : sub == "scan"  ? kScan
                                                : 0;
        if (which == 0) {
            return refuse({format(M_UNKNOWN_SUBCOMMAND, {sub})});
        }
        for (const OptionSpec& o : kOptions) {
            if ((o.subcommands & which) == 0 && a.given(o.name)) {
                return refuse({format(M_OPTION_NOT_FOR, {std::string(o.name), sub})});
            }
        }
        if (std::optional<Failure> f = connection(a)) {
            return refuse(*f);
        }
        json_ = a.flag("--json");
        return which == kScan ? scan(a) : request(a, which == kWrite);
    }

  private:
    std::string text(std::int32_t id) const { return ::Text(kTexts, id, lang_); }
    std::string format(std::int32_t id, const std::vector<std::string>& args) const {
        std::string pattern = text(id);
        std::string result;
        auto next = args.begin();
        for (std::size_t i = 0; i < pattern.size(); ++i) {
            if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's' &&
                next != args.end()) {
                result += *next++;
                ++i;
            } else {
                result.push_back(pattern[i]);
            }
        }
        return result;
    }

    int refuse(const Failure& f) {
        err_ << "tk7713t: " << f.message << "\n";
        if (f.usageHint) {
            err_ << Text(T_TRY_HELP, lang_) << "\n";
        }
        return 2;
    }

    int fail(const std::string& message) {
        err_ << "tk7713t: " << message << "\n";
        return 1;
    }

    std::optional<Failure> parse(const std::vector<std::string>& args, Arguments& a) {
        bool commandSeen = false;
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& arg = args[i];
            if (arg == "-h") {
                a.help = true;
                continue;
            }
            if (arg.size() < 2 || arg[0] != '-') {
                if (commandSeen) {
                    a.positional.push_back(arg);
                }
                commandSeen = true; // the word "modbus" itself
                continue;
            }
            const std::size_t eq = arg.find('=');
            const std::string name = arg.substr(0, eq);
            const OptionSpec* o = findOption(name);
            if (o == nullptr || (!o->takesValue && eq != std::string::npos)) {
                return Failure{Format(T_UNKNOWN_OPTION, lang_, {arg})};
            }
            if (!o->takesValue) {
                a.help = a.help || name == "--help";
                a.flags[name] = true;
                continue;
            }
            const std::optional<std::string> inlineValue =
                eq != std::string::npos ? std::optional(arg.substr(eq + 1)) : std::nullopt;
            if (auto f = TakeOptionValue(args, i, name, inlineValue, a.values, lang_)) {
                return Failure{f->message};
            }
        }
        if (auto f = CheckLanguage(a.values, lang_)) {
            return Failure{f->message};
        }
        return std::nullopt;
    }

    // The LAN connection of the options; a serial one is refused.
    std::optional<Failure> connection(const Arguments& a) {
        for (std::string_view o : {"--com", "--device", "--usb"}) {
            if (a.given(o)) {
                return Failure{GatewayTest::Text(GatewayTest::TEXT_NEEDS_LAN, lang_), false};
            }
        }
        for (std::string_view o : {"--baud", "--parity", "--timeout", "--address"}) {
            if (a.given(o)) {
                return Failure{Format(T_OPTION_NOT_FOR_INTERFACE, lang_, {o})};
            }
        }
        lan_ = a.value("--lan") != nullptr ? *a.value("--lan") : VychoziPripojeni().LAN_IP;
        if (!parseTftpServerAddress(lan_).valid) {
            return Failure{Format(T_BAD_ADDRESS, lang_, {lan_, "--lan"})};
        }
        ipv6_ = a.flag("--ipv6");
        if (const std::string* t = a.value("--lan-timeout")) {
            lanTimeout_ = *t;
        }
        std::int32_t timeout = 1000;
        if (const std::string* t = a.value("--mbtcp-timeout");
            t != nullptr && !ParseWholeNumberIn(*t, 1, 65535, timeout)) {
            return Failure{format(M_BAD_TIMEOUT, {*t}), false};
        }
        timeoutMs_ = static_cast<std::uint32_t>(timeout);
        return std::nullopt;
    }

    std::string where(std::uint16_t port) const {
        const std::string host = parseTftpServerAddress(lan_).host;
        return (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" +
               std::to_string(port);
    }

    bool resolve(std::uint16_t port, ModbusTcpTarget& target) {
        return GatewayTarget(lan_, ipv6_, port, timeoutMs_, target);
    }

    void prepareClient() {
        client_.setWaitHook([] { return !InterruptScope::interrupted(); });
    }

    // ---- read and write ----

    int request(const Arguments& a, bool write) {
        GatewayFields f;
        f.Unit = a.value("--unit") != nullptr ? *a.value("--unit") : "1";
        f.Port = a.value("--mbtcp-port") != nullptr ? *a.value("--mbtcp-port")
                                                    : std::to_string(MBTCP_PORT);
        f.Interval = a.value("--interval") != nullptr ? *a.value("--interval") : "1000";
        f.OneBased = a.flag("--one-based");
        const std::vector<std::string>& p = a.positional;
        const std::string sub = write ? "write" : "read";
        const std::string tables = write ? "registers|coils" : "holding|input|coils|discrete";
        if (p.size() < 3 || (!write && p.size() < 4)) {
            return refuse({Format(
                T_MISSING_ARGUMENT, lang_,
                {"modbus " + sub, tables + (write ? " ADDRESS VALUE..." : " ADDRESS COUNT")})});
        }
        if (!write && p.size() > 4) {
            return refuse({Format(T_UNEXPECTED_ARGUMENT, lang_, {p[4]})});
        }
        f.Address = p[2];
        if (write) {
            if (p[1] != "registers" && p[1] != "coils") {
                return refuse({format(M_UNKNOWN_WRITE_TABLE, {p[1]})});
            }
            const bool coils = p[1] == "coils";
            const bool single = p.size() == 4;
            f.Function =
                GatewayFunctionPosition(coils ? (single ? ModbusFunction::WriteSingleCoil
                                                        : ModbusFunction::WriteMultipleCoils)
                                              : (single ? ModbusFunction::WriteSingleRegister
                                                        : ModbusFunction::WriteMultipleRegisters));
            for (std::size_t i = 3; i < p.size(); ++i) {
                f.Values += p[i] + " ";
            }
        } else {
            const auto t = std::find_if(std::begin(kReadTables), std::end(kReadTables),
                                        [&](const TableWord& w) { return w.word == p[1]; });
            if (t == std::end(kReadTables)) {
                return refuse({format(M_UNKNOWN_READ_TABLE, {p[1]})});
            }
            f.Function = GatewayFunctionPosition(t->function);
            f.Count = p[3];
        }
        std::int32_t repeat = 1;
        if (const std::string* r = a.value("--repeat");
            r != nullptr && !ParseWholeNumberIn(*r, 0, 1000000, repeat)) {
            return refuse({format(M_BAD_REPEAT, {*r}), false});
        }
        const GatewayVerdict v = ValidateGatewayFields(f, a.given("--interval"), lang_);
        if (!v.Accepted) {
            return refuse({v.Message, false});
        }
        ModbusTcpTarget target;
        if (!resolve(v.Port, target)) {
            return fail(GatewayTest::Format(GatewayTest::TEXT_NO_ADDRESS, lang_, {where(v.Port)}));
        }
        InterruptScope scope;
        prepareClient();
        if (repeat == 1) {
            return single(target, v, f.OneBased);
        }
        return poll(target, v, f.OneBased, static_cast<std::uint32_t>(repeat),
                    a.given("--interval") ? v.IntervalMs : 1000u);
    }

    Value resultJson(const ModbusRequest& q, const ModbusResult& r, bool oneBased) const {
        Value o = Value::object();
        o.add("unit", Value::number(static_cast<std::int32_t>(q.Unit)));
        o.add("function", Value::number(static_cast<std::int32_t>(q.Function)));
        o.add("address", Value::number(static_cast<std::int32_t>(q.Address + (oneBased ? 1 : 0))));
        o.add("status", Value::string(statusName(r.Status)));
        if (r.Status == ModbusStatus::Answered && ModbusIsRead(q.Function)) {
            Value values = Value::array();
            for (std::uint16_t x : r.Values) {
                values.push(Value::number(static_cast<std::int32_t>(x)));
            }
            o.add("values", std::move(values));
        }
        if (r.Status == ModbusStatus::Answered && !ModbusIsRead(q.Function)) {
            o.add("written", Value::number(static_cast<std::int32_t>(q.Values.size())));
        }
        if (r.Status == ModbusStatus::Exception) {
            o.add("exception", Value::number(static_cast<std::int32_t>(r.ExceptionCode)));
            o.add("exception_name", Value::string(ExceptionName(r.ExceptionCode, lang_)));
        }
        if (r.Status == ModbusStatus::Answered || r.Status == ModbusStatus::Exception) {
            o.add("round_trip_ms", milliseconds(r.RoundTripUs));
        }
        return o;
    }

    // The master line's settings for the hint of 0x0A and 0x0B, from
    // uartm.cfg over TFTP through the connection of the options.
    bool readUartm(TTK7713T_UartmCfg& uartm) {
        ConnectionControls c = ControlsForSettings(VychoziPripojeni());
        c.Interface = ROZHRANI_LAN;
        c.IpAddress = lan_;
        c.IpVersion = ipv6_ ? VERZE_IP6 : 0;
        if (!lanTimeout_.empty()) {
            c.LanTimeout = lanTimeout_;
        }
        TData dat;
        TTK7713T tk;
        return OpenConnection(c, dat, tk, lang_).Outcome == ConnectionOutcome::Connected &&
               TK7713T_PrectiUartm(tk, uartm);
    }

    int single(const ModbusTcpTarget& target, const GatewayVerdict& v, bool oneBased) {
        const ModbusRequest& q = v.Request;
        const ModbusResult r = client_.transact(target, q);
        std::vector<std::string> causes;
        if (r.Status == ModbusStatus::Exception && IsGatewayException(r.ExceptionCode)) {
            TTK7713T_UartmCfg uartm;
            const bool known = readUartm(uartm);
            causes = GatewayCauses(q, known ? &uartm : nullptr, lang_);
        }
        if (json_ && (r.Status == ModbusStatus::Answered || r.Status == ModbusStatus::Exception ||
                      r.Status == ModbusStatus::BroadcastSent)) {
            Value o = resultJson(q, r, oneBased);
            if (r.Status == ModbusStatus::Exception) {
                o.add("hint", Value::string(ExceptionHint(r.ExceptionCode, lang_)));
            }
            if (!causes.empty()) {
                Value list = Value::array();
                for (std::size_t i = 1; i < causes.size(); ++i) {
                    list.push(Value::string(causes[i]));
                }
                o.add("causes", std::move(list));
            }
            out_ << json::write(o);
        }
        if (r.Status == ModbusStatus::BroadcastSent) {
            if (!json_) {
                out_ << GatewayStatusText(r, "", timeoutMs_, lang_) << "\n";
            }
            return 0;
        }
        if (r.Status != ModbusStatus::Answered) {
            err_ << "tk7713t: " << GatewayStatusText(r, where(v.Port), timeoutMs_, lang_) << "\n";
            for (std::size_t i = 0; i < causes.size(); ++i) {
                err_ << (i == 0 ? "" : "  - ") << causes[i] << "\n";
            }
            return 1;
        }
        if (json_) {
            return 0;
        }
        if (!ModbusIsRead(q.Function)) {
            out_ << GatewayTest::Format(GatewayTest::TEXT_WRITTEN, lang_,
                                        {std::to_string(q.Values.size()),
                                         std::to_string(q.Address + (oneBased ? 1 : 0))})
                 << "\n";
            return 0;
        }
        for (const GatewayRow& row : GatewayRows(q, r.Values, oneBased)) {
            out_ << row.Address << ": " << row.Value
                 << (row.Hex.empty() ? "" : " (" + row.Hex + ")") << "\n";
        }
        return 0;
    }

    // One line a request; the next starts `intervalMs` after this one started.
    int poll(const ModbusTcpTarget& target, const GatewayVerdict& v, bool oneBased,
             std::uint32_t repeat, std::uint32_t intervalMs) {
        const ModbusRequest& q = v.Request;
        PollSummary summary;
        for (std::uint32_t n = 1;
             (repeat == 0 || n <= repeat) && !InterruptScope::interrupted() && out_; ++n) {
            const std::uint64_t started = platform::monotonicUs();
            const ModbusResult r = client_.transact(target, q);
            if (r.Status == ModbusStatus::Aborted) {
                break;
            }
            summary.add(r);
            if (json_) {
                Value o = Value::object();
                o.add("poll", Value::number(n));
                for (auto& m : resultJson(q, r, oneBased).members) {
                    o.add(m.first, m.second);
                }
                out_ << json::oneLine(json::write(o)) << std::endl;
            } else {
                out_ << n << ": " << pollText(r, v.Port) << std::endl;
            }
            const std::uint64_t next = started + std::uint64_t{intervalMs} * 1000u;
            while ((repeat == 0 || n < repeat) && !InterruptScope::interrupted()) {
                const std::uint64_t now = platform::monotonicUs();
                if (now >= next) {
                    break;
                }
                platform::pauseMs(static_cast<std::uint32_t>(
                    std::min<std::uint64_t>((next - now + 999) / 1000, 50)));
            }
        }
        if (json_) {
            Value s = Value::object();
            s.add("sent", Value::number(summary.Sent));
            s.add("answered", Value::number(summary.Answered));
            s.add("exceptions", Value::number(summary.Exceptions));
            s.add("timeouts", Value::number(summary.Timeouts));
            s.add("min_ms", milliseconds(summary.minUs()));
            s.add("median_ms", milliseconds(summary.medianUs()));
            s.add("max_ms", milliseconds(summary.maxUs()));
            Value o = Value::object();
            o.add("summary", std::move(s));
            out_ << json::oneLine(json::write(o)) << std::endl;
        } else {
            out_ << PollSummaryText(summary, lang_) << std::endl;
        }
        return summary.Answered == summary.Sent && summary.Sent > 0 ? 0 : 1;
    }

    std::string pollText(const ModbusResult& r, std::uint16_t port) const {
        switch (r.Status) {
        case ModbusStatus::Answered: {
            std::string values;
            for (std::uint16_t x : r.Values) {
                values += std::to_string(x) + " ";
            }
            return (values.empty() ? Dekl::Text(Dekl::TEXT_OK, lang_) + " " : values) + "(" +
                   RoundTripText(r.RoundTripUs) + ")";
        }
        case ModbusStatus::Exception:
            return format(M_POLL_EXCEPTION,
                          {hex2(r.ExceptionCode), ExceptionName(r.ExceptionCode, lang_)}) +
                   " (" + RoundTripText(r.RoundTripUs) + ")";
        default:
            return GatewayStatusText(r, where(port), timeoutMs_, lang_);
        }
    }

    // ---- scan ----

    int scan(const Arguments& a) {
        if (a.positional.size() > 1) {
            return refuse({Format(T_UNEXPECTED_ARGUMENT, lang_, {a.positional[1]})});
        }
        UnitScanSettings s;
        const std::string units = a.value("--unit") != nullptr ? *a.value("--unit") : "1-247";
        if (!ParseUnitRange(units, s.First, s.Last) || s.First == MODBUS_BROADCAST) {
            return refuse({format(M_BAD_UNITS, {units}), false});
        }
        if (const std::string* fn = a.value("--function")) {
            const auto t = std::find_if(std::begin(kReadTables), std::end(kReadTables),
                                        [&](const TableWord& w) { return w.word == *fn; });
            if (t == std::end(kReadTables)) {
                return refuse({format(M_UNKNOWN_READ_TABLE, {*fn})});
            }
            s.Function = t->function;
        }
        std::int32_t rate = 10;
        if (const std::string* r = a.value("--rate");
            r != nullptr && !ParseWholeNumberIn(*r, 1, 1000, rate)) {
            return refuse({Format(T_BAD_RATE, lang_, {*r}), false});
        }
        s.RatePerSecond = static_cast<std::uint32_t>(rate);
        std::int32_t port = MBTCP_PORT;
        if (const std::string* p = a.value("--mbtcp-port");
            p != nullptr && !ParseWholeNumberIn(*p, 1, 65535, port)) {
            return refuse({GatewayTest::Text(GatewayTest::TEXT_INVALID_PORT, lang_), false});
        }
        ModbusTcpTarget target;
        if (!resolve(static_cast<std::uint16_t>(port), target)) {
            return fail(GatewayTest::Format(GatewayTest::TEXT_NO_ADDRESS, lang_,
                                            {where(static_cast<std::uint16_t>(port))}));
        }
        InterruptScope scope;
        prepareClient();
        const bool quiet = a.flag("--quiet");
        std::map<std::uint8_t, ModbusResult> answers;
        const UnitScanResult result = ScanUnits(
            s,
            [&](const ModbusRequest& q) {
                ModbusResult r = client_.transact(target, q);
                answers[q.Unit] = r;
                return r;
            },
            [&](std::size_t asked, std::size_t total, std::size_t found) {
                if (!quiet) {
                    progress_.show(
                        format(M_SCAN_PROGRESS,
                               {std::to_string(s.First + asked - 1), std::to_string(asked),
                                std::to_string(total), std::to_string(found)}),
                        asked, total, found);
                }
            },
            InterruptScope::flag());
        if (!quiet) {
            progress_.end();
        }
        Value list = Value::array();
        for (std::uint8_t unit : result.Present) {
            const ModbusResult& r = answers[unit];
            if (json_) {
                Value o = Value::object();
                o.add("unit", Value::number(static_cast<std::int32_t>(unit)));
                o.add("status", Value::string(statusName(r.Status)));
                if (r.Status == ModbusStatus::Exception) {
                    o.add("exception", Value::number(static_cast<std::int32_t>(r.ExceptionCode)));
                    o.add("exception_name", Value::string(ExceptionName(r.ExceptionCode, lang_)));
                }
                list.push(std::move(o));
            } else if (r.Status == ModbusStatus::Exception) {
                out_ << format(M_SCAN_EXCEPTION, {std::to_string(unit), hex2(r.ExceptionCode),
                                                  ExceptionName(r.ExceptionCode, lang_)})
                     << "\n";
            } else {
                out_ << format(M_SCAN_ANSWERED, {std::to_string(unit)}) << "\n";
            }
        }
        if (json_) {
            out_ << json::write(list);
        }
        if (result.Stopped) {
            return fail(GatewayStatusText(result.Failure, where(static_cast<std::uint16_t>(port)),
                                          timeoutMs_, lang_));
        }
        if (result.Present.empty()) {
            return fail(text(M_SCAN_NONE));
        }
        return 0;
    }

    std::ostream& out_;
    std::ostream& err_;
    std::int32_t lang_;
    bool errIsTerminal_;
    bool json_ = false;
    std::string lan_;
    bool ipv6_ = false;
    std::string lanTimeout_;
    std::uint32_t timeoutMs_ = 1000;
    ProgressLine progress_{err_, errIsTerminal_};
    ModbusTcpClient client_;
};

} // namespace

bool IsModbusCommand(const std::vector<std::string>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() >= 2 && arg[0] == '-') {
            const OptionSpec* o = findOption(arg);
            i += o != nullptr && o->takesValue ? 1 : 0;
            continue;
        }
        return arg == "modbus";
    }
    return false;
}

int RunModbusCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     std::int32_t lang, bool errIsTerminal) {
    return ModbusTool(out, err, lang, errIsTerminal).run(args);
}

} // namespace tkcli
