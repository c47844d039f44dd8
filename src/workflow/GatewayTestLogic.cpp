#include "workflow/GatewayTestLogic.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "app/FillIn.h"
#include "link/M_ModbusRTU.h"
#include "link/M_TFTP.h"
#include "platform/Clock.h"
#include "workflow/FieldText.h"
#include "workflow/TextyOken.h"

namespace {

using namespace GatewayTest;
// The unit's own lookup, not the table-taking one of the layer below.
using GatewayTest::Text;

constexpr TTextPolozka Texts[] = {
    {0, "", ""},
    {TEXT_CAPTION, "Test brány Modbus", "Modbus gateway test"},
    {TEXT_REQUEST, "Dotaz", "Request"},
    {TEXT_UNIT, "Adresa jednotky (Unit ID, 0-255)", "Unit id (0-255)"},
    {TEXT_FUNCTION, "Funkce", "Function"},
    {TEXT_ADDRESS, "Počáteční adresa (0-65535)", "Start address (0-65535)"},
    {TEXT_COUNT, "Počet (1-125 registrů, 1-2000 bitů)", "Count (1-125 registers, 1-2000 bits)"},
    {TEXT_VALUES, "Hodnoty k zápisu", "Values to write"},
    {TEXT_PORT, "Port Modbus TCP", "Modbus TCP port"},
    {TEXT_INTERVAL, "Interval opakování [ms]", "Repeat interval [ms]"},
    {TEXT_SEND, "Odeslat", "Send"},
    {TEXT_REPEAT, "Opakovat", "Repeat"},
    {TEXT_STOP, "Zastavit", "Stop"},
    {TEXT_CANCEL, "Cancel", "Cancel"},
    {TEXT_ANSWER, "Odpověď", "Answer"},
    {TEXT_COLUMN_ADDRESS, "Adresa", "Address"},
    {TEXT_COLUMN_VALUE, "Hodnota", "Value"},
    {TEXT_COLUMN_HEX, "Hex", "Hex"},
    {TEXT_ROUND_TRIP, "Doba odezvy", "Round trip"},
    {TEXT_LAST_REQUEST, "Dotaz", "Request"},
    {TEXT_LAST_ANSWER, "Odpověď", "Answer"},
    {TEXT_EXPLANATION, "Vysvětlení", "Explanation"},
    {22, "01 Čtení cívek", "01 Read coils"},
    {23, "02 Čtení diskrétních vstupů", "02 Read discrete inputs"},
    {24, "03 Čtení registrů (holding)", "03 Read holding registers"},
    {25, "04 Čtení vstupních registrů", "04 Read input registers"},
    {26, "05 Zápis jedné cívky", "05 Write single coil"},
    {27, "06 Zápis jednoho registru", "06 Write single register"},
    {28, "15 Zápis více cívek", "15 Write multiple coils"},
    {29, "16 Zápis více registrů", "16 Write multiple registers"},
    {TEXT_ZERO_BASED, "Adresy se na lince počítají od 0", "Addresses are 0-based on the wire"},
    {TEXT_IN_PROGRESS, "Probíhá dotaz ...", "Request in progress ..."},
    {TEXT_NEEDS_LAN, "Test brány potřebuje připojení přes LAN",
     "The gateway test needs the LAN connection"},
    {TEXT_INVALID_UNIT, "Neplatná adresa jednotky (0-255)", "Invalid unit id (0-255)"},
    {TEXT_BROADCAST_READ, "Adresa jednotky 0 (broadcast) je jen pro zápis (čtení: 1-255)",
     "Unit id 0 (broadcast) is for writes only (reads: 1-255)"},
    {TEXT_INVALID_ADDRESS, "Neplatná počáteční adresa (%s-%s)", "Invalid start address (%s-%s)"},
    {TEXT_INVALID_COUNT_REGISTERS, "Neplatný počet (1-125 registrů)",
     "Invalid count (1-125 registers)"},
    {TEXT_INVALID_COUNT_BITS, "Neplatný počet (1-2000 cívek nebo vstupů)",
     "Invalid count (1-2000 coils or inputs)"},
    {TEXT_PAST_END, "Počáteční adresa + počet přesahují %s", "Start address + count exceed %s"},
    {TEXT_INVALID_VALUE, "Neplatná hodnota %s (0-65535)", "Invalid value %s (0-65535)"},
    {TEXT_INVALID_COIL, "Neplatný stav cívky %s (0 nebo 1)", "Invalid coil state %s (0 or 1)"},
    {TEXT_VALUE_COUNT_REGISTERS, "Neplatný počet hodnot registrů (%s)",
     "Invalid number of register values (%s)"},
    {TEXT_VALUE_COUNT_COILS, "Neplatný počet stavů cívek (%s)",
     "Invalid number of coil states (%s)"},
    {TEXT_INVALID_PORT, "Neplatný port Modbus TCP (1-65535)", "Invalid Modbus TCP port (1-65535)"},
    {TEXT_INVALID_INTERVAL, "Neplatný interval opakování (10-60000 ms)",
     "Invalid repeat interval (10-60000 ms)"},
    {TEXT_REFUSED, "Spojení odmítnuto: na %s neběží server Modbus TCP",
     "Connection refused: no Modbus TCP server at %s"},
    {TEXT_CONNECT_FAILED, "Nelze se spojit s %s", "No connection to %s"},
    {TEXT_TIMEOUT, "Žádná odpověď do %s ms", "No answer within %s ms"},
    {TEXT_CLOSED, "Server ukončil spojení dříve, než odpověď přišla celá",
     "The server closed the connection before the answer was complete"},
    {TEXT_WRONG_TRANSACTION, "Odpověď nese jiné číslo transakce",
     "The answer carries another transaction id"},
    {TEXT_MALFORMED_HEADER, "Chybná hlavička MBAP v odpovědi",
     "Malformed MBAP header in the answer"},
    {TEXT_WRONG_ANSWER, "Odpověď neodpovídá dotazu", "The answer does not fit the request"},
    {TEXT_ABORTED, "Zastaveno", "Stopped"},
    {TEXT_NO_ADDRESS, "Adresu %s nelze přeložit", "The address %s does not resolve"},
    {TEXT_BROADCAST_SENT, "Odesláno jako broadcast; odpověď se nečeká",
     "Sent as a broadcast; no answer is expected"},
    {TEXT_EXCEPTION, "Výjimka %s (%s): %s", "Exception %s (%s): %s"},
    {TEXT_WRITTEN, "Zapsáno hodnot: %s, od adresy %s", "Written: %s values from address %s"},
    {TEXT_LIKELY_CAUSES, "Možné příčiny:", "Likely causes:"},
    {TEXT_CAUSE_UNIT, "jednotka %s na lince master není", "unit %s is not on the master line"},
    {TEXT_CAUSE_LINE,
     "rychlost, parita nebo adresa slave se liší od nastavení linky master (uartm.cfg: %s Bd, "
     "parita %s, "
     "timeout %s ms, opakování %s)",
     "the slave's speed, parity or address differ from the master line's settings (uartm.cfg: %s "
     "Bd, "
     "%s parity, timeout %s ms, %s retries)"},
    {TEXT_CAUSE_LINE_UNKNOWN,
     "rychlost, parita nebo adresa slave se liší od nastavení linky master (uartm.cfg nelze "
     "přečíst)",
     "the slave's speed, parity or address differ from the master line's settings (uartm.cfg could "
     "not be read)"},
    {TEXT_CAUSE_TIMEOUT,
     "timeout je na rychlost linky příliš krátký: tato odpověď potřebuje nejméně %s ms při %s Bd",
     "the timeout is too short for the baud rate: this answer needs at least %s ms at %s Bd"},
    {TEXT_CAUSE_TIMEOUT_UNKNOWN, "timeout je na rychlost linky příliš krátký",
     "the timeout is too short for the baud rate"},
    {TEXT_POLL_SUMMARY,
     "odesláno %s, odpovědí %s, výjimek %s, timeoutů %s; doba odezvy min/medián/max %s/%s/%s ms",
     "%s sent, %s answered, %s exceptions, %s timeouts; round trip min/median/max %s/%s/%s ms"},
    {TEXT_COPY, "Kopírovat", "Copy"},
    {TEXT_EXCEPTION_NAME, "neznámá výjimka", "unknown exception"},
    {66, "nepovolená funkce", "illegal function"},
    {67, "nepovolená adresa dat", "illegal data address"},
    {68, "nepovolená hodnota dat", "illegal data value"},
    {69, "porucha zařízení", "server device failure"},
    {70, "potvrzení", "acknowledge"},
    {71, "zařízení je zaneprázdněno", "server device busy"},
    {72, "negativní potvrzení", "negative acknowledge"},
    {73, "chyba parity paměti", "memory parity error"},
    {74, "neznámá výjimka", "unknown exception"},
    {75, "cesta brány není k dispozici", "gateway path unavailable"},
    {76, "cílové zařízení za bránou neodpovědělo", "gateway target device failed to respond"},
    {TEXT_EXCEPTION_HINT, "Kód, který norma Modbus nedefinuje; viz příručka jednotky.",
     "A code the Modbus standard does not define; see the unit's manual."},
    {78, "Jednotka tuto funkci nepodporuje.", "The unit does not support this function."},
    {79,
     "Jednotka na těchto adresách nemá data; adresy se na lince počítají od 0 (registr 40001 je "
     "adresa 0).",
     "The unit has no data at these addresses; addresses are 0-based on the wire (register 40001 "
     "is "
     "address 0)."},
    {80, "Jednotka odmítla hodnotu nebo počet v dotazu.",
     "The unit refused a value or the count of the request."},
    {81, "Jednotce se při provádění dotazu stala chyba.",
     "The unit failed while carrying out the request."},
    {82, "Jednotka dotaz přijala, ale jeho provedení trvá dlouho; zeptejte se později.",
     "The unit took the request but needs long to carry it out; ask again later."},
    {83, "Jednotka nebo brána je zaneprázdněna; zkuste to později.",
     "The unit or the gateway is busy; try again later."},
    {84, "Jednotka tento dotaz nemůže provést.", "The unit cannot carry out this request."},
    {85, "Jednotka našla chybu parity ve své paměti.",
     "The unit found a parity error in its memory."},
    {86, "Kód, který norma Modbus nedefinuje; viz příručka jednotky.",
     "A code the Modbus standard does not define; see the unit's manual."},
    {87, "Brána k jednotce nemá cestu: jednotka se na lince master neobsluhuje.",
     "The gateway has no path to the unit: it is not served on the master line."},
    {88, "Brána poslala dotaz na linku master, ale platná odpověď nepřišla včas.",
     "The gateway sent the request on the master line, but no valid answer came in time."},
    {TEXT_EXCEPTION_SHORT, "Výjimka %s (%s)", "Exception %s (%s)"},
    {TEXT_NOT_BUILT, "Tato verze programu test brány neobsahuje (bez knihovny Modbus TCP)",
     "This build of the program has no gateway test (built without the Modbus TCP library)"},
};
static_assert(TextTabulkaPlatna(Texts));
static_assert(std::size(Texts) == TEXT_NOT_BUILT + 1);

std::string hex2(std::uint32_t v) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", v & 0xFFu);
    return text;
}

std::string hex4(std::uint32_t v) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", v & 0xFFFFu);
    return text;
}

GatewayVerdict refused(TextId id, std::int32_t lang, const std::vector<std::string>& args = {}) {
    GatewayVerdict v;
    v.Message = Format(id, lang, args);
    return v;
}

// Decimal, or hexadecimal after "0x".
bool parseValue(const std::string& token, std::int32_t& value) {
    if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
        if (token.size() > 6) {
            return false;
        }
        value = 0;
        for (std::size_t i = 2; i < token.size(); ++i) {
            const char c = token[i];
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0) {
                return false;
            }
            value = value * 16 + digit;
        }
        return true;
    }
    return ParseWholeNumberIn(token, 0, 65535, value);
}

std::vector<std::string> tokens(const std::string& text) {
    std::vector<std::string> out;
    std::string current;
    for (char c : text + " ") {
        if (c == ' ' || c == ',' || c == ';' || c == '\t') {
            if (!current.empty()) {
                out.push_back(current);
                current.clear();
            }
        } else {
            current.push_back(c);
        }
    }
    return out;
}

std::size_t answerFrameBytes(const ModbusRequest& r) {
    if (!ModbusIsRead(r.Function)) {
        return 8; // address, function, 4 echoed bytes, CRC
    }
    const std::size_t data = ModbusIsBits(r.Function) ? (r.Count + 7u) / 8u : r.Count * 2u;
    return 5 + data;
}

} // namespace

namespace GatewayTest {
TTextTabulka Texty() {
    return Texts;
}
std::string Format(TextId id, std::int32_t lang, const std::vector<std::string>& args) {
    return FillIn(Text(id, lang), args);
}
} // namespace GatewayTest

std::int32_t GatewayFunctionPosition(ModbusFunction f) {
    for (std::int32_t i = 0; i < GATEWAY_FUNCTION_COUNT; ++i) {
        if (GATEWAY_FUNCTIONS[i] == f) {
            return i;
        }
    }
    return -1;
}

GatewayVerdict ValidateGatewayFields(const GatewayFields& f, bool repeating, std::int32_t lang) {
    GatewayVerdict v;
    std::int32_t unit = 0;
    if (!ParseWholeNumberIn(f.Unit, 0, 255, unit)) {
        return refused(TEXT_INVALID_UNIT, lang);
    }
    // The list always has a function selected; a position outside it is
    // taken as the first entry, like the other windows' lists.
    const ModbusFunction function =
        GATEWAY_FUNCTIONS[f.Function >= 0 && f.Function < GATEWAY_FUNCTION_COUNT ? f.Function : 0];
    const bool read = ModbusIsRead(function);
    const bool bits = ModbusIsBits(function);
    if (read && unit == MODBUS_BROADCAST) {
        return refused(TEXT_BROADCAST_READ, lang);
    }
    const std::int32_t base = f.OneBased ? 1 : 0;
    std::int32_t address = 0;
    if (!ParseWholeNumberIn(f.Address, base, 65535 + base, address)) {
        return refused(TEXT_INVALID_ADDRESS, lang,
                       {std::to_string(base), std::to_string(65535 + base)});
    }
    address -= base;
    std::vector<std::uint16_t> values;
    std::int32_t count = 0;
    if (read) {
        const std::int32_t most = bits ? MODBUS_MAX_READ_BITS : MODBUS_MAX_READ_REGISTERS;
        if (!ParseWholeNumberIn(f.Count, 1, most, count)) {
            return refused(bits ? TEXT_INVALID_COUNT_BITS : TEXT_INVALID_COUNT_REGISTERS, lang);
        }
    } else {
        for (const std::string& token : tokens(f.Values)) {
            std::int32_t value = 0;
            if (bits && !ParseWholeNumberIn(token, 0, 1, value)) {
                return refused(TEXT_INVALID_COIL, lang, {token});
            }
            if (!bits && !parseValue(token, value)) {
                return refused(TEXT_INVALID_VALUE, lang, {token});
            }
            values.push_back(static_cast<std::uint16_t>(value));
        }
        const bool single = function == ModbusFunction::WriteSingleCoil ||
                            function == ModbusFunction::WriteSingleRegister;
        const std::size_t most = single ? 1
                                 : bits ? MODBUS_MAX_WRITE_BITS
                                        : MODBUS_MAX_WRITE_REGISTERS;
        if (values.empty() || values.size() > most) {
            return refused(bits ? TEXT_VALUE_COUNT_COILS : TEXT_VALUE_COUNT_REGISTERS, lang,
                           {single ? "1" : "1-" + std::to_string(most)});
        }
        count = static_cast<std::int32_t>(values.size());
    }
    if (address + count > 65536) {
        return refused(TEXT_PAST_END, lang, {std::to_string(65536 + base)});
    }
    std::int32_t port = 0;
    if (!ParseWholeNumberIn(f.Port, 1, 65535, port)) {
        return refused(TEXT_INVALID_PORT, lang);
    }
    std::int32_t interval = 0;
    if (repeating && !ParseWholeNumberIn(f.Interval, GATEWAY_MIN_INTERVAL_MS,
                                         GATEWAY_MAX_INTERVAL_MS, interval)) {
        return refused(TEXT_INVALID_INTERVAL, lang);
    }
    v.Accepted = true;
    v.Request.Unit = static_cast<std::uint8_t>(unit);
    v.Request.Function = function;
    v.Request.Address = static_cast<std::uint16_t>(address);
    v.Request.Count = static_cast<std::uint16_t>(count);
    v.Request.Values = std::move(values);
    v.Port = static_cast<std::uint16_t>(port);
    v.IntervalMs = static_cast<std::uint32_t>(interval);
    return v;
}

std::string ExceptionName(std::uint8_t code, std::int32_t lang) {
    return GatewayTest::Text(
        static_cast<TextId>(TEXT_EXCEPTION_NAME + (code >= 1 && code <= 11 ? code : 0)), lang);
}

std::string ExceptionHint(std::uint8_t code, std::int32_t lang) {
    return GatewayTest::Text(
        static_cast<TextId>(TEXT_EXCEPTION_HINT + (code >= 1 && code <= 11 ? code : 0)), lang);
}

bool IsGatewayException(std::uint8_t code) {
    return code == 0x0A || code == 0x0B;
}

std::uint32_t GatewayMinimumTimeoutMs(const ModbusRequest& request, std::int32_t kodBaud,
                                      std::int32_t kodParita) {
    const std::uint64_t baud = static_cast<std::uint64_t>(std::max(MBRTU_Rychlost(kodBaud), 1));
    const std::uint64_t bitsPerByte = kodParita == 0 ? 10 : 11;
    // Tenths of a character: the frame, then 3.5 characters of silence.
    const std::uint64_t tenths = answerFrameBytes(request) * 10 + 35;
    const std::uint64_t us = (tenths * bitsPerByte * 1000000u + baud * 10 - 1) / (baud * 10);
    return static_cast<std::uint32_t>((us + 999) / 1000);
}

std::vector<std::string> GatewayCauses(const ModbusRequest& request, const TTK7713T_UartmCfg* uartm,
                                       std::int32_t lang) {
    std::vector<std::string> lines{GatewayTest::Text(TEXT_LIKELY_CAUSES, lang),
                                   Format(TEXT_CAUSE_UNIT, lang, {std::to_string(request.Unit)})};
    if (uartm == nullptr) {
        lines.push_back(GatewayTest::Text(TEXT_CAUSE_LINE_UNKNOWN, lang));
        lines.push_back(GatewayTest::Text(TEXT_CAUSE_TIMEOUT_UNKNOWN, lang));
        return lines;
    }
    const std::string baud = std::to_string(MBRTU_Rychlost(uartm->KodBaud));
    const std::string parity = NastavHlavniLinka::Text(
        static_cast<NastavHlavniLinka::TextId>(NastavHlavniLinka::TEXT_PARITY_NONE +
                                               std::min<std::int32_t>(uartm->KodParita, 2)),
        lang);
    lines.push_back(
        Format(TEXT_CAUSE_LINE, lang,
               {baud, parity, std::to_string(uartm->Timeout), std::to_string(uartm->Opakovani)}));
    lines.push_back(
        Format(TEXT_CAUSE_TIMEOUT, lang,
               {std::to_string(GatewayMinimumTimeoutMs(request, uartm->KodBaud, uartm->KodParita)),
                baud}));
    return lines;
}

std::string GatewayStatusText(const ModbusResult& r, const std::string& where,
                              std::uint32_t timeoutMs, std::int32_t lang) {
    switch (r.Status) {
    case ModbusStatus::Answered:
        return Dekl::Text(Dekl::TEXT_OK, lang);
    case ModbusStatus::Exception:
        return Format(TEXT_EXCEPTION, lang,
                      {hex2(r.ExceptionCode), ExceptionName(r.ExceptionCode, lang),
                       ExceptionHint(r.ExceptionCode, lang)});
    case ModbusStatus::BroadcastSent:
        return GatewayTest::Text(TEXT_BROADCAST_SENT, lang);
    case ModbusStatus::NoAddress:
        return Format(TEXT_NO_ADDRESS, lang, {where});
    case ModbusStatus::Refused:
        return Format(TEXT_REFUSED, lang, {where});
    case ModbusStatus::ConnectFailed:
        return Format(TEXT_CONNECT_FAILED, lang, {where});
    case ModbusStatus::Timeout:
        return Format(TEXT_TIMEOUT, lang, {std::to_string(timeoutMs)});
    case ModbusStatus::ConnectionClosed:
        return GatewayTest::Text(TEXT_CLOSED, lang);
    case ModbusStatus::WrongTransaction:
        return GatewayTest::Text(TEXT_WRONG_TRANSACTION, lang);
    case ModbusStatus::MalformedHeader:
        return GatewayTest::Text(TEXT_MALFORMED_HEADER, lang);
    case ModbusStatus::WrongAnswer:
        return GatewayTest::Text(TEXT_WRONG_ANSWER, lang);
    case ModbusStatus::Aborted:
        return GatewayTest::Text(TEXT_ABORTED, lang);
    case ModbusStatus::NotBuilt:
        return GatewayTest::Text(TEXT_NOT_BUILT, lang);
    }
    return {};
}

std::vector<GatewayRow> GatewayRows(const ModbusRequest& request,
                                    const std::vector<std::uint16_t>& values, bool oneBased) {
    std::vector<GatewayRow> rows;
    rows.reserve(values.size());
    const bool bits = ModbusIsBits(request.Function);
    for (std::size_t i = 0; i < values.size(); ++i) {
        rows.push_back({std::to_string(request.Address + i + (oneBased ? 1 : 0)),
                        std::to_string(values[i]), bits ? std::string() : hex4(values[i])});
    }
    return rows;
}

std::string RoundTripText(std::uint32_t us) {
    char text[32];
    std::snprintf(text, sizeof text, "%u.%u ms", (us + 50) / 1000, ((us + 50) % 1000) / 100);
    return text;
}

bool GatewayTarget(const std::string& lanAddress, bool ipv6, std::uint16_t port,
                   std::uint32_t timeoutMs, ModbusTcpTarget& target) {
    const TftpServerAddress a = parseTftpServerAddress(lanAddress);
    target.TimeoutMs = timeoutMs;
    return a.valid &&
           platform::resolveHost(a.host, ipv6 ? platform::IpVersion::V6 : platform::IpVersion::V4,
                                 port, target.Endpoint);
}

bool ParseUnitRange(const std::string& text, std::uint8_t& first, std::uint8_t& last) {
    const std::size_t dash = text.find('-', 1);
    std::int32_t a = 0;
    std::int32_t b = 0;
    const bool ok = dash == std::string::npos
                        ? ParseWholeNumberIn(text, 0, 255, a) && ParseWholeNumberIn(text, 0, 255, b)
                        : ParseWholeNumberIn(text.substr(0, dash), 0, 255, a) &&
                              ParseWholeNumberIn(text.substr(dash + 1), 0, 255, b);
    if (!ok || a > b) {
        return false;
    }
    first = static_cast<std::uint8_t>(a);
    last = static_cast<std::uint8_t>(b);
    return true;
}

UnitPresence ClassifyScanAnswer(const ModbusResult& r) {
    switch (r.Status) {
    case ModbusStatus::Answered:
        return UnitPresence::Present;
    case ModbusStatus::Exception:
        return IsGatewayException(r.ExceptionCode) ? UnitPresence::Absent : UnitPresence::Present;
    case ModbusStatus::Timeout:
        return UnitPresence::Absent;
    default:
        return UnitPresence::Stop;
    }
}

UnitScanResult ScanUnits(const UnitScanSettings& s,
                         const std::function<ModbusResult(const ModbusRequest&)>& transact,
                         const std::function<void(std::size_t, std::size_t, std::size_t)>& progress,
                         const volatile std::sig_atomic_t* interrupted) {
    UnitScanResult out;
    const std::size_t total = static_cast<std::size_t>(s.Last - s.First + 1);
    const std::uint64_t spacingUs = 1000000u / std::max<std::uint32_t>(s.RatePerSecond, 1);
    std::uint64_t earliest = platform::monotonicUs();
    for (std::uint32_t unit = s.First; unit <= s.Last; ++unit) {
        for (std::uint64_t now = platform::monotonicUs(); now < earliest;
             now = platform::monotonicUs()) {
            if (interrupted != nullptr && *interrupted != 0) {
                break;
            }
            platform::pauseMs(static_cast<std::uint32_t>((earliest - now + 999) / 1000));
        }
        if (interrupted != nullptr && *interrupted != 0) {
            out.Interrupted = true;
            break;
        }
        earliest = platform::monotonicUs() + spacingUs;
        ModbusRequest request;
        request.Unit = static_cast<std::uint8_t>(unit);
        request.Function = s.Function;
        request.Address = s.Address;
        request.Count = 1;
        const ModbusResult r = transact(request);
        ++out.Asked;
        const UnitPresence presence = ClassifyScanAnswer(r);
        if (presence == UnitPresence::Present) {
            out.Present.push_back(static_cast<std::uint8_t>(unit));
        }
        if (presence == UnitPresence::Stop) {
            // Stopped by Ctrl-C, the scan was interrupted rather than failed.
            out.Interrupted = r.Status == ModbusStatus::Aborted;
            out.Stopped = !out.Interrupted;
            out.Failure = r;
            break;
        }
        if (progress) {
            progress(out.Asked, total, out.Present.size());
        }
    }
    return out;
}

void PollSummary::add(const ModbusResult& r) {
    if (r.Status == ModbusStatus::Aborted && r.Request.empty()) {
        return;
    }
    ++Sent;
    Answered += r.Status == ModbusStatus::Answered ? 1 : 0;
    Exceptions += r.Status == ModbusStatus::Exception ? 1 : 0;
    Timeouts += r.Status == ModbusStatus::Timeout ? 1 : 0;
    if (r.Status == ModbusStatus::Answered || r.Status == ModbusStatus::Exception) {
        RoundTripsUs.push_back(r.RoundTripUs);
    }
}

std::uint32_t PollSummary::minUs() const {
    return RoundTripsUs.empty() ? 0 : *std::min_element(RoundTripsUs.begin(), RoundTripsUs.end());
}

std::uint32_t PollSummary::maxUs() const {
    return RoundTripsUs.empty() ? 0 : *std::max_element(RoundTripsUs.begin(), RoundTripsUs.end());
}

std::uint32_t PollSummary::medianUs() const {
    if (RoundTripsUs.empty()) {
        return 0;
    }
    std::vector<std::uint32_t> sorted = RoundTripsUs;
    std::sort(sorted.begin(), sorted.end());
    return sorted[(sorted.size() - 1) / 2];
}

std::string PollSummaryText(const PollSummary& s, std::int32_t lang) {
    const auto ms = [](std::uint32_t us) {
        std::string t = RoundTripText(us);
        return t.substr(0, t.size() - 3); // without " ms"
    };
    return Format(TEXT_POLL_SUMMARY, lang,
                  {std::to_string(s.Sent), std::to_string(s.Answered), std::to_string(s.Exceptions),
                   std::to_string(s.Timeouts), ms(s.minUs()), ms(s.medianUs()), ms(s.maxUs())});
}
