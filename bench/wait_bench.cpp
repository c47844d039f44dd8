// How long the waits really take that the tests only count: a UDP receive
// timeout, a pause, and the TFTP link's timeouts with the longest time
// between two event pumps (the user interface's worst stall) while it waits
// for a silent server on loopback. Each figure is the median of a few runs,
// with the worst run beside it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "link/M_TFTP.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/Udp.h"

namespace {

using Ms = std::chrono::duration<double, std::milli>;

struct Figure {
    double median = 0;
    double worst = 0;
};

Figure measure(int runs, const std::function<void()>& what) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        what();
        ms.push_back(Ms(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

std::chrono::steady_clock::time_point lastPump;
double longestGapMs = 0;
void notePump() {
    const auto now = std::chrono::steady_clock::now();
    longestGapMs = std::max(longestGapMs, Ms(now - lastPump).count());
    lastPump = now;
}

void print(const char* name, const Figure& f, const char* goal) {
    std::printf("%s: %.1f ms (worst %.1f ms; %s)\n", name, f.median, f.worst, goal);
}

} // namespace

int main() {
    platform::UdpSocket silent; // a server that never answers
    platform::UdpEndpoint local;
    local.address = {127, 0, 0, 1};
    if (!silent.openBound(local)) {
        std::printf("error: no loopback socket\n");
        return 1;
    }
    const std::string server = "127.0.0.1:" + std::to_string(silent.localPort());

    platform::UdpSocket s;
    s.open(platform::IpVersion::V4);
    std::uint8_t in[8];
    std::size_t length = 0;
    bool truncated = false;
    platform::UdpEndpoint from;
    print("udp_receive_timeout_40ms",
          measure(10, [&] { s.receiveFrom(in, sizeof in, length, truncated, from, 40); }),
          "at least 40");
    print("pause_5ms", measure(20, [] { platform::pauseMs(5); }), "at least 5");

    platform::setEventPump(&notePump);
    TTFTP link;
    TFTP_Init(link, server, 0, 200);
    std::vector<std::uint8_t> buffer(TFTP_MAX_SOUBOR);
    std::int32_t got = 0;
    const auto timed = [&](const std::function<void()>& transfer) {
        longestGapMs = 0;
        return measure(5, [&] {
            lastPump = std::chrono::steady_clock::now();
            transfer();
        });
    };
    print("tftp_read_timeout_200ms",
          timed([&] { TFTP_PrectiSoubor(link, "sys.bin", buffer.data(), got); }), "at least 200");
    std::printf("tftp_longest_time_between_event_pumps: %.1f ms (goal: about 10)\n", longestGapMs);
    const std::uint8_t command[2] = {1, 0xFF};
    print("tftp_write_timeout_200ms",
          timed([&] { TFTP_ZapisSoubor(link, "ctrl.bin", command, 2); }),
          "at least 500, the shortest wait of a write");
    platform::setEventPump(nullptr);
    return 0;
}
