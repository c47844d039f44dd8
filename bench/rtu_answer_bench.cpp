// How fast and how reliably serial answers end, against the in-process
// simulator with its answers paced at the line's speed:
//  - time of a configuration write with read-back (uartm.cfg) and of a
//    sys.bin read at 9600 and 115200 Bd, on the simulator's pseudo-terminal;
//  - failed sys.bin reads at 115200 Bd when the bytes travel through a socat
//    relay between two pseudo-terminals, which hands them on in chunks.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "link/U_TK7713T.h"
#include "platform/SerialPort.h"
#include "sim/Simulator.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::int32_t kCom = 9;

struct Link {
    TTK7713T tk;
    bool open(std::int32_t baudCode) {
        tk.Rozhrani = ROZHRANI_COM;
        if (MBRTU_Init(kCom, baudCode, 0, 1000, tk.MBRTU) != 0) {
            return false;
        }
        tk.MBRTU.CFG.Adresa = 247;
        tk.Init = true;
        return true;
    }
    ~Link() { MBRTU_Zavri(tk.MBRTU); }
};

tksim::Config simConfig(std::int32_t baudCode) {
    tksim::Config c;
    c.tftp.enabled = false;
    c.rtu.baudCode = baudCode;
    c.rtu.parityCode = 0;
    c.rtu.pacing = true;
    return c;
}

// Median milliseconds of rounds calls of op; failures counted, not timed.
template <class Op> double medianMs(int rounds, Op op, int& failures) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const Clock::time_point t0 = Clock::now();
        if (!op()) {
            ++failures;
            continue;
        }
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    if (times.empty()) {
        return 0.0;
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

bool timings(std::int32_t baudCode, const char* label, int writeRounds, int sysRounds) {
    tksim::Simulator sim(simConfig(baudCode));
    std::string error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return false;
    }
    platform::setSerialDeviceMap({{kCom, sim.serialPath()}});
    Link link;
    TTK7713T_UartmCfg uartm;
    if (!link.open(baudCode) || !TK7713T_PrectiUartm(link.tk, uartm)) {
        std::fprintf(stderr, "no link at %s Bd\n", label);
        return false;
    }
    int failures = 0;
    const double writeMs = medianMs(
        writeRounds,
        [&] {
            TTK7713T_UartmCfg back;
            return TK7713T_ZapisUartm(link.tk, uartm) && TK7713T_PrectiUartm(link.tk, back);
        },
        failures);
    TTK7713T_SysBin sys;
    const double sysMs = medianMs(
        sysRounds, [&] { return TK7713T_PrectiSys(link.tk, sys); }, failures);
    std::printf("config_write_readback_%s: %.2f ms\n", label, writeMs);
    std::printf("sys_bin_read_%s: %.2f ms\n", label, sysMs);
    std::printf("failed_transfers_%s: %d count\n", label, failures);
    return true;
}

// socat between the simulator's terminal and a new one at path; 0 on failure.
pid_t startRelay(const std::string& simPty, const std::string& path) {
    const std::string mine = "PTY,raw,echo=0,link=" + path;
    const std::string theirs = "OPEN:" + simPty + ",raw,echo=0";
    const char* argv[] = {"socat", mine.c_str(), theirs.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "socat", nullptr, nullptr, const_cast<char* const*>(argv), environ) !=
        0) {
        return 0;
    }
    for (int i = 0; i < 200; ++i) {
        struct stat st {};
        if (stat(path.c_str(), &st) == 0) {
            return pid;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return 0;
}

bool relayFailures(int reads) {
    constexpr std::int32_t kBaud115200 = 8;
    tksim::Simulator sim(simConfig(kBaud115200));
    std::string error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return false;
    }
    char dir[] = "/tmp/rtu-answer-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr) {
        return false;
    }
    const std::string path = std::string(dir) + "/relay";
    const pid_t relay = startRelay(sim.serialPath(), path);
    if (relay == 0) {
        std::fprintf(stderr, "cannot start socat\n");
        rmdir(dir);
        return false;
    }
    platform::setSerialDeviceMap({{kCom, path}});
    int failures = 0;
    {
        Link link;
        if (link.open(kBaud115200)) {
            for (int i = 0; i < reads; ++i) {
                TTK7713T_SysBin sys;
                failures += TK7713T_PrectiSys(link.tk, sys) ? 0 : 1;
            }
        } else {
            failures = reads;
        }
    }
    kill(relay, SIGTERM);
    waitpid(relay, nullptr, 0);
    unlink(path.c_str());
    rmdir(dir);
    std::printf("relay_sys_bin_reads: %d count\n", reads);
    std::printf("relay_sys_bin_reads_failed: %d count\n", failures);
    return true;
}

} // namespace

int main() {
    bool ok = timings(4, "9600", 10, 3);
    ok = timings(8, "115200", 40, 20) && ok;
    ok = relayFailures(80) && ok;
    platform::setSerialDeviceMap({});
    return ok ? 0 : 1;
}
