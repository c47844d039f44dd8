// The simulator as a gateway, end to end on loopback: Modbus TCP clients
// (mbpoll and raw sockets) through the simulated master line to built-in
// slaves, to a pymodbus slave program and to a misbehaving slave on the
// line's pseudo-terminal; the statistics the traffic leaves behind.
#include "sim/SimBytes.h"
#include "sim_peers.h"
#include "tools/SimHarness.h"
#include "tools/ToolRun.h"

#include <gtest/gtest.h>

#include <netinet/tcp.h>
#include <termios.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using simtest::Bytes;
using tksim::SimFile;

constexpr int kGuardMs = 10000; // hang guard only

Bytes mbap(std::uint16_t transaction, std::uint8_t unit, const Bytes& pdu) {
    const std::size_t length = pdu.size() + 1;
    Bytes b;
    b.reserve(6 + length);
    b.push_back(static_cast<std::uint8_t>(transaction >> 8));
    b.push_back(static_cast<std::uint8_t>(transaction & 0xFF));
    b.push_back(0);
    b.push_back(0);
    b.push_back(static_cast<std::uint8_t>(length >> 8));
    b.push_back(static_cast<std::uint8_t>(length & 0xFF));
    b.push_back(unit);
    b.insert(b.end(), pdu.begin(), pdu.end());
    return b;
}

class TcpClient {
  public:
    explicit TcpClient(std::uint16_t port) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        const int on = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    ~TcpClient() { close(fd_); }
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    bool connected() const { return connected_; }
    bool send(const Bytes& b) const {
        return ::send(fd_, b.data(), b.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(b.size());
    }
    // One whole MBAP answer; nothing when the connection ends or the guard runs out.
    std::optional<Bytes> receive(int timeoutMs = kGuardMs) {
        const std::uint64_t end = simtest::monoMs() + static_cast<std::uint64_t>(timeoutMs);
        for (;;) {
            if (in_.size() >= 6) {
                const std::size_t total = 6u + (in_[4] << 8 | in_[5]);
                if (in_.size() >= total) {
                    Bytes adu(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(total));
                    in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(total));
                    return adu;
                }
            }
            const std::uint64_t now = simtest::monoMs();
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, now < end ? static_cast<int>(end - now) : 0) <= 0) {
                return std::nullopt;
            }
            std::uint8_t buf[512];
            const ssize_t n = read(fd_, buf, sizeof buf);
            if (n <= 0) {
                closed_ = true;
                return std::nullopt;
            }
            in_.insert(in_.end(), buf, buf + n);
        }
    }
    Bytes ask(std::uint16_t transaction, std::uint8_t unit, const Bytes& pdu) {
        EXPECT_TRUE(send(mbap(transaction, unit, pdu)));
        return receive().value_or(Bytes{});
    }
    // True once the server has closed the connection.
    bool closedByServer(int timeoutMs = kGuardMs) {
        while (!closed_ && receive(timeoutMs)) {
        }
        return closed_;
    }

  private:
    int fd_ = -1;
    bool connected_ = false;
    bool closed_ = false;
    Bytes in_;
};

Bytes withChecksum(Bytes b) {
    b.push_back(tksim::checksumFor(b));
    return b;
}

std::uint32_t u32At(const Bytes& b, std::size_t o) {
    return b.at(o) | b.at(o + 1) << 8 | b.at(o + 2) << 16 |
           static_cast<std::uint32_t>(b.at(o + 3)) << 24;
}

tksim::Config gatewayConfig(std::vector<std::uint8_t> slaves, std::string lineLink = {}) {
    tksim::Config c;
    c.rtu.enabled = false;
    c.gateway.tcpServer = true;
    c.gateway.port = 0;
    c.gateway.lineSlaves = std::move(slaves);
    c.gateway.lineLink = std::move(lineLink);
    return c;
}

class GatewayTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(sim.started()) << sim.error(); }
    std::uint16_t port() { return sim.sim().mbtcpPort(); }
    void write(SimFile file, Bytes image) {
        ASSERT_EQ(sim.model().write(file, withChecksum(std::move(image))),
                  tksim::WriteResult::Accepted);
    }
    Bytes mmrd() { return sim.model().read(SimFile::Mmrd); }
    // Messages, erroneous messages, negative responses.
    Bytes totals() {
        const Bytes m = mmrd();
        return Bytes(m.begin(), m.begin() + 12);
    }

    harness::Sim sim{gatewayConfig({1, 2})};
};

struct PollCase {
    std::vector<std::string> args;
    const char* shows;
};

// Rows run in order: the write comes before its read-back.
TEST_F(GatewayTest, MbpollReadsAndWritesSlavesThroughIt) {
    const std::vector<PollCase> cases{
        {{"-a", "2", "-t", "3", "-r", "1", "-c", "3"}, "[1]: \t0\n[2]: \t1\n[3]: \t2\n"},
        {{"-a", "1", "-t", "0", "-r", "1", "-c", "4"}, "[1]: \t0\n[2]: \t1\n[3]: \t0\n[4]: \t1\n"},
        {{"-a", "2", "-r", "1000", "-c", "1"}, "[1000]: \t2999\n"},
        {{"-a", "2", "-r", "6", "127.0.0.1", "4242"}, "Written 1 references"},
        {{"-a", "2", "-r", "6", "-c", "1"}, "[6]: \t4242\n"},
        {{"-a", "2", "-r", "1000", "-c", "2"}, "Illegal data address"},
        {{"-a", "9"}, "Target device failed to respond"},
        {{"-a", "255"}, "Illegal function"}};
    for (const PollCase& c : cases) {
        std::vector<std::string> argv{"mbpoll", "-m", "tcp", "-p", std::to_string(port()), "-1"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        if (std::find(c.args.begin(), c.args.end(), "127.0.0.1") == c.args.end()) {
            argv.push_back("127.0.0.1");
        }
        const simtest::RunResult r = simtest::run(argv);
        EXPECT_NE((r.out + r.err).find(c.shows), std::string::npos)
            << c.args[1] << " " << c.shows << "\n"
            << r.out << r.err;
    }
}

struct RouteCase {
    std::uint16_t transaction;
    std::uint8_t unit;
    Bytes pdu;
    Bytes answer; // empty: none comes
};

TEST_F(GatewayTest, RoutesByUnitAndCountsWhatWentOnTheLine) {
    write(SimFile::Mbtcp, {17, 5}); // alternative unit 17
    TcpClient client(port());
    ASSERT_TRUE(client.connected());
    const std::vector<RouteCase> cases{
        {0x1234, 255, {0x03, 0x00, 0x00, 0x00, 0x01}, {0x83, 0x01}},
        {0x0001, 17, {0x04, 0x00, 0x00, 0x00, 0x01}, {0x84, 0x01}},
        {0xBEEF, 1, {0x03, 0x00, 0x00, 0x00, 0x02}, {0x03, 0x04, 0x03, 0xE8, 0x03, 0xE9}},
        {0x0002, 2, {0x03, 0x03, 0xE7, 0x00, 0x02}, {0x83, 0x02}},
        {0x0003, 9, {0x03, 0x00, 0x00, 0x00, 0x01}, {0x83, 0x0B}},
        {0x0004, 0, {0x06, 0x00, 0x07, 0x12, 0x34}, {}},
        {0x0005, 1, {0x03, 0x00, 0x07, 0x00, 0x01}, {0x03, 0x02, 0x12, 0x34}},
        {0x0006, 2, {0x2B, 0x0E, 0x01, 0x00}, {0xAB, 0x01}}};
    for (const RouteCase& c : cases) {
        ASSERT_TRUE(client.send(mbap(c.transaction, c.unit, c.pdu)));
        if (!c.answer.empty()) {
            // A broadcast's answer would arrive before the next request's.
            EXPECT_EQ(client.receive(), mbap(c.transaction, c.unit, c.answer)) << int(c.unit);
        }
    }
    // On the line: 1, 2, 9 (no retry), the broadcast, 1 and 2 again.
    EXPECT_EQ(totals(), (Bytes{6, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0}));

    const auto cleared = harness::runTool({"--lan", sim.lan(), "clear-stats"});
    ASSERT_EQ(cleared.status, 0) << cleared.err;
    EXPECT_EQ(totals(), Bytes(12, 0));

    // A silent unit is asked 1 + retries times before exception 11.
    write(SimFile::Uartm, {4, 1, 50, 0, 2});
    EXPECT_EQ(client.ask(0x0007, 9, {0x01, 0x00, 0x00, 0x00, 0x01}), mbap(0x0007, 9, {0x81, 0x0B}));
    EXPECT_EQ(totals(), (Bytes{3, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(sim.count("attempt 3 of 3"), 1u);
}

// Four reads of 125 input registers always outstanding keep the line busy
// but for the silences between frames: 8 + 255 characters of every 270.
TEST_F(GatewayTest, SaturatedLineAt9600ShowsItsUtilisation) {
    TcpClient client(port());
    const Bytes read125{0x04, 0x00, 0x00, 0x00, 0x7D};
    for (std::uint16_t t = 0; t < 4; ++t) {
        ASSERT_TRUE(client.send(mbap(t, 1, read125)));
    }
    // After seven answers (2.1 s) the last full second lies inside the run.
    for (std::uint16_t t = 4; t < 11; ++t) {
        const auto answer = client.receive();
        ASSERT_TRUE(answer);
        ASSERT_EQ(answer->size(), 7u + 2 + 250);
        ASSERT_TRUE(client.send(mbap(t, 1, read125)));
    }
    const Bytes m = mmrd();
    EXPECT_GE(m[14], 90);
    EXPECT_LE(m[14], 100);
    EXPECT_GE(m[12], 3);
    const Bytes ring = sim.model().read(SimFile::Mmrgv);
    EXPECT_EQ(ring.at(12 + (u32At(ring, 8) + 179) % 180), m[14]);
}

// Twenty requests in one go: the queue takes what it can, the rest are
// refused at once with exception 6 and never reach the line.
TEST_F(GatewayTest, FullQueueAnswersSlaveDeviceBusy) {
    TcpClient client(port());
    Bytes burst;
    for (std::uint16_t t = 0; t < 20; ++t) {
        const Bytes one = mbap(t, 1, {0x04, 0x00, 0x00, 0x00, 0x01});
        burst.insert(burst.end(), one.begin(), one.end());
    }
    ASSERT_TRUE(client.send(burst));
    unsigned busy = 0;
    for (int i = 0; i < 20; ++i) {
        const auto answer = client.receive();
        ASSERT_TRUE(answer) << i;
        const Bytes pdu(answer->begin() + 7, answer->end());
        if (pdu == Bytes{0x84, 0x06}) {
            ++busy;
        } else {
            EXPECT_EQ(pdu, (Bytes{0x04, 0x02, 0x00, 0x00})) << i;
        }
    }
    EXPECT_GE(busy, 3u);
    EXPECT_EQ(u32At(mmrd(), 0), 20 - busy);
}

struct MalformedCase {
    const char* what;
    Bytes bytes;
};

TEST_F(GatewayTest, MalformedMbapClosesOnlyThatConnection) {
    TcpClient good(port());
    const std::string garbage = "GET / HTTP/1.0\r\n\r\n";
    for (const MalformedCase& c : std::vector<MalformedCase>{
             {"protocol id 1",
              {0x00, 0x01, 0x00, 0x01, 0x00, 0x06, 0x01, 0x03, 0x00, 0x00, 0x00, 0x01}},
             {"length 0", {0x00, 0x01, 0x00, 0x00, 0x00, 0x00}},
             {"length 1", {0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x01}},
             {"length 255", {0x00, 0x01, 0x00, 0x00, 0x00, 0xFF, 0x01, 0x03}},
             {"garbage", Bytes(garbage.begin(), garbage.end())}}) {
        TcpClient bad(port());
        ASSERT_TRUE(bad.send(c.bytes)) << c.what;
        EXPECT_TRUE(bad.closedByServer()) << c.what;
        EXPECT_EQ(good.ask(7, 1, {0x04, 0x00, 0x05, 0x00, 0x01}),
                  mbap(7, 1, {0x04, 0x02, 0x00, 0x05}))
            << c.what;
    }
}

TEST_F(GatewayTest, IdleAndTruncatedConnectionsAreDroppedAfterTheTimeout) {
    write(SimFile::Mbtcp, {255, 1});
    TcpClient silent(port());
    TcpClient truncated(port());
    ASSERT_TRUE(truncated.send({0x00, 0x01, 0x00}));
    TcpClient busy(port());
    int polls = 0;
    while (!(silent.closedByServer(0) && truncated.closedByServer(0)) && polls++ < kGuardMs / 100) {
        ASSERT_EQ(busy.ask(1, 2, {0x04, 0x00, 0x00, 0x00, 0x01}).size(), 7u + 2 + 2)
            << "busy dropped";
        poll(nullptr, 0, 100);
    }
    EXPECT_TRUE(silent.closedByServer(0));
    EXPECT_TRUE(truncated.closedByServer(0));
    EXPECT_EQ(busy.ask(2, 2, {0x04, 0x00, 0x00, 0x00, 0x01}).size(), 7u + 2 + 2);
}

TEST_F(GatewayTest, ConnectionsBeyondEightAreRefused) {
    std::vector<std::unique_ptr<TcpClient>> clients;
    for (int i = 0; i < 8; ++i) {
        clients.push_back(std::make_unique<TcpClient>(port()));
        ASSERT_FALSE(clients.back()->ask(1, 1, {0x04, 0x00, 0x00, 0x00, 0x01}).empty()) << i;
    }
    TcpClient ninth(port());
    EXPECT_TRUE(ninth.closedByServer());
    clients.pop_back();
    // A closed connection frees its place once the server's loop has seen
    // the close; a client that comes sooner is still the ninth.
    for (int tries = 0; tries < 10; ++tries) {
        TcpClient next(port());
        if (!next.closedByServer(1000)) {
            EXPECT_FALSE(next.ask(1, 1, {0x04, 0x00, 0x00, 0x00, 0x01}).empty());
            return;
        }
    }
    ADD_FAILURE() << "no place freed by the closed connection";
}

// ---- Slaves on the line's pseudo-terminal ----

class LinkedLine : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tksim-line-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        sim = std::make_unique<harness::Sim>(gatewayConfig({}, dir + "/line"));
        ASSERT_TRUE(sim->started()) << sim->error();
    }
    void TearDown() override {
        sim.reset();
        std::filesystem::remove_all(dir);
    }

    std::string dir;
    std::unique_ptr<harness::Sim> sim;
};

TEST_F(LinkedLine, PymodbusSlaveAnswersUntilTheLineMovesToAnotherSpeed) {
    simtest::Child slave({"/usr/bin/python3", TK_SOURCE_DIR "/tests/tools/line_slave.py",
                          dir + "/line", "5", "9600"});
    ASSERT_TRUE(slave.waitForLine("opening", kGuardMs)) << slave.err();
    TcpClient client(sim->sim().mbtcpPort());
    const Bytes read{0x03, 0x00, 0x00, 0x00, 0x02};
    const Bytes pattern = mbap(1, 5, {0x03, 0x04, 0x1B, 0x58, 0x1B, 0x59});
    // Until the program has the line open, nobody answers.
    Bytes answer;
    for (int i = 0; i < 40 && answer != pattern; ++i) {
        answer = client.ask(1, 5, read);
    }
    ASSERT_EQ(answer, pattern) << slave.err();

    const std::string lan = sim->lan();
    auto set = harness::runTool({"--lan", lan, "set", "uartm", "KodBaud=8", "Timeout=100"});
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(client.ask(2, 5, read), mbap(2, 5, {0x83, 0x0B}));
    EXPECT_EQ(sim->count("slave program at 9600 Bd, line at 115200 Bd"), 1u);
    set = harness::runTool({"--lan", lan, "set", "uartm", "KodBaud=4"});
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(client.ask(1, 5, read), pattern);
}

struct BadSlaveCase {
    const char* what;
    Bytes answer;
};

// A slave program played by the test: it checks the frame the gateway puts
// on the line, answers it badly, then well.
TEST_F(LinkedLine, MisbehavingSlaveCountsAsAnErrorAndTheNextRequestWorks) {
    const int fd = open((dir + "/line").c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    tcsetattr(fd, TCSANOW, &t);
    auto heard = [fd] {
        Bytes out;
        pollfd p{fd, POLLIN, 0};
        while (poll(&p, 1, out.empty() ? kGuardMs : 40) > 0) {
            std::uint8_t buf[300];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0) {
                break;
            }
            out.insert(out.end(), buf, buf + n);
        }
        return out;
    };
    TcpClient client(sim->sim().mbtcpPort());
    const Bytes request = mbap(1, 5, {0x03, 0x00, 0x00, 0x00, 0x01});
    std::uint32_t errors = 0;
    for (const BadSlaveCase& c :
         std::vector<BadSlaveCase>{{"wrong unit", {0x06, 0x03, 0x02, 0x00, 0x2A, 0x8C, 0x5B}},
                                   {"wrong function", {0x05, 0x04, 0x02, 0x00, 0x2A, 0xC9, 0x2F}},
                                   {"broken CRC", {0x05, 0x03, 0x02, 0x00, 0x2A, 0xC8, 0x5C}},
                                   {"flood", Bytes(1000, 0xAA)}}) {
        ASSERT_TRUE(client.send(request));
        // The unit as address, the PDU unchanged, the CRC low byte first.
        EXPECT_EQ(heard(), (Bytes{0x05, 0x03, 0x00, 0x00, 0x00, 0x01, 0x85, 0x8E})) << c.what;
        ASSERT_EQ(::write(fd, c.answer.data(), c.answer.size()),
                  static_cast<ssize_t>(c.answer.size()));
        EXPECT_EQ(client.receive(), mbap(1, 5, {0x83, 0x0B})) << c.what;
        EXPECT_EQ(u32At(sim->model().read(SimFile::Mmrd), 4), ++errors) << c.what;
        ASSERT_TRUE(client.send(request));
        EXPECT_FALSE(heard().empty()) << c.what;
        const Bytes good{0x05, 0x03, 0x02, 0x00, 0x2A, 0xC8, 0x5B};
        ASSERT_EQ(::write(fd, good.data(), good.size()), static_cast<ssize_t>(good.size()));
        EXPECT_EQ(client.receive(), mbap(1, 5, {0x03, 0x02, 0x00, 0x2A})) << c.what;
    }
    close(fd);
}

} // namespace
