// The gateway test without widgets: its text table (window captions,
// messages, Modbus exception names and hints, in Czech and English), the
// checks of its fields, what a finished request means, the unit scan and
// the polling summary. Shared by the "Modbus gateway test" window and
// `tk7713t modbus`; the requests themselves go through ModbusTcpClient.
#pragma once

#include <csignal>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/Dekl.h"
#include "link/M_ModbusTCP.h"
#include "link/U_TK7713T.h"

namespace GatewayTest {
enum TextId : std::int32_t {
    TEXT_CAPTION = 1,
    TEXT_REQUEST = 2,
    TEXT_UNIT = 3,
    TEXT_FUNCTION = 4,
    TEXT_ADDRESS = 5,
    TEXT_COUNT = 6,
    TEXT_VALUES = 7,
    TEXT_PORT = 8,
    TEXT_INTERVAL = 9,
    TEXT_SEND = 10,
    TEXT_REPEAT = 11,
    TEXT_STOP = 12,
    TEXT_CANCEL = 13,
    TEXT_ANSWER = 14,
    TEXT_COLUMN_ADDRESS = 15,
    TEXT_COLUMN_VALUE = 16,
    TEXT_COLUMN_HEX = 17,
    TEXT_ROUND_TRIP = 18,
    TEXT_LAST_REQUEST = 19,
    TEXT_LAST_ANSWER = 20,
    TEXT_EXPLANATION = 21,
    TEXT_FUNCTION_FIRST = 22, // 22-29: the function list, in GATEWAY_FUNCTIONS order
    TEXT_ZERO_BASED = 30,
    TEXT_IN_PROGRESS = 31,
    TEXT_NEEDS_LAN = 32,
    TEXT_INVALID_UNIT = 33,
    TEXT_BROADCAST_READ = 34,
    TEXT_INVALID_ADDRESS = 35,
    TEXT_INVALID_COUNT_REGISTERS = 36,
    TEXT_INVALID_COUNT_BITS = 37,
    TEXT_PAST_END = 38,
    TEXT_INVALID_VALUE = 39,
    TEXT_INVALID_COIL = 40,
    TEXT_VALUE_COUNT_REGISTERS = 41,
    TEXT_VALUE_COUNT_COILS = 42,
    TEXT_INVALID_PORT = 43,
    TEXT_INVALID_INTERVAL = 44,
    TEXT_REFUSED = 45,
    TEXT_CONNECT_FAILED = 46,
    TEXT_TIMEOUT = 47,
    TEXT_CLOSED = 48,
    TEXT_WRONG_TRANSACTION = 49,
    TEXT_MALFORMED_HEADER = 50,
    TEXT_WRONG_ANSWER = 51,
    TEXT_ABORTED = 52,
    TEXT_NO_ADDRESS = 53,
    TEXT_BROADCAST_SENT = 54,
    TEXT_EXCEPTION = 55,
    TEXT_WRITTEN = 56,
    TEXT_LIKELY_CAUSES = 57,
    TEXT_CAUSE_UNIT = 58,
    TEXT_CAUSE_LINE = 59,
    TEXT_CAUSE_LINE_UNKNOWN = 60,
    TEXT_CAUSE_TIMEOUT = 61,
    TEXT_CAUSE_TIMEOUT_UNKNOWN = 62,
    TEXT_POLL_SUMMARY = 63,
    TEXT_COPY = 64,
    // Exception names and hints: code n (1-11) at TEXT_EXCEPTION_NAME + n and
    // TEXT_EXCEPTION_HINT + n; any other code at the base ids themselves.
    TEXT_EXCEPTION_NAME = 65,
    TEXT_EXCEPTION_HINT = 77,
    TEXT_EXCEPTION_SHORT = 89, // a status line's short form
    TEXT_NOT_BUILT = 90,
};

TTextTabulka Texty();
inline constexpr TextLookup<TextId, &Texty> Text{};
// The text with each "%s" replaced by the next argument.
std::string Format(TextId id, std::int32_t lang, const std::vector<std::string>& args);
} // namespace GatewayTest

// The function list of the window, in order; the tool names them by word.
constexpr ModbusFunction GATEWAY_FUNCTIONS[] = {
    ModbusFunction::ReadCoils,
    ModbusFunction::ReadDiscreteInputs,
    ModbusFunction::ReadHoldingRegisters,
    ModbusFunction::ReadInputRegisters,
    ModbusFunction::WriteSingleCoil,
    ModbusFunction::WriteSingleRegister,
    ModbusFunction::WriteMultipleCoils,
    ModbusFunction::WriteMultipleRegisters,
};
constexpr std::int32_t GATEWAY_FUNCTION_COUNT = 8;
std::int32_t GatewayFunctionPosition(ModbusFunction f);

// The fields of a request as typed (window) or given (tool), unchecked.
struct GatewayFields {
    std::string Unit;
    std::int32_t Function = 2; // position in GATEWAY_FUNCTIONS, -1 none
    std::string Address;
    std::string Count;  // reads
    std::string Values; // writes: numbers separated by blanks or commas
    std::string Port;
    std::string Interval;  // checked only when repeating
    bool OneBased = false; // Address counts from 1
};

constexpr std::int32_t GATEWAY_MIN_INTERVAL_MS = 10;
constexpr std::int32_t GATEWAY_MAX_INTERVAL_MS = 60000;

// The first refusal in the order unit, function, address, count or
// values, port, interval, with its message (which names the valid range),
// or the request the fields make.
struct GatewayVerdict {
    bool Accepted = false;
    std::string Message;
    ModbusRequest Request;
    std::uint16_t Port = MBTCP_PORT;
    std::uint32_t IntervalMs = 0;
};
GatewayVerdict ValidateGatewayFields(const GatewayFields& fields, bool repeating,
                                     std::int32_t lang);

// Name and one-line hint of an exception code.
std::string ExceptionName(std::uint8_t code, std::int32_t lang);
std::string ExceptionHint(std::uint8_t code, std::int32_t lang);

// The gateway's own exceptions: no path (0x0A), no answer from the unit (0x0B).
bool IsGatewayException(std::uint8_t code);

// Shortest master line timeout that lets the answer to `request` arrive at
// the line's speed: the answer frame's wire time (11 bits a byte with
// parity, 10 without) and the 3.5 characters of silence that end it.
std::uint32_t GatewayMinimumTimeoutMs(const ModbusRequest& request, std::int32_t kodBaud,
                                      std::int32_t kodParita);

// The likely causes of 0x0A and 0x0B, one per line, the first being the
// heading; with the master line's settings when uartm.cfg could be read.
std::vector<std::string> GatewayCauses(const ModbusRequest& request, const TTK7713T_UartmCfg* uartm,
                                       std::int32_t lang);

// The status of a finished request without its leading blank: the shared
// "OK" for an answer, else what went wrong (exceptions with code and name).
std::string GatewayStatusText(const ModbusResult& result, const std::string& where,
                              std::uint32_t timeoutMs, std::int32_t lang);

// One row of the answer table: the address as shown (0- or 1-based), the
// value in decimal, and in hexadecimal for registers (empty for bits).
struct GatewayRow {
    std::string Address;
    std::string Value;
    std::string Hex;
};
std::vector<GatewayRow> GatewayRows(const ModbusRequest& request,
                                    const std::vector<std::uint16_t>& values, bool oneBased);

// "0.4 ms", one decimal.
std::string RoundTripText(std::uint32_t us);

// Host of the connection's LAN address text ("host[:tftp port]"), resolved
// for the Modbus TCP port; false when it does not resolve.
bool GatewayTarget(const std::string& lanAddress, bool ipv6, std::uint16_t port,
                   std::uint32_t timeoutMs, ModbusTcpTarget& target);

// Units "N" or "FIRST-LAST", 0-255 (the scan asks only units 1-247 or what is given).
bool ParseUnitRange(const std::string& text, std::uint8_t& first, std::uint8_t& last);

// What an answer says about the unit asked: any answer from the slave,
// exceptions included, means it is there; the gateway's 0x0A and 0x0B and
// a timeout mean it is not; anything else stops the scan.
enum class UnitPresence { Present, Absent, Stop };
UnitPresence ClassifyScanAnswer(const ModbusResult& result);

struct UnitScanSettings {
    std::uint8_t First = 1;
    std::uint8_t Last = 247;
    ModbusFunction Function = ModbusFunction::ReadHoldingRegisters;
    std::uint16_t Address = 0;
    std::uint32_t RatePerSecond = 10; // requests started per second, at most
};

struct UnitScanResult {
    std::vector<std::uint8_t> Present;
    std::size_t Asked = 0;
    bool Interrupted = false;
    bool Stopped = false; // a failure other than an absent unit ended it
    ModbusResult Failure; // the failure that stopped it
};

// Asks each unit in turn through `transact` (one register or bit), never
// starting more than RatePerSecond requests in a second: a request starts
// no earlier than 1/rate after the one before it started. `progress` gets
// (asked, total, found) after each unit.
UnitScanResult ScanUnits(const UnitScanSettings& settings,
                         const std::function<ModbusResult(const ModbusRequest&)>& transact,
                         const std::function<void(std::size_t, std::size_t, std::size_t)>& progress,
                         const volatile std::sig_atomic_t* interrupted);

// Counts of a polling run and its round trips.
struct PollSummary {
    std::uint32_t Sent = 0;
    std::uint32_t Answered = 0;
    std::uint32_t Exceptions = 0;
    std::uint32_t Timeouts = 0;
    std::vector<std::uint32_t> RoundTripsUs; // of answers and exceptions

    void add(const ModbusResult& result);
    std::uint32_t minUs() const;
    std::uint32_t medianUs() const; // the lower middle one of an even count
    std::uint32_t maxUs() const;
};
std::string PollSummaryText(const PollSummary& summary, std::int32_t lang);
