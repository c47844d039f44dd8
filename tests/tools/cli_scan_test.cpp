// tk7713t scan: the address ranges it accepts, a LAN scan over loopback
// addresses with simulators and silent listeners, and a serial scan that
// finds the simulator at settings nobody wrote down.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "cli/Scan.h"
#include "link/M_ModbusRTU.h"
#include "platform/Udp.h"
#include "support/PtyPair.h"
#include "support/WaitClock.h"
#include "tools/SimHarness.h"
#include "tools/ToolRun.h"

namespace {

using harness::runTool;

struct RangeCase {
    const char* text;
    tkcli::RangeError error;
    const char* first;
    std::uint32_t count;
};

const RangeCase kRanges[] = {
    {"127.0.0.16/28", tkcli::RangeError::None, "127.0.0.17", 14},
    {"10.1.0.0/22", tkcli::RangeError::None, "10.1.0.1", 1022},
    {"127.0.0.8/31", tkcli::RangeError::None, "127.0.0.8", 2},
    {"127.0.0.9/32", tkcli::RangeError::None, "127.0.0.9", 1},
    {"127.0.0.5-127.0.0.5", tkcli::RangeError::None, "127.0.0.5", 1},
    {"127.0.0.250-127.0.1.4", tkcli::RangeError::None, "127.0.0.250", 11},
    {"127.0.0.17/28", tkcli::RangeError::HostPart, "", 0},
    {"10.0.0.0/21", tkcli::RangeError::TooLarge, "", 0},
    {"10.0.0.0-10.0.4.0", tkcli::RangeError::TooLarge, "", 0},
    {"0.0.0.0/24", tkcli::RangeError::NotUnicast, "", 0},
    {"224.0.0.0/28", tkcli::RangeError::NotUnicast, "", 0},
    {"255.255.255.255/32", tkcli::RangeError::NotUnicast, "", 0},
    {"127.0.0.9-127.0.0.8", tkcli::RangeError::Syntax, "", 0},
    {"127.0.0.1", tkcli::RangeError::Syntax, "", 0},
    {"127.0.0.0/33", tkcli::RangeError::Syntax, "", 0},
    {"127.0.0/24", tkcli::RangeError::Syntax, "", 0},
    {"127.0.0.256/32", tkcli::RangeError::Syntax, "", 0},
    {"127.0.0.0/", tkcli::RangeError::Syntax, "", 0},
    {"1.2.3.4-", tkcli::RangeError::Syntax, "", 0},
};

TEST(ScanRange, AcceptsNetworksAndSpansOnly) {
    for (const RangeCase& c : kRanges) {
        tkcli::Ipv4Range r;
        EXPECT_EQ(tkcli::ParseIpv4Range(c.text, r), c.error) << c.text;
        if (c.error == tkcli::RangeError::None) {
            EXPECT_EQ(tkcli::Ipv4Text(r.first), c.first) << c.text;
            EXPECT_EQ(r.count(), c.count) << c.text;
        }
    }
    const auto refused = runTool({"scan", "--lan", "127.0.0.17/28"});
    EXPECT_EQ(refused.status, tkcli::EXIT_USAGE);
    EXPECT_NE(refused.err.find("127.0.0.17/28"), std::string::npos) << refused.err;
    EXPECT_EQ(runTool({"scan", "--com", "3", "--baud", "9600"}).status, tkcli::EXIT_USAGE);
    EXPECT_EQ(runTool({"--rate", "5", "identify"}).status, tkcli::EXIT_USAGE);
}

// A UDP socket on one loopback address that never answers and counts what
// came.
struct Listener {
    platform::UdpSocket socket;
    std::size_t arrivals = 0;
    void drain() {
        std::array<std::uint8_t, 600> b;
        std::size_t n = 0;
        bool cut = false;
        platform::UdpEndpoint from;
        while (socket.receiveFrom(b.data(), b.size(), n, cut, from, 0) ==
               platform::UdpReceive::Datagram) {
            ++arrivals;
        }
    }
};

platform::UdpEndpoint loopback(std::uint8_t last, std::uint16_t port) {
    platform::UdpEndpoint e;
    e.address = {127, 0, 0, last};
    e.port = port;
    return e;
}

TEST(ScanLan, FindsTheConvertersOfARangeAndProbesEachAddressOnceAtTheRate) {
    // A port free on 127.0.0.18, used by every address of the test.
    platform::UdpSocket probe;
    ASSERT_TRUE(probe.openBound(loopback(18, 0)));
    const std::uint16_t port = probe.localPort();
    probe.close();

    tksim::Config ca;
    ca.rtu.enabled = false;
    ca.tftp.address = "127.0.0.18";
    ca.tftp.port = port;
    ca.model.identity.serial = "11110018";
    tksim::Config cb = ca;
    cb.tftp.address = "127.0.0.25";
    cb.model.identity.serial = "11110025";
    std::vector<std::string> logA, logB;
    std::mutex m;
    ca.log = [&](const std::string& l) {
        std::lock_guard g(m);
        logA.push_back(l);
    };
    cb.log = [&](const std::string& l) {
        std::lock_guard g(m);
        logB.push_back(l);
    };
    tksim::Simulator simA(ca), simB(cb);
    std::string error;
    ASSERT_TRUE(simA.start(&error)) << error;
    ASSERT_TRUE(simB.start(&error)) << error;

    std::map<int, Listener> silent; // every other address of 127.0.0.16/28
    for (int host = 16; host <= 31; ++host) {
        if (host != 18 && host != 25) {
            ASSERT_TRUE(
                silent[host].socket.openBound(loopback(static_cast<std::uint8_t>(host), port)))
                << host;
        }
    }
    std::thread drain([&] {
        for (int i = 0; i < 200; ++i) {
            for (auto& [host, l] : silent) {
                l.drain();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    support::WaitClock clock;
    const auto r =
        runTool({"--json", "scan", "--lan", "127.0.0.16/28", "--port", std::to_string(port),
                 "--rate", "20", "--lan-timeout", "300", "--quiet"});
    drain.join();
    EXPECT_EQ(r.status, tkcli::EXIT_OK) << r.err;
    EXPECT_NE(r.out.find("\"127.0.0.18\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"11110025\""), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("127.0.0.17"), std::string::npos) << r.out;

    for (auto& [host, l] : silent) {
        // Network and broadcast addresses are never probed; the others once.
        EXPECT_EQ(l.arrivals, host == 16 || host == 31 ? 0u : 1u) << "127.0.0." << host;
    }
    // Probe n (127.0.0.17 is probe 0) never leaves before n / 20 s of the
    // scan's own clock.
    std::map<int, std::uint64_t> probedAt;
    for (const auto& sent : clock.sent()) {
        if (sent.to.port == port) {
            probedAt.emplace(sent.to.address[3], sent.atMs);
        }
    }
    ASSERT_EQ(probedAt.size(), 14u);
    for (const auto& [host, atMs] : probedAt) {
        EXPECT_GE(atMs, (host - 17u) * 50u) << host;
    }

    // Both converters saw their transfer ended by the scan.
    auto ended = [&](const std::vector<std::string>& log) {
        std::lock_guard g(m);
        return std::count_if(log.begin(), log.end(), [](const std::string& l) {
            return l.find("ended by the client") != std::string::npos;
        });
    };
    for (int i = 0; i < 100 && (ended(logA) == 0 || ended(logB) == 0); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(ended(logA), 1);
    EXPECT_EQ(ended(logB), 1);
}

// Redrawn in place on a terminal; plain lines in a log or a pipe.
TEST(ScanLan, ProgressIsPlainLinesUnlessStandardErrorIsATerminal) {
    platform::UdpSocket silent;
    ASSERT_TRUE(silent.openBound(loopback(1, 0)));
    const std::vector<std::string> args{
        "scan",          "--lan", "127.0.0.1/32", "--port", std::to_string(silent.localPort()),
        "--lan-timeout", "50"};
    for (const bool terminal : {false, true}) {
        std::ostringstream out, err;
        EXPECT_EQ(tkcli::Run(args, out, err, terminal), tkcli::EXIT_FAILED);
        EXPECT_EQ(err.str(),
                  terminal
                      ? "\rscan: 1/1 addresses, 0 found\x1b[K\r\x1b[Ktk7713t: No converter found\n"
                      : "scan: 1/1 addresses, 0 found\ntk7713t: No converter found\n");
    }
}

TEST(ScanLan, CtrlCStopsAtOnceAndKeepsWhatWasFound) {
    harness::Sim sim;
    ASSERT_TRUE(sim.started());
    // The simulator sits on the first address; the rest of the range would
    // take 50 s at 5 probes per second.
    std::thread interrupt([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        std::raise(SIGINT);
    });
    const auto start = std::chrono::steady_clock::now();
    const auto r = runTool({"scan", "--lan", "127.0.0.1-127.0.0.250", "--port",
                            std::to_string(sim.sim().tftpPort()), "--rate", "5", "--quiet"});
    interrupt.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(r.status, tkcli::EXIT_OK) << r.err;
    EXPECT_NE(r.out.find("127.0.0.1  TK-7713T"), std::string::npos) << r.out;
}

TEST(ScanSerial, FindsASimulatorAtOtherSpeedAndAddressOnlyWhenAskedForEveryAddress) {
    tksim::Config c;
    c.rtu.baudCode = 5; // 19200 Bd
    c.rtu.address = 12;
    harness::Sim sim(c);
    ASSERT_TRUE(sim.started());
    const auto likely = runTool({"scan", "--device", sim.pty(), "--quiet"});
    EXPECT_EQ(likely.status, tkcli::EXIT_FAILED);
    EXPECT_NE(likely.err.find("No converter found"), std::string::npos) << likely.err;

    const auto every =
        runTool({"--json", "scan", "--device", sim.pty(), "--all-addresses", "--quiet"});
    EXPECT_EQ(every.status, tkcli::EXIT_OK) << every.err;
    EXPECT_NE(every.out.find("\"Baud\": 19200"), std::string::npos) << every.out;
    EXPECT_NE(every.out.find("\"Adresa\": 12"), std::string::npos) << every.out;
    EXPECT_NE(every.out.find("\"Parita\": \"even\""), std::string::npos) << every.out;
}

using Bytes = std::vector<std::uint8_t>;

// A device on a pseudo-terminal that takes each identification request
// (14 bytes) and answers what `reply` makes of it and its number.
class LinePeer {
  public:
    using Reply = std::function<Bytes(const Bytes& request, int number)>;
    explicit LinePeer(Reply reply) : reply_(std::move(reply)), thread_([this] { serve(); }) {}
    ~LinePeer() {
        stop_ = true;
        thread_.join();
    }
    std::string path() const { return pty_.slavePath(); }

  private:
    void serve() {
        Bytes request;
        int number = 0;
        while (!stop_) {
            const Bytes got = pty_.readMaster(14 - request.size(), 20);
            request.insert(request.end(), got.begin(), got.end());
            if (request.size() == 14) {
                pty_.writeMaster(reply_(request, number++));
                request.clear();
            }
        }
    }

    support::PtyPair pty_;
    Reply reply_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The converter's answer to an identification request.
Bytes identification(const Bytes& request) {
    static const std::map<int, std::string> items{
        {0, "TK-7"}, {1, "713T"}, {2, "1.05"}, {10, "2407"}, {11, "0001"}};
    Bytes a{request[0], 0x45, 0x00, 0x08, request[4], 0xC8, request[6], 0x00};
    for (char c : items.at(request[6])) {
        a.push_back(static_cast<std::uint8_t>(c));
    }
    const std::uint16_t crc = MBRTU_CRC16(a.data(), static_cast<std::uint32_t>(a.size()));
    a.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    a.push_back(static_cast<std::uint8_t>(crc >> 8));
    return a;
}

// Many RS-485 adapters hear their own transmission: an echo is no answer.
TEST(ScanSerial, AnEchoOfTheRequestIsNoAnswer) {
    LinePeer echo([](const Bytes& request, int) { return request; });
    const auto r = runTool({"scan", "--device", echo.path(), "--quiet"});
    EXPECT_EQ(r.status, tkcli::EXIT_FAILED);
    EXPECT_EQ(r.out, "");
    // 63 when the peer keeps up; an echo that misses an attempt's few
    // milliseconds on a loaded machine counts as silence, never as an answer.
    const std::string prefix = "tk7713t: Requests that came back only as their own echo: ";
    ASSERT_EQ(r.err.rfind(prefix, 0), 0u) << r.err;
    const int echoes = std::stoi(r.err.substr(prefix.size()));
    EXPECT_GE(echoes, 1);
    EXPECT_LE(echoes, 63);
    EXPECT_EQ(r.err.substr(r.err.find('\n') + 1), "tk7713t: No converter found\n");
}

// What answers but does not identify itself as a supported converter is
// listed, and the scan goes on.
TEST(ScanSerial, AnAnswerWithoutIdentificationIsListedAndTheScanGoesOn) {
    // The first request answered, the next one (the identification) not,
    // every later one as the converter.
    LinePeer peer([](const Bytes& request, int number) {
        return number == 1 ? Bytes{} : identification(request);
    });
    const auto r = runTool({"scan", "--device", peer.path(), "--quiet"});
    EXPECT_EQ(r.status, tkcli::EXIT_OK) << r.err;
    EXPECT_EQ(r.out, "Answer from a device that is not a supported converter at 9600 Bd, even "
                     "parity, address 247\n"
                     "Found: 9600 Bd, even parity, address 255\n"
                     "TK-7713T  v.1.05  Serial number 24070001  supported\n");
}

} // namespace
