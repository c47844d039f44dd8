#include "cli/commands/ModbusOutput.h"

#include <cstdio>
#include <iterator>
#include <ostream>

#include "cli/Json.h"
#include "cli/commands/ModbusTexty.h"

namespace tkcli {

namespace {

using json::Value;

std::string hex2(std::uint32_t v) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", v & 0xFFu);
    return text;
}

// The statuses' names in JSON, in the order of ModbusStatus.
constexpr const char* kStatusNames[] = {
    "answered",       "exception", "broadcast", "no_address",        "refused",
    "connect_failed", "timeout",   "closed",    "wrong_transaction", "malformed_header",
    "wrong_answer",   "aborted",   "not_built"};
static_assert(std::size(kStatusNames) == static_cast<std::size_t>(ModbusStatus::NotBuilt) + 1);

const char* statusName(ModbusStatus s) {
    const auto i = static_cast<std::size_t>(s);
    return i < std::size(kStatusNames) ? kStatusNames[i] : "";
}

Value milliseconds(std::uint32_t us) {
    return Value::real(us / 1000.0);
}

Value number(std::uint32_t n) {
    return Value::number(static_cast<std::int32_t>(n));
}

void addException(Value& o, const ModbusResult& r, std::int32_t lang) {
    o.add("exception", number(r.ExceptionCode));
    o.add("exception_name", Value::string(ExceptionName(r.ExceptionCode, lang)));
}

Value resultJson(const ModbusRequest& q, const ModbusResult& r, bool oneBased, std::int32_t lang) {
    Value o = Value::object();
    o.add("unit", number(q.Unit));
    o.add("function", number(static_cast<std::uint32_t>(q.Function)));
    o.add("address", number(q.Address + (oneBased ? 1u : 0u)));
    o.add("status", Value::string(statusName(r.Status)));
    const bool answered = r.Status == ModbusStatus::Answered;
    if (answered && ModbusIsRead(q.Function)) {
        Value values = Value::array();
        for (std::uint16_t x : r.Values) {
            values.push(number(x));
        }
        o.add("values", std::move(values));
    }
    if (answered && !ModbusIsRead(q.Function)) {
        o.add("written", number(static_cast<std::uint32_t>(q.Values.size())));
    }
    if (r.Status == ModbusStatus::Exception) {
        addException(o, r, lang);
    }
    if (answered || r.Status == ModbusStatus::Exception) {
        o.add("round_trip_ms", milliseconds(r.RoundTripUs));
    }
    return o;
}

void printResultJson(const Context& ctx, const ModbusRequest& q, const ModbusResult& r,
                     const std::vector<std::string>& causes, bool oneBased) {
    Value o = resultJson(q, r, oneBased, ctx.lang);
    if (r.Status == ModbusStatus::Exception) {
        o.add("hint", Value::string(ExceptionHint(r.ExceptionCode, ctx.lang)));
    }
    if (!causes.empty()) {
        Value list = Value::array();
        for (std::size_t i = 1; i < causes.size(); ++i) {
            list.push(Value::string(causes[i]));
        }
        o.add("causes", std::move(list));
    }
    ctx.out << json::write(o);
}

// An answer in text: how many were written, or a line a value read.
void printAnswer(const Context& ctx, const ModbusRequest& q, const ModbusResult& r, bool oneBased) {
    if (!ModbusIsRead(q.Function)) {
        ctx.out << GatewayTest::Format(GatewayTest::TEXT_WRITTEN, ctx.lang,
                                       {std::to_string(q.Values.size()),
                                        std::to_string(q.Address + (oneBased ? 1 : 0))})
                << "\n";
        return;
    }
    for (const GatewayRow& row : GatewayRows(q, r.Values, oneBased)) {
        ctx.out << row.Address << ": " << row.Value << (row.Hex.empty() ? "" : " (" + row.Hex + ")")
                << "\n";
    }
}

std::string pollText(const ModbusResult& r, const ModbusServer& server, std::int32_t lang) {
    switch (r.Status) {
    case ModbusStatus::Answered: {
        std::string values;
        for (std::uint16_t x : r.Values) {
            values += std::to_string(x) + " ";
        }
        return (values.empty() ? Dekl::Text(Dekl::TEXT_OK, lang) + " " : values) + "(" +
               RoundTripText(r.RoundTripUs) + ")";
    }
    case ModbusStatus::Exception:
        return Format(modbus::M_POLL_EXCEPTION, lang,
                      {hex2(r.ExceptionCode), ExceptionName(r.ExceptionCode, lang)}) +
               " (" + RoundTripText(r.RoundTripUs) + ")";
    default:
        return GatewayStatusText(r, server.where, server.timeoutMs, lang);
    }
}

} // namespace

int PrintResult(const Context& ctx, const ModbusRequest& q, const ModbusResult& r,
                const std::vector<std::string>& causes, bool oneBased, const ModbusServer& server) {
    if (ctx.json && (r.Status == ModbusStatus::Answered || r.Status == ModbusStatus::Exception ||
                     r.Status == ModbusStatus::BroadcastSent)) {
        printResultJson(ctx, q, r, causes, oneBased);
    }
    if (r.Status == ModbusStatus::BroadcastSent) {
        if (!ctx.json) {
            ctx.out << GatewayStatusText(r, "", server.timeoutMs, ctx.lang) << "\n";
        }
        return 0;
    }
    if (r.Status != ModbusStatus::Answered) {
        ctx.err << "tk7713t: " << GatewayStatusText(r, server.where, server.timeoutMs, ctx.lang)
                << "\n";
        for (std::size_t i = 0; i < causes.size(); ++i) {
            ctx.err << (i == 0 ? "" : "  - ") << causes[i] << "\n";
        }
        return 1;
    }
    if (!ctx.json) {
        printAnswer(ctx, q, r, oneBased);
    }
    return 0;
}

void PrintPollLine(const Context& ctx, std::uint32_t n, const ModbusRequest& q,
                   const ModbusResult& r, bool oneBased, const ModbusServer& server) {
    if (!ctx.json) {
        ctx.out << n << ": " << pollText(r, server, ctx.lang) << std::endl;
        return;
    }
    Value o = Value::object();
    o.add("poll", Value::number(n));
    for (auto& m : resultJson(q, r, oneBased, ctx.lang).members) {
        o.add(m.first, m.second);
    }
    ctx.out << json::oneLine(json::write(o)) << std::endl;
}

void PrintPollSummary(const Context& ctx, const PollSummary& summary) {
    if (!ctx.json) {
        ctx.out << PollSummaryText(summary, ctx.lang) << std::endl;
        return;
    }
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
    ctx.out << json::oneLine(json::write(o)) << std::endl;
}

void PrintScanUnits(const Context& ctx, const std::vector<std::uint8_t>& present,
                    const std::map<std::uint8_t, ModbusResult>& answers) {
    Value list = Value::array();
    for (std::uint8_t unit : present) {
        const auto it = answers.find(unit);
        const ModbusResult r = it != answers.end() ? it->second : ModbusResult{};
        if (ctx.json) {
            Value o = Value::object();
            o.add("unit", number(unit));
            o.add("status", Value::string(statusName(r.Status)));
            if (r.Status == ModbusStatus::Exception) {
                addException(o, r, ctx.lang);
            }
            list.push(std::move(o));
        } else if (r.Status == ModbusStatus::Exception) {
            ctx.out << Format(modbus::M_SCAN_EXCEPTION, ctx.lang,
                              {std::to_string(unit), hex2(r.ExceptionCode),
                               ExceptionName(r.ExceptionCode, ctx.lang)})
                    << "\n";
        } else {
            ctx.out << Format(modbus::M_SCAN_ANSWERED, ctx.lang, {std::to_string(unit)}) << "\n";
        }
    }
    if (ctx.json) {
        ctx.out << json::write(list);
    }
}

} // namespace tkcli
