// How long tk7713t scan takes: a default serial scan that finds nothing
// (every line setting, three addresses), one that finds the simulator at
// 2400 Bd, and a /24 LAN scan on loopback at the default rate with one
// simulator in it.
#include <chrono>
#include <cstdio>
#include <functional>
#include <sstream>

#include "cli/Cli.h"
#include "sim/Simulator.h"

namespace {

double seconds(const std::function<int()>& run, int& status) {
    const auto start = std::chrono::steady_clock::now();
    status = run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int scan(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    return tkcli::Run(args, out, err);
}

tksim::Config serialOnly(int baudCode, std::uint8_t address) {
    tksim::Config c;
    c.tftp.enabled = false;
    c.rtu.baudCode = baudCode;
    c.rtu.address = address;
    return c;
}

} // namespace

int main() {
    int status = 0;
    {
        tksim::Simulator sim(serialOnly(4, 99)); // answers no address the scan tries
        if (!sim.start()) {
            return 1;
        }
        const double t = seconds(
            [&] {
                return scan({"scan", "--device", sim.serialPath(), "--quiet"});
            },
            status);
        std::printf("serial_scan_nothing_found: %.2f s (exit %d)\n", t, status);
    }
    {
        tksim::Simulator sim(serialOnly(2, 247));
        if (!sim.start()) {
            return 1;
        }
        const double t = seconds(
            [&] {
                return scan({"scan", "--device", sim.serialPath(), "--quiet"});
            },
            status);
        std::printf("serial_scan_found_2400: %.2f s (exit %d)\n", t, status);
    }
    {
        tksim::Config c;
        c.rtu.enabled = false;
        c.tftp.address = "127.0.1.77";
        c.tftp.port = 0;
        tksim::Simulator sim(c);
        if (!sim.start()) {
            return 1;
        }
        const double t = seconds(
            [&] {
                return scan({"scan", "--lan", "127.0.1.0/24", "--port",
                             std::to_string(sim.tftpPort()), "--quiet"});
            },
            status);
        std::printf("lan_scan_24_default_rate: %.2f s (exit %d)\n", t, status);
    }
    return 0;
}
