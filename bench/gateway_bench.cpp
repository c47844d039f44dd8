// The simulator as a gateway (tk7713t-sim as a process, a built-in slave on
// its master line, Modbus TCP on loopback): the round trip of a 10-register
// read at 115200 Bd against the wire limit (request and answer bits plus
// 2 x 3.5 characters), and sustained requests a second at 9600 and
// 115200 Bd against the wire limit, with the simulator's CPU share meanwhile.
#include "cli/Cli.h"
#include "tools/sim_peers.h"

#include <netinet/tcp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

const Bytes kRead10{0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x00, 0x00, 0x0A};
constexpr std::size_t kAnswer10 = 7 + 2 + 20;

// Wire time of one exchange in microseconds: 8 + 25 characters of 11 bits
// (even parity) and two silences of 3.5 characters.
double wireUs(unsigned baud) {
    return (8 + 25 + 7) * 11 * 1e6 / baud;
}

class Client {
  public:
    explicit Client(std::uint16_t port) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        ok_ = connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        const int on = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    ~Client() { close(fd_); }
    bool ok() const { return ok_; }
    bool send(std::uint16_t transaction) {
        Bytes r = kRead10;
        r[0] = static_cast<std::uint8_t>(transaction >> 8);
        r[1] = static_cast<std::uint8_t>(transaction & 0xFF);
        return ::send(fd_, r.data(), r.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(r.size());
    }
    // One whole answer of the expected length.
    bool receive() {
        while (in_ < kAnswer10) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 5000) <= 0) {
                return false;
            }
            const ssize_t n = read(fd_, buf_ + in_, sizeof buf_ - in_);
            if (n <= 0) {
                return false;
            }
            in_ += static_cast<std::size_t>(n);
        }
        std::copy(buf_ + kAnswer10, buf_ + in_, buf_);
        in_ -= kAnswer10;
        return true;
    }

  private:
    int fd_ = -1;
    bool ok_ = false;
    std::uint8_t buf_[4096] = {};
    std::size_t in_ = 0;
};

// CPU seconds the process has used (user and system).
double cpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), {});
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string skip;
    for (int i = 0; i < 11; ++i) {
        fields >> skip;
    }
    double user = 0;
    double system = 0;
    fields >> user >> system;
    return (user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

bool setBaud(const std::string& lan, int code) {
    std::ostringstream out;
    std::ostringstream err;
    return tkcli::Run({"--lan", lan, "set", "uartm", "KodBaud=" + std::to_string(code)}, out,
                      err) == 0;
}

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main() {
    simtest::Child sim({TK_BINARY_DIR "/tools/sim/tk7713t-sim", "--tftp-port", "0", "--no-rtu",
                        "--mbtcp", "127.0.0.1:0", "--line-slaves", "1"});
    if (!sim.waitForLine("ready", 10000)) {
        std::printf("gateway_bench: failed: the simulator did not start\n");
        return 1;
    }
    std::smatch m;
    const std::string out = sim.out();
    if (!std::regex_search(out, m, std::regex("tftp: (127\\.0\\.0\\.1:[0-9]+)\n"))) {
        return 1;
    }
    const std::string lan = m[1];
    if (!std::regex_search(out, m, std::regex("mbtcp: 127\\.0\\.0\\.1:([0-9]+)\n"))) {
        return 1;
    }
    const auto port = static_cast<std::uint16_t>(std::stoi(m[1]));

    // Round trip at 115200 Bd, one request at a time.
    if (!setBaud(lan, 8)) {
        std::printf("gateway_bench: failed: set uartm\n");
        return 1;
    }
    {
        Client c(port);
        std::vector<double> times;
        for (std::uint16_t i = 0; i < 300 && c.ok(); ++i) {
            const auto t0 = Clock::now();
            if (!c.send(i) || !c.receive()) {
                break;
            }
            times.push_back(ms(Clock::now() - t0));
        }
        if (times.size() < 300) {
            std::printf("gateway_bench: failed: round trips\n");
            return 1;
        }
        std::sort(times.begin(), times.end());
        const double limit = wireUs(115200) / 1000;
        std::printf("roundtrip_10reg_115200_median: %.3f ms\n", times[times.size() / 2]);
        std::printf("roundtrip_10reg_115200_p99: %.3f ms\n", times[times.size() * 99 / 100]);
        std::printf("roundtrip_10reg_115200_wire_limit: %.3f ms\n", limit);
        std::printf("roundtrip_10reg_115200_over_wire_limit: %.1f %%\n",
                    (times[times.size() / 2] / limit - 1) * 100);
    }

    // Sustained: four requests always outstanding keep the line's queue full.
    for (const auto& [code, baud] : std::vector<std::pair<int, unsigned>>{{4, 9600}, {8, 115200}}) {
        if (!setBaud(lan, code)) {
            return 1;
        }
        Client c(port);
        std::uint16_t sent = 0;
        for (; sent < 4; ++sent) {
            c.send(sent);
        }
        for (int warm = 0; warm < 4 && c.receive(); ++warm) {
            c.send(sent++);
        }
        const auto t0 = Clock::now();
        const double cpu0 = cpuSeconds(sim.pid());
        unsigned answers = 0;
        while (Clock::now() - t0 < std::chrono::seconds(3) && c.receive()) {
            ++answers;
            c.send(sent++);
        }
        const double seconds = ms(Clock::now() - t0) / 1000;
        const double cpu = (cpuSeconds(sim.pid()) - cpu0) / seconds * 100;
        for (int left = 0; left < 4; ++left) {
            c.receive();
        }
        std::printf("sustained_%u: %.1f requests/s\n", baud, answers / seconds);
        std::printf("sustained_%u_wire_limit: %.1f requests/s\n", baud, 1e6 / wireUs(baud));
        std::printf("sim_cpu_saturated_%u: %.1f %%\n", baud, cpu);
    }
    sim.signal(SIGTERM);
    sim.wait(5000);
    return 0;
}
