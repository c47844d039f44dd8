// The converter simulator's own costs: a raw TFTP read of sys.bin and a raw
// Modbus RTU identification exchange over its pseudo-terminal (median and
// 99th percentile), and the memory it holds after floods of garbage on both
// interfaces (it must stay bounded).
#include "sim/SimBytes.h"
#include "sim/Simulator.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

long rssKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

void print(const char* name, std::vector<double> v, const char* unit) {
    std::sort(v.begin(), v.end());
    if (v.empty()) {
        std::printf("%s: failed\n", name);
        return;
    }
    std::printf("%s_median: %.3f %s\n", name, v[v.size() / 2], unit);
    std::printf("%s_p99: %.3f %s\n", name, v[v.size() * 99 / 100], unit);
}

struct Udp {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ~Udp() { close(fd); }
    void send(const Bytes& b, std::uint16_t port) const {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        sendto(fd, b.data(), b.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    bool receive(Bytes& b, std::uint16_t& port, int timeoutMs) const {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) {
            return false;
        }
        b.resize(2000);
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n =
            recvfrom(fd, b.data(), b.size(), 0, reinterpret_cast<sockaddr*>(&from), &len);
        b.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        port = ntohs(from.sin_port);
        return n > 0;
    }
};

bool tftpRead(std::uint16_t server) {
    Udp c;
    const std::string rrq = std::string("\0\1sys.bin\0octet\0", 17);
    c.send(Bytes(rrq.begin(), rrq.end()), server);
    Bytes d;
    std::uint16_t port = 0;
    if (!c.receive(d, port, 1000) || d.size() != 4 + 392) {
        return false;
    }
    c.send(Bytes{0, 4, 0, 1}, port);
    return true;
}

Bytes readFor(int fd, int timeoutMs) {
    Bytes out;
    pollfd p{fd, POLLIN, 0};
    int wait = timeoutMs;
    while (poll(&p, 1, wait) > 0) {
        std::uint8_t buf[512];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) {
            break;
        }
        out.insert(out.end(), buf, buf + n);
        if (out.size() >= 14) {
            break;
        }
        wait = 20;
    }
    return out;
}

} // namespace

int main() {
    tksim::Config config;
    config.tftp.port = 0;
    config.rtu.baudCode = 8;
    tksim::Simulator sim(config);
    std::string error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    const long rssStart = rssKb();

    std::vector<double> tftp;
    for (int i = 0; i < 500; ++i) {
        const auto t0 = Clock::now();
        if (tftpRead(sim.tftpPort())) {
            tftp.push_back(ms(Clock::now() - t0));
        }
    }
    print("sim_tftp_read_sys_bin", tftp, "ms");

    const int fd = open(sim.serialPath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    Bytes identify{247, 0x45, 0x00, 0x08, 247, 0xC8, 0, 0, 0, 0, 0, 0};
    tksim::appendCrc(identify);
    std::vector<double> rtu;
    for (int i = 0; i < 300; ++i) {
        const auto t0 = Clock::now();
        if (write(fd, identify.data(), identify.size()) == static_cast<ssize_t>(identify.size()) &&
            readFor(fd, 1000).size() == 14) {
            rtu.push_back(ms(Clock::now() - t0));
        }
    }
    print("sim_rtu_identify_exchange", rtu, "ms");

    // Floods: 100000 garbage datagrams, then 2 MB of bytes without a pause.
    Udp flood;
    Bytes junk(300);
    for (int i = 0; i < 100000; ++i) {
        junk[0] = static_cast<std::uint8_t>(i);
        junk[1] = static_cast<std::uint8_t>(i >> 8);
        flood.send(junk, sim.tftpPort());
    }
    Bytes noise(4096, 0x55);
    for (int i = 0; i < 512; ++i) {
        pollfd p{fd, POLLOUT, 0};
        poll(&p, 1, 100);
        [[maybe_unused]] const ssize_t n = write(fd, noise.data(), noise.size());
    }
    Bytes d;
    std::uint16_t port = 0;
    while (flood.receive(d, port, 200)) {
    }
    readFor(fd, 200);
    const bool stillServing = tftpRead(sim.tftpPort());
    close(fd);
    std::printf("sim_rss_growth_after_floods: %ld kB\n", rssKb() - rssStart);
    std::printf("sim_serving_after_floods: %d bool\n", stillServing ? 1 : 0);
    sim.stop();
    return 0;
}
