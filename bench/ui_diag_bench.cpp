// The two diagnostics windows against the in-process simulator, offscreen:
// refreshes per second over the LAN and over a pseudo-terminal paced at
// 115200 Bd (with the rate the wire time and the silence limit allow), the
// user-interface thread's CPU share while the RTU master window polls and
// while it waits for a connection, the time to rebuild the 180-point chart,
// and how long Cancel takes to close each window while the converter is
// silent. Goals: at least 9 refreshes per second on the LAN, serial within
// 10 % of what the wire allows, CPU under 3 % of a core, chart under 2 ms,
// Cancel under 50 ms.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/Dekl.h"
#include "link/U_TK7713T.h"
#include "platform/SerialPort.h"
#include "sim/Simulator.h"
#include "ui/DiagRS485.h"
#include "ui/DiagSystem.h"
#include "ui/UtilisationChart.h"

namespace {

constexpr int kSerialCom = 9;
constexpr std::uint32_t kSerialTimeoutMs = 330;
constexpr std::int32_t kLanTimeoutMs = 1000;

std::atomic<unsigned> sysReads{0};
std::atomic<unsigned> mmrdReads{0};

// One count per whole file: the TFTP read, or its last serial block.
void countRead(const std::string& line) {
    if (line.find("tftp: read sys.bin") != std::string::npos ||
        line.find("0x43 file 2 block 1 ") != std::string::npos) {
        ++sysReads;
    }
    if (line.find("tftp: read mmrd.bin") != std::string::npos ||
        line.find("0x43 file 6 ") != std::string::npos) {
        ++mmrdReads;
    }
}

void runEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double threadCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The user-interface thread's CPU share, in percent of a core, while events
// run for `ms`.
double cpuShareFor(int ms) {
    const double cpu0 = threadCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    runEventsFor(ms);
    return 100.0 * (threadCpuSeconds() - cpu0) * 1000.0 / static_cast<double>(clock.elapsed());
}

void disconnect(TData& dat) {
    MBRTU_Zavri(Konvertor.MBRTU);
    TK7713T_Reset();
    dat.Init = false;
}

void connectLan(TData& dat, const tksim::Simulator& sim) {
    disconnect(dat);
    TFTP_Init(Konvertor.TFTP, "127.0.0.1:" + std::to_string(sim.tftpPort()), 0, kLanTimeoutMs);
    Konvertor.Rozhrani = ROZHRANI_LAN;
    Konvertor.Init = dat.Init = true;
}

bool connectSerial(TData& dat, const tksim::Simulator& sim) {
    disconnect(dat);
    platform::setSerialDeviceMap({{kSerialCom, sim.serialPath()}});
    if (MBRTU_Init(kSerialCom, 8, 1, kSerialTimeoutMs, Konvertor.MBRTU) != 0) {
        return false;
    }
    Konvertor.MBRTU.CFG.Adresa = sim.rtuAddress();
    Konvertor.Rozhrani = ROZHRANI_COM;
    Konvertor.Init = dat.Init = true;
    return true;
}

// Refreshes per second of a window shown for `seconds`, counted at the
// converter; the first second is left out.
template <typename W> double refreshRate(TData& dat, std::atomic<unsigned>& counter, int seconds) {
    W w;
    w.Dat = &dat;
    w.show();
    runEventsFor(1000);
    const unsigned before = counter.load();
    QElapsedTimer clock;
    clock.start();
    runEventsFor(seconds * 1000);
    const double rate = (counter.load() - before) * 1000.0 / static_cast<double>(clock.elapsed());
    w.reject();
    return rate;
}

// What a paced line allows: per exchange the request and the answer on the
// wire (11 bits a character at 115200 Bd) and the silence that ends the
// answer, then the window's 100 ms pause.
double serialCeiling(const std::vector<std::pair<int, int>>& exchanges) {
    double ms = 100.0;
    for (const auto& [request, answer] : exchanges) {
        ms += (request + answer) * 11.0 * 1000.0 / 115200.0 + MBRTU_TichoMs(8);
    }
    return 1000.0 / ms;
}

// Time from Cancel to the modal loop's end, pressed while a tick waits for
// a silent converter; median and maximum of `runs`.
template <typename W>
std::pair<double, double> cancelLatency(TData& dat, QPushButton* W::*cancel, int runs) {
    std::vector<double> took;
    for (int run = 0; run < runs; ++run) {
        W w;
        w.Dat = &dat;
        QElapsedTimer closing;
        auto* press = new QTimer(&w);
        QObject::connect(press, &QTimer::timeout, [&w, press, &closing, cancel] {
            if (w.tickRunning()) {
                press->stop();
                // Into the wait, as a user would be.
                QTimer::singleShot(30, &w, [&w, &closing, cancel] {
                    closing.start();
                    (w.*cancel)->click();
                });
            }
        });
        press->start(5);
        w.exec();
        took.push_back(static_cast<double>(closing.nsecsElapsed()) / 1e6);
    }
    std::sort(took.begin(), took.end());
    return {took[took.size() / 2], took.back()};
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const bool quick = argc > 1 && std::string(argv[1]) == "--quick";
    const int seconds = quick ? 3 : 10;
    const int cpuSeconds = quick ? 5 : 30;

    tksim::Config c;
    c.tftp.address = "127.0.0.1";
    c.tftp.port = 0;
    c.model.initialUptimeS = 100000;
    c.rtu.baudCode = 8;
    c.rtu.parityCode = 1;
    c.rtu.pacing = true;
    c.log = countRead;
    tksim::Simulator sim(c);
    std::string error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    TData dat;
    InitData(&dat);
    dat.Lang = LANG_EN;

    connectLan(dat, sim);
    std::printf("diag_info_refresh_lan: %.2f per_s\n",
                refreshRate<TFormDiagPrehled>(dat, sysReads, seconds));
    std::printf("diag_rtu_master_refresh_lan: %.2f per_s\n",
                refreshRate<TFormDiagRS485>(dat, mmrdReads, seconds));

    if (!connectSerial(dat, sim)) {
        std::fprintf(stderr, "cannot open the pseudo-terminal\n");
        return 1;
    }
    // sys.bin: blocks of 240 and 152 bytes; mmrd.bin and mmrgv.bin 240 each.
    // Requests are 9 bytes, answers the block and 5 bytes of frame.
    const double infoCeiling = serialCeiling({{9, 245}, {9, 157}});
    const double masterCeiling = serialCeiling({{9, 245}, {9, 245}});
    const double infoSerial = refreshRate<TFormDiagPrehled>(dat, sysReads, seconds);
    const double masterSerial = refreshRate<TFormDiagRS485>(dat, mmrdReads, seconds);
    std::printf("diag_info_refresh_serial_115200: %.2f per_s\n", infoSerial);
    std::printf("diag_info_refresh_serial_115200_wire_allows: %.2f per_s\n", infoCeiling);
    std::printf("diag_info_refresh_serial_115200_share_of_wire: %.1f %%\n",
                100.0 * infoSerial / infoCeiling);
    std::printf("diag_rtu_master_refresh_serial_115200: %.2f per_s\n", masterSerial);
    std::printf("diag_rtu_master_refresh_serial_115200_wire_allows: %.2f per_s\n", masterCeiling);
    std::printf("diag_rtu_master_refresh_serial_115200_share_of_wire: %.1f %%\n",
                100.0 * masterSerial / masterCeiling);

    // CPU of the user-interface thread (the simulator runs on its own threads).
    connectLan(dat, sim);
    {
        TFormDiagRS485 w;
        w.Dat = &dat;
        w.show();
        runEventsFor(500);
        std::printf("diag_rtu_master_cpu_polling_lan: %.2f %%_of_core\n",
                    cpuShareFor(cpuSeconds * 1000));
        w.reject();
    }
    disconnect(dat);
    {
        TFormDiagRS485 w;
        w.Dat = &dat;
        w.show();
        runEventsFor(500);
        std::printf("diag_rtu_master_cpu_waiting_for_connection: %.2f %%_of_core\n",
                    cpuShareFor(seconds * 1000));

        // Chart: new samples, and new samples drawn as the screen shows them.
        constexpr int kRebuilds = 200;
        QElapsedTimer t;
        t.start();
        for (int k = 0; k < kRebuilds; ++k) {
            for (std::size_t i = 0; i < w.Mmrgv.PoleDat.size(); ++i) {
                w.Mmrgv.PoleDat[i] =
                    static_cast<std::uint8_t>((i * 7 + static_cast<std::size_t>(k)) % 101);
            }
            w.drawHistory();
        }
        std::printf("diag_chart_rebuild_180_points: %.3f ms\n",
                    static_cast<double>(t.nsecsElapsed()) / 1e6 / kRebuilds);
        t.start();
        for (int k = 0; k < kRebuilds / 4; ++k) {
            w.Mmrgv.PoleDat[0] = static_cast<std::uint8_t>(k);
            w.drawHistory();
            QCoreApplication::processEvents();
            const QPixmap drawn = w.ChartView1->grab();
        }
        std::printf("diag_chart_rebuild_and_render_180_points: %.3f ms\n",
                    static_cast<double>(t.nsecsElapsed()) / 1e6 / (kRebuilds / 4));
        w.reject();
    }

    // Cancel while the converter does not answer.
    tksim::Faults silent;
    silent.dropEvery = 1;
    sim.setFaults(silent);
    const int runs = quick ? 3 : 10;
    connectLan(dat, sim);
    auto [infoLanMedian, infoLanMax] =
        cancelLatency<TFormDiagPrehled>(dat, &TFormDiagPrehled::Button1, runs);
    auto [masterLanMedian, masterLanMax] =
        cancelLatency<TFormDiagRS485>(dat, &TFormDiagRS485::Button2, runs);
    if (!connectSerial(dat, sim)) {
        return 1;
    }
    auto [infoSerialMedian, infoSerialMax] =
        cancelLatency<TFormDiagPrehled>(dat, &TFormDiagPrehled::Button1, runs);
    auto [masterSerialMedian, masterSerialMax] =
        cancelLatency<TFormDiagRS485>(dat, &TFormDiagRS485::Button2, runs);
    std::printf("diag_info_cancel_silent_lan_median: %.2f ms\n", infoLanMedian);
    std::printf("diag_info_cancel_silent_lan_max: %.2f ms\n", infoLanMax);
    std::printf("diag_rtu_master_cancel_silent_lan_median: %.2f ms\n", masterLanMedian);
    std::printf("diag_rtu_master_cancel_silent_lan_max: %.2f ms\n", masterLanMax);
    std::printf("diag_info_cancel_silent_serial_median: %.2f ms\n", infoSerialMedian);
    std::printf("diag_info_cancel_silent_serial_max: %.2f ms\n", infoSerialMax);
    std::printf("diag_rtu_master_cancel_silent_serial_median: %.2f ms\n", masterSerialMedian);
    std::printf("diag_rtu_master_cancel_silent_serial_max: %.2f ms\n", masterSerialMax);

    disconnect(dat);
    platform::setSerialDeviceMap({});
    sim.stop();
    return 0;
}
