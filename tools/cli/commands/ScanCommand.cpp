#include "cli/commands/ScanCommand.h"

#include <ostream>

#include "cli/Cli.h"
#include "cli/Console.h"
#include "cli/ProgressLine.h"
#include "cli/Scan.h"
#include "cli/commands/CommandSupport.h"
#include "workflow/FieldText.h"
#include "workflow/TextyOken.h"

namespace tkcli {

namespace {

// A whole number option in lo..hi; fallback when absent.
bool numberOption(const Arguments& a, std::string_view name, std::int32_t lo, std::int32_t hi,
                  std::int32_t fallback, std::int32_t& value) {
    value = fallback;
    const std::string* v = a.value(name);
    return v == nullptr || ParseWholeNumberIn(*v, lo, hi, value);
}

std::optional<Failure> lanSettings(const Arguments& a, std::int32_t lang, LanScanSettings& s) {
    if (a.ipv6 || a.given("--timeout") || a.scanFlags.count("--all-addresses") != 0) {
        return Failure{Format(T_OPTION_NOT_FOR_INTERFACE, lang,
                              {a.ipv6                 ? "--ipv6"
                               : a.given("--timeout") ? "--timeout"
                                                      : "--all-addresses"})};
    }
    const std::string& text = *a.value("--lan");
    switch (ParseIpv4Range(text, s.range)) {
    case RangeError::None:
        break;
    case RangeError::Syntax:
        return Failure{Format(T_BAD_RANGE, lang, {text}), true};
    case RangeError::HostPart:
        return Failure{Format(T_RANGE_HOST_PART, lang, {text}), true};
    case RangeError::TooLarge:
        return Failure{Format(T_RANGE_TOO_LARGE, lang, {text}), true};
    case RangeError::NotUnicast:
        return Failure{Format(T_RANGE_NOT_UNICAST, lang, {text}), true};
    }
    std::int32_t port = 69;
    std::int32_t rate = 100;
    std::int32_t timeout = 1000;
    if (!numberOption(a, "--port", 1, 65535, 69, port)) {
        return Failure{Format(T_BAD_PORT, lang, {*a.value("--port")}), true};
    }
    if (!numberOption(a, "--rate", 1, 1000, 100, rate)) {
        return Failure{Format(T_BAD_RATE, lang, {*a.value("--rate")}), true};
    }
    if (!numberOption(a, "--lan-timeout", 1, 65535, 1000, timeout)) {
        return Failure{Pripojeni::Text(Pripojeni::TEXT_INVALID_LAN_TIMEOUT, lang), true};
    }
    s.port = static_cast<std::uint16_t>(port);
    s.ratePerSecond = static_cast<std::uint32_t>(rate);
    s.timeoutMs = static_cast<std::uint32_t>(timeout);
    return std::nullopt;
}

// A large range is scanned only when the user says so (or --yes did).
bool confirmed(const Context& ctx, const Arguments& a, const LanScanSettings& s) {
    if (s.range.count() <= SCAN_ASK_ABOVE) {
        return true;
    }
    ctx.err << "tk7713t: " << Format(T_SCAN_COUNT, ctx.lang, {std::to_string(s.range.count())})
            << "\n";
    if (a.scanFlags.count("--yes") != 0) {
        return true;
    }
    ctx.err << Text(T_SCAN_CONFIRM, ctx.lang) << std::flush;
    std::string answer;
    if (!ReadAnswerLine(answer) || InterruptScope::interrupted()) {
        ctx.err << "\n"; // Ctrl-C or the end of the input cancels
        answer.clear();
    }
    return answer == "y" || answer == "yes" || answer == "a" || answer == "ano";
}

void addLanAnswer(const Context& ctx, const LanAnswer& f, json::Value& list) {
    std::string type, version, serial;
    RozdelInfoText(f.info, type, version, serial);
    const bool supported = PodporovanyTyp(type) && PodporovanaVerze(type, version);
    if (ctx.json) {
        json::Value o = json::Value::object();
        o.add("Adresa", json::Value::string(Ipv4Text(f.address)));
        o.add("TypModulu", json::Value::bytes(type));
        o.add("VerzeModulu", json::Value::bytes(version));
        o.add("VyrCislo", json::Value::bytes(serial));
        o.add("Podporovan", Boolean(supported));
        list.push(std::move(o));
        return;
    }
    ctx.out << Ipv4Text(f.address) << "  " << DisplayText(TypeAndVersionText(type, version)) << "  "
            << DiagSystem::Text(DiagSystem::TEXT_SERIAL_NUMBER, ctx.lang) << " "
            << DisplayText(serial) << "  "
            << Text(supported ? T_SCAN_SUPPORTED : T_SCAN_UNSUPPORTED, ctx.lang) << "\n";
}

int runLanScan(Context& ctx, const Arguments& a, bool quiet) {
    LanScanSettings s;
    if (auto failure = lanSettings(a, ctx.lang, s)) {
        return Refuse(ctx, *failure);
    }
    if (!confirmed(ctx, a, s)) {
        return Fail(ctx, EXIT_USAGE, Text(T_SCAN_NOT_CONFIRMED, ctx.lang));
    }
    std::vector<LanAnswer> found;
    ProgressLine progressLine(ctx.err, ctx.errIsTerminal);
    ScanProgress progress;
    if (!quiet) {
        progress = [&](std::size_t probed, std::size_t total, std::size_t n) {
            progressLine.show(
                Format(T_SCAN_PROGRESS_LAN, ctx.lang,
                       {std::to_string(probed), std::to_string(total), std::to_string(n)}),
                probed, total, n);
        };
    }
    const bool opened = ScanLan(s, progress, InterruptScope::flag(), found);
    if (!quiet) {
        progressLine.end();
    }
    if (!opened) {
        return Fail(ctx, EXIT_FAILED, Text(T_SCAN_NO_SOCKET, ctx.lang));
    }
    json::Value list = json::Value::array();
    for (const LanAnswer& f : found) {
        addLanAnswer(ctx, f, list);
    }
    return ScanReport(ctx, list, !found.empty());
}

int run(Context& ctx, const Arguments& a) {
    const bool lan = a.given("--lan");
    const bool serial = a.given("--com") || a.given("--device") || a.given("--usb");
    if (lan == serial) {
        return Refuse(ctx, {Text(T_SCAN_NEEDS_INTERFACE, ctx.lang)});
    }
    for (std::string_view o : {"--baud", "--parity", "--address"}) {
        if (a.given(o)) {
            return Refuse(ctx, {Format(T_SCAN_OPTION_SEARCHED, ctx.lang, {o})});
        }
    }
    const bool quiet = a.scanFlags.count("--quiet") != 0;
    const InterruptScope interrupt;
    return lan ? runLanScan(ctx, a, quiet) : RunSerialScan(ctx, a, quiet);
}

} // namespace

int ScanReport(const Context& ctx, const json::Value& list, bool anyFound) {
    if (ctx.json) {
        PrintJson(ctx, list);
    } else if (!anyFound) {
        ctx.err << "tk7713t: " << Text(T_SCAN_NONE_FOUND, ctx.lang) << "\n";
    }
    return anyFound ? EXIT_OK : EXIT_FAILED;
}

extern const Command kScanCommand{"scan",       T_HELP_SCAN, nullptr, Operand::None, 0, 0,
                                  kScanOptions, false,       run};

} // namespace tkcli
