#include "cli/commands/ModbusSession.h"

#include <algorithm>
#include <map>

#include "cli/Cli.h"
#include "cli/ProgressLine.h"
#include "cli/commands/CommandSupport.h"
#include "cli/commands/Connect.h"
#include "cli/commands/ModbusOutput.h"
#include "cli/commands/ModbusTexty.h"
#include "link/M_TFTP.h"
#include "platform/Clock.h"

namespace tkcli {

namespace {

// The server at one port, through a client whose waits end at Ctrl-C.
class Session {
  public:
    Session(Context& ctx, const ModbusConnection& connection, std::uint16_t port)
        : ctx_(ctx), connection_(connection),
          port_(port), server_{where(port), connection.timeoutMs} {
        client_.setWaitHook([] { return !InterruptScope::interrupted(); });
    }

    // False after the message when the host has no address.
    bool resolve() {
        if (GatewayTarget(connection_.lan, connection_.ipv6, port_, connection_.timeoutMs,
                          target_)) {
            return true;
        }
        Fail(ctx_, EXIT_FAILED,
             GatewayTest::Format(GatewayTest::TEXT_NO_ADDRESS, ctx_.lang, {server_.where}));
        return false;
    }

    int single(const ModbusRequestPlan& plan) {
        const ModbusRequest& q = plan.verdict.Request;
        const ModbusResult r = client_.transact(target_, q);
        return PrintResult(ctx_, q, r, causes(q, r), plan.oneBased, server_);
    }

    // One line a request; the next starts plan.intervalMs after this one
    // started.
    int poll(const ModbusRequestPlan& plan) {
        const ModbusRequest& q = plan.verdict.Request;
        PollSummary summary;
        for (std::uint32_t n = 1;
             (plan.repeat == 0 || n <= plan.repeat) && !InterruptScope::interrupted() && ctx_.out;
             ++n) {
            const std::uint64_t started = platform::monotonicUs();
            const ModbusResult r = client_.transact(target_, q);
            if (r.Status == ModbusStatus::Aborted) {
                break;
            }
            summary.add(r);
            PrintPollLine(ctx_, n, q, r, plan.oneBased, server_);
            if (plan.repeat == 0 || n < plan.repeat) {
                pauseUntil(started + std::uint64_t{plan.intervalMs} * 1000u);
            }
        }
        PrintPollSummary(ctx_, summary);
        return summary.Answered == summary.Sent && summary.Sent > 0 ? EXIT_OK : EXIT_FAILED;
    }

    int scan(const ModbusScanPlan& plan) {
        const UnitScanSettings& s = plan.settings;
        ProgressLine progress{ctx_.err, ctx_.errIsTerminal};
        std::map<std::uint8_t, ModbusResult> answers;
        const UnitScanResult result = ScanUnits(
            s,
            [&](const ModbusRequest& q) { return answers[q.Unit] = client_.transact(target_, q); },
            [&](std::size_t asked, std::size_t total, std::size_t found) {
                if (!plan.quiet) {
                    progress.show(
                        Format(modbus::M_SCAN_PROGRESS, ctx_.lang,
                               {std::to_string(s.First + asked - 1), std::to_string(asked),
                                std::to_string(total), std::to_string(found)}),
                        asked, total, found);
                }
            },
            InterruptScope::flag());
        if (!plan.quiet) {
            progress.end();
        }
        PrintScanUnits(ctx_, result.Present, answers);
        if (result.Stopped) {
            return Fail(
                ctx_, EXIT_FAILED,
                GatewayStatusText(result.Failure, server_.where, server_.timeoutMs, ctx_.lang));
        }
        if (result.Present.empty()) {
            return Fail(ctx_, EXIT_FAILED, modbus::Text(modbus::M_SCAN_NONE, ctx_.lang));
        }
        return EXIT_OK;
    }

  private:
    std::string where(std::uint16_t port) const {
        const std::string host = parseTftpServerAddress(connection_.lan).host;
        return (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" +
               std::to_string(port);
    }

    // Pauses in short steps, so that Ctrl-C is seen soon.
    static void pauseUntil(std::uint64_t due) {
        while (!InterruptScope::interrupted()) {
            const std::uint64_t now = platform::monotonicUs();
            if (now >= due) {
                break;
            }
            platform::pauseMs(
                static_cast<std::uint32_t>(std::min<std::uint64_t>((due - now + 999) / 1000, 50)));
        }
    }

    // For 0x0A and 0x0B: the likely causes, with the master line's
    // settings when they can be read.
    std::vector<std::string> causes(const ModbusRequest& q, const ModbusResult& r) {
        if (r.Status != ModbusStatus::Exception || !IsGatewayException(r.ExceptionCode)) {
            return {};
        }
        TTK7713T_UartmCfg uartm;
        const bool known = readUartm(uartm);
        return GatewayCauses(q, known ? &uartm : nullptr, ctx_.lang);
    }

    // uartm.cfg over TFTP through the connection of the options.
    bool readUartm(TTK7713T_UartmCfg& uartm) {
        ConnectionControls c = ControlsForSettings(VychoziPripojeni());
        c.Interface = ROZHRANI_LAN;
        c.IpAddress = connection_.lan;
        c.IpVersion = connection_.ipv6 ? VERZE_IP6 : 0;
        if (!connection_.lanTimeout.empty()) {
            c.LanTimeout = connection_.lanTimeout;
        }
        TData dat;
        TTK7713T tk;
        return OpenConnection(c, dat, tk, ctx_.lang).Outcome == ConnectionOutcome::Connected &&
               TK7713T_PrectiUartm(tk, uartm);
    }

    Context& ctx_;
    const ModbusConnection& connection_;
    std::uint16_t port_;
    ModbusServer server_;
    ModbusTcpClient client_;
    ModbusTcpTarget target_;
};

} // namespace

int RunModbusRequest(Context& ctx, const ModbusConnection& connection,
                     const ModbusRequestPlan& plan) {
    Session session(ctx, connection, plan.verdict.Port);
    if (!session.resolve()) {
        return EXIT_FAILED;
    }
    const InterruptScope scope;
    return plan.repeat == 1 ? session.single(plan) : session.poll(plan);
}

int RunModbusScan(Context& ctx, const ModbusConnection& connection, const ModbusScanPlan& plan) {
    Session session(ctx, connection, plan.port);
    if (!session.resolve()) {
        return EXIT_FAILED;
    }
    const InterruptScope scope;
    return session.scan(plan);
}

} // namespace tkcli
