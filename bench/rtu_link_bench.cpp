// Costs of the Modbus RTU link over a pseudo-terminal:
//  - CPU time of a transaction that waits out a 1000 ms timeout unanswered,
//    beside the cost of 1000 bare 1 ms waits, the floor set by the system;
//  - delay from an answer's last byte to the transaction's return at
//    baud code 4: the block read's request fixes the answer's length, so a
//    complete answer returns without waiting out the silence limit (10 ms).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "link/M_ModbusRTU.h"
#include "platform/SerialPort.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Pty {
    int master = -1;
    int slave = -1; // held so the master never sees a hang-up
    std::string path;

    bool open() {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
            return false;
        }
        const char* name = ptsname(master);
        if (name == nullptr) {
            return false;
        }
        path = name;
        slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios t{};
        if (slave < 0 || tcgetattr(slave, &t) != 0) {
            return false;
        }
        cfmakeraw(&t);
        return tcsetattr(slave, TCSANOW, &t) == 0;
    }
    ~Pty() {
        if (slave >= 0) {
            ::close(slave);
        }
        if (master >= 0) {
            ::close(master);
        }
    }
};

double processCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

double msBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

std::vector<std::uint8_t> withCrc(std::vector<std::uint8_t> frame) {
    const std::uint16_t crc = MBRTU_CRC16(frame.data(), static_cast<std::uint32_t>(frame.size()));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

// Reads one 9-byte request on the master side within timeoutMs.
bool readRequest(int master, int timeoutMs) {
    std::size_t got = 0;
    std::uint8_t buffer[64];
    while (got < 9) {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) {
            return false;
        }
        const ssize_t n = ::read(master, buffer, sizeof(buffer));
        if (n <= 0) {
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

int main() {
    Pty pty;
    if (!pty.open()) {
        std::fprintf(stderr, "cannot open a pseudo-terminal\n");
        return 1;
    }
    platform::setSerialDeviceMap({{9, pty.path}});
    const std::vector<std::uint8_t> request = {0x01, 0x43, 0xFE, 0x17, 0x00, 0x00, 0x06};
    std::array<std::uint8_t, MBRTU_MAX_ODPOVED> answer{};
    std::uint16_t length = 0;

    // (a) Waiting out the timeout.
    {
        TMBRTU mb;
        if (MBRTU_Init(9, 4, 0, 1000, mb) != 0) {
            std::fprintf(stderr, "cannot open the link\n");
            return 1;
        }
        const double cpu0 = processCpuMs();
        const Clock::time_point wall0 = Clock::now();
        const std::int32_t code = MBRTU_Transakce(mb, request.data(), 7, length, answer);
        const double wallMs = msBetween(wall0, Clock::now());
        const double cpuMs = processCpuMs() - cpu0;
        MBRTU_Zavri(mb);
        tcflush(pty.master, TCIFLUSH);
        std::printf("timeout_result_code: %d code\n", code);
        std::printf("timeout_wall_time: %.1f ms\n", wallMs);
        std::printf("timeout_cpu_time: %.2f ms\n", cpuMs);
        std::printf("timeout_cpu_share: %.3f %%\n", 100.0 * cpuMs / wallMs);

        const double floorCpu0 = processCpuMs();
        const Clock::time_point floorWall0 = Clock::now();
        for (int i = 0; i < 1000; ++i) {
            pollfd p{pty.slave, POLLIN, 0};
            ::poll(&p, 1, 1);
        }
        const double floorWallMs = msBetween(floorWall0, Clock::now());
        const double floorCpuMs = processCpuMs() - floorCpu0;
        std::printf("bare_1ms_waits_cpu_share: %.3f %%\n", 100.0 * floorCpuMs / floorWallMs);
    }

    // (b) From the answer's last byte to the transaction's return, 9600 Bd.
    {
        TMBRTU mb;
        if (MBRTU_Init(9, 4, 0, 1000, mb) != 0) {
            std::fprintf(stderr, "cannot open the link\n");
            return 1;
        }
        const std::vector<std::uint8_t> reply =
            withCrc({0x01, 0x43, 0xFE, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60});
        constexpr int kRounds = 30;
        std::atomic<long long> lastByteNs{0};
        std::atomic<bool> stop{false};
        std::thread responder([&] {
            while (!stop.load()) {
                if (!readRequest(pty.master, 50)) {
                    continue;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
                if (::write(pty.master, reply.data(), reply.size()) ==
                    static_cast<ssize_t>(reply.size())) {
                    lastByteNs.store(Clock::now().time_since_epoch().count());
                }
            }
        });
        std::vector<double> delays;
        int failures = 0;
        for (int i = 0; i < kRounds; ++i) {
            lastByteNs.store(0);
            const std::int32_t code = MBRTU_Transakce(mb, request.data(), 7, length, answer);
            const Clock::time_point returned = Clock::now();
            const long long sent = lastByteNs.load();
            if (code != MBRTU_OK || sent == 0) {
                ++failures;
                continue;
            }
            delays.push_back(msBetween(Clock::time_point(Clock::duration(sent)), returned));
        }
        stop.store(true);
        responder.join();
        MBRTU_Zavri(mb);
        std::sort(delays.begin(), delays.end());
        const double median = delays.empty() ? 0.0 : delays[delays.size() / 2];
        const double worst = delays.empty() ? 0.0 : delays.back();
        const double best = delays.empty() ? 0.0 : delays.front();
        std::printf("answer_rounds_failed: %d count\n", failures);
        std::printf("answer_end_to_return_min: %.2f ms\n", best);
        std::printf("answer_end_to_return_median: %.2f ms\n", median);
        std::printf("answer_end_to_return_max: %.2f ms\n", worst);
    }
    platform::setSerialDeviceMap({});
    return 0;
}
