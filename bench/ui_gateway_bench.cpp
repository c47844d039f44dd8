// The "Modbus gateway test" window offscreen against the in-process
// simulator's gateway: requests a second under Repeat at a 100 ms interval,
// reading 10 holding registers of a built-in slave at 9600 and 115200 Bd on
// the master line. Goal: at least 9 requests a second.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <string>

#include "app/Dekl.h"
#include "link/M_TFTP.h"
#include "link/U_TK7713T.h"
#include "sim/Simulator.h"
#include "ui/GatewayTest.h"

namespace {

void runEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tksim::Config c;
    c.tftp.address = "127.0.0.1";
    c.tftp.port = 0;
    c.rtu.enabled = false;
    c.gateway.tcpServer = true;
    c.gateway.port = 0;
    c.gateway.lineSlaves = {1};
    tksim::Simulator sim(c);
    std::string error;
    if (!sim.start(&error)) {
        std::printf("ui_gateway_bench: failed: %s\n", error.c_str());
        return 1;
    }
    const std::string lan = "127.0.0.1:" + std::to_string(sim.tftpPort());
    TData data;
    InitData(&data);
    data.Lang = LANG_EN;
    TK7713T_Reset();
    TFTP_Init(Konvertor.TFTP, lan, 0, 1000);
    Konvertor.Rozhrani = ROZHRANI_LAN;
    Konvertor.Init = true;
    data.Init = true;
    data.Pripojeni.Rozhrani = ROZHRANI_LAN;
    data.Pripojeni.LAN_IP = lan;
    data.Pripojeni.LAN_Timeout = 1000;

    constexpr int kSeconds = 5;
    for (const auto& [code, baud] : {std::pair<std::uint8_t, int>{4, 9600}, {8, 115200}}) {
        TTK7713T_UartmCfg uartm;
        if (!TK7713T_PrectiUartm(Konvertor, uartm) ||
            (uartm.KodBaud = code, !TK7713T_ZapisUartm(Konvertor, uartm))) {
            std::printf("ui_gateway_bench: failed: uartm.cfg\n");
            return 1;
        }
        TFormGatewayTest w;
        w.Dat = &data;
        w.show();
        w.PortEdit->setText(QString::number(sim.mbtcpPort()));
        w.IntervalEdit->setText(QStringLiteral("100"));
        w.RepeatButton->click();
        runEventsFor(300); // the connection stands
        const std::uint32_t before = w.requestsSent();
        QElapsedTimer clock;
        clock.start();
        runEventsFor(kSeconds * 1000);
        const double rate =
            (w.requestsSent() - before) * 1000.0 / static_cast<double>(clock.elapsed());
        w.RepeatButton->click();
        const bool allAnswered = w.lastStatus() == ModbusStatus::Answered;
        w.reject();
        std::printf("repeat_100ms_%d_requests_per_second: %.2f requests/s\n", baud, rate);
        if (!allAnswered) {
            std::printf("ui_gateway_bench: failed: the last request was not answered\n");
            return 1;
        }
    }
    sim.stop();
    return 0;
}
