#include <ostream>

#include "cli/Cli.h"
#include "cli/ProgressLine.h"
#include "cli/Scan.h"
#include "cli/commands/CommandSupport.h"
#include "cli/commands/Connect.h"
#include "cli/commands/ScanCommand.h"
#include "workflow/FieldText.h"
#include "workflow/TextyOken.h"

namespace tkcli {

namespace {

// One line setting at which something answered: "Found" only for a
// supported converter, with what it told of itself.
void reportAnswer(const Context& ctx, std::int32_t port, const LineSettings& at, bool supported,
                  json::Value& list) {
    const ConnectionResult& found = ctx.connection;
    if (ctx.json) {
        json::Value o = json::Value::object();
        o.add("CisloCOM", json::Value::number(port));
        o.add("Baud", json::Value::number(MBRTU_Rychlost(at.KodBaud)));
        o.add("Parita", json::Value::string(ParityName(at.KodParita)));
        o.add("Adresa", json::Value::number(static_cast<std::int32_t>(at.Adresa)));
        o.add("TypModulu", json::Value::bytes(found.Type));
        o.add("VerzeModulu", json::Value::bytes(found.Version));
        o.add("VyrCislo", json::Value::bytes(found.SerialNumber));
        o.add("Podporovan", Boolean(supported));
        list.push(std::move(o));
        return;
    }
    ctx.out << Format(supported ? T_SCAN_FOUND_SERIAL : T_SCAN_OTHER_DEVICE, ctx.lang,
                      {std::to_string(MBRTU_Rychlost(at.KodBaud)), ParityName(at.KodParita),
                       std::to_string(at.Adresa)})
            << "\n";
    if (!found.TypeAndVersion.empty()) {
        ctx.out << DisplayText(found.TypeAndVersion) << "  "
                << DiagSystem::Text(DiagSystem::TEXT_SERIAL_NUMBER, ctx.lang) << " "
                << DisplayText(found.SerialNumber) << "  "
                << Text(supported ? T_SCAN_SUPPORTED : T_SCAN_UNSUPPORTED, ctx.lang) << "\n";
    }
    ctx.out << std::flush;
}

std::optional<Failure> serialOptions(const Arguments& a, Context& ctx, ConnectionControls& c) {
    for (std::string_view o : {"--port", "--rate", "--lan-timeout", "--timeout"}) {
        if (a.given(o)) {
            return Failure{Format(T_OPTION_NOT_FOR_INTERFACE, ctx.lang, {o})};
        }
    }
    if (a.ipv6) {
        return Failure{Format(T_OPTION_NOT_FOR_INTERFACE, ctx.lang, {"--ipv6"})};
    }
    return ReadConnectionOptions(a, ctx, c);
}

} // namespace

int RunSerialScan(Context& ctx, const Arguments& a, bool quiet) {
    ConnectionControls c;
    if (auto failure = serialOptions(a, ctx, c)) {
        return Refuse(ctx, *failure);
    }
    const bool usb = c.Interface == ROZHRANI_USBCOM;
    std::int32_t port = 0;
    if (!ParseWholeNumberIn(usb ? c.UsbCom.PortNumber : c.Com.PortNumber, 1, 255, port)) {
        return Fail(ctx, EXIT_USAGE,
                    Pripojeni::Text(usb ? Pripojeni::TEXT_INVALID_USB_NUMBER
                                        : Pripojeni::TEXT_INVALID_COM_NUMBER,
                                    ctx.lang));
    }
    const std::vector<LineSettings> order =
        SerialScanOrder(a.scanFlags.count("--all-addresses") != 0);
    ProgressLine progressLine(ctx.err, ctx.errIsTerminal);
    ScanProgress progress;
    if (!quiet) {
        progress = [&](std::size_t tried, std::size_t total, std::size_t) {
            const LineSettings& s = order[tried - 1];
            progressLine.show(
                Format(T_SCAN_PROGRESS_SERIAL, ctx.lang,
                       {std::to_string(MBRTU_Rychlost(s.KodBaud)), ParityName(s.KodParita),
                        std::to_string(s.Adresa), std::to_string(tried), std::to_string(total)}),
                tried, total, 0);
        };
    }
    json::Value list = json::Value::array();
    // Whatever answered gets the full identification, through the COM
    // interface: the USB interface would impose its fixed settings.
    const auto check = [&](const LineSettings& at) {
        c.Interface = ROZHRANI_COM;
        c.Com = SerialControls{std::to_string(port), KodBaudNaPozici(at.KodBaud), at.KodParita,
                               "330", std::to_string(at.Adresa)};
        ctx.connection = OpenConnection(c, ctx.dat, ctx.tk, ctx.lang);
        MBRTU_Zavri(ctx.tk.MBRTU);
        const bool supported = ctx.connection.Outcome == ConnectionOutcome::Connected;
        if (!quiet) {
            progressLine.end();
        }
        reportAnswer(ctx, port, at, supported, list);
        return supported;
    };
    LineSettings found;
    std::size_t echoes = 0;
    const SerialScanResult r =
        ScanSerial(port, order, progress, InterruptScope::flag(), check, found, echoes);
    if (!quiet) {
        progressLine.end();
    }
    if (r == SerialScanResult::PortError) {
        return Fail(
            ctx, EXIT_FAILED,
            Pripojeni::Text(usb ? Pripojeni::TEXT_USB_ERROR : Pripojeni::TEXT_COM_ERROR, ctx.lang));
    }
    if (echoes > 0) {
        ctx.err << "tk7713t: " << Format(T_SCAN_ECHOES, ctx.lang, {std::to_string(echoes)}) << "\n";
    }
    return ScanReport(ctx, list, r == SerialScanResult::Found);
}

} // namespace tkcli
