// Reads a 392-byte file (the size of sys.bin) from tftpd-hpa on loopback
// 1000 times through the TFTP link; prints wall time per read (median and
// 99th percentile) and the CPU time this process spends per read.
// tftpd-hpa forks a process per request, so the same reads are also timed
// against a minimal in-process responder thread to show the link's own cost.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "link/M_TFTP.h"
#include "support/TftpdHpa.h"

namespace {

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Figures {
    double median = 0;
    double p99 = 0;
    double max = 0;
    double cpu = 0;
    int failures = 0;
};

Figures timeReads(const std::string& address, int reads,
                  const std::vector<std::uint8_t>& contents) {
    TTFTP link;
    TFTP_Init(link, address, 0, 1000);
    std::vector<std::uint8_t> buffer(TFTP_MAX_SOUBOR);
    std::vector<double> millis;
    millis.reserve(static_cast<std::size_t>(reads));
    Figures f;
    const double cpu0 = cpuSeconds();
    for (int i = 0; i < reads; ++i) {
        std::int32_t length = 0;
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok = TFTP_PrectiSoubor(link, "sys.bin", buffer.data(), length);
        const auto t1 = std::chrono::steady_clock::now();
        millis.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        if (!ok || length != static_cast<std::int32_t>(contents.size()) ||
            !std::equal(contents.begin(), contents.end(), buffer.begin())) {
            ++f.failures;
        }
    }
    f.cpu = (cpuSeconds() - cpu0) * 1000.0 / reads;
    std::sort(millis.begin(), millis.end());
    f.median = millis[millis.size() / 2];
    f.p99 = millis[millis.size() * 99 / 100];
    f.max = millis.back();
    return f;
}

void print(const char* name, const Figures& f) {
    std::printf("%s_median: %.3f ms\n", name, f.median);
    std::printf("%s_p99: %.3f ms\n", name, f.p99);
    std::printf("%s_max: %.3f ms\n", name, f.max);
    std::printf("%s_cpu: %.3f ms\n", name, f.cpu);
    std::printf("%s_failures: %d count\n", name, f.failures);
}

// Answers every read request with an option acknowledgement and the file
// in one block, from a new port each time, as a converter would.
class Responder {
  public:
    explicit Responder(const std::vector<std::uint8_t>& contents) : contents_(contents) {
        listen_ = bound();
        sockaddr_in sa{};
        socklen_t length = sizeof sa;
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&sa), &length);
        port_ = ntohs(sa.sin_port);
        worker_ = std::thread([this] { run(); });
    }
    ~Responder() {
        stop_ = true;
        worker_.join();
        ::close(listen_);
    }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

  private:
    static int bound() {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        return fd;
    }
    static bool wait(int fd) {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, 20) > 0;
    }
    void run() {
        std::uint8_t in[1600];
        const std::uint8_t oack[] = "\0\6blksize\0"
                                    "1500\0";
        std::vector<std::uint8_t> data = {0, 3, 0, 1};
        data.insert(data.end(), contents_.begin(), contents_.end());
        while (!stop_) {
            if (!wait(listen_)) {
                continue;
            }
            sockaddr_in client{};
            socklen_t length = sizeof client;
            if (::recvfrom(listen_, in, sizeof in, 0, reinterpret_cast<sockaddr*>(&client),
                           &length) < 2) {
                continue;
            }
            const int transfer = bound();
            const auto to = reinterpret_cast<const sockaddr*>(&client);
            ::sendto(transfer, oack, sizeof oack - 1, 0, to, length);
            if (wait(transfer) && ::recv(transfer, in, sizeof in, 0) == 4) { // ACK 0
                ::sendto(transfer, data.data(), data.size(), 0, to, length);
                if (wait(transfer)) {
                    ::recv(transfer, in, sizeof in, 0); // ACK 1
                }
            }
            ::close(transfer);
        }
    }

    std::vector<std::uint8_t> contents_;
    int listen_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

} // namespace

int main() {
    constexpr int reads = 1000;
    tftptest::TftpdHpa server;
    if (!server.running()) {
        std::fprintf(stderr, "tftp_bench: tftpd-hpa not available: %s\n", server.whyNot().c_str());
        return 1;
    }
    std::vector<std::uint8_t> contents(392);
    for (std::size_t i = 0; i < contents.size(); ++i) {
        contents[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    if (!server.putFile("sys.bin", contents)) {
        std::fprintf(stderr, "tftp_bench: cannot store the file\n");
        return 1;
    }
    const Figures hpa = timeReads(server.address(), reads, contents);
    print("tftp_read_392_tftpd_hpa", hpa);
    server.stop();

    Figures local;
    {
        Responder responder(contents);
        local = timeReads(responder.address(), reads, contents);
    }
    print("tftp_read_392_in_process_peer", local);
    return hpa.failures + local.failures == 0 ? 0 : 1;
}
