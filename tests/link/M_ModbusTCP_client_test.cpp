// The Modbus TCP client (libmodbus underneath) against a scripted server on
// loopback: the bytes it sends, and how each failure ends without leaving
// anything behind for the next request.
#include "link/M_ModbusTCP.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

using Bytes = std::vector<std::uint8_t>;

// What the server does with one request.
enum class Action {
    Answer,
    Silent,
    HalfThenClose,
    OtherTransaction,
    BadProtocol,
    AnswerThenClose,
    CloseUnanswered
};

// A Modbus TCP server on 127.0.0.1 that answers holding register reads with
// unit * 1000 + address, or misbehaves as scripted, one action per request.
class ScriptedServer {
  public:
    explicit ScriptedServer(std::vector<Action> script) : script_(std::move(script)) {
        listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        bind(listen_, reinterpret_cast<sockaddr*>(&a), n);
        listen(listen_, 4);
        getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &n);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~ScriptedServer() {
        stop_ = true;
        thread_.join();
        close(listen_);
    }

    std::uint16_t port() const { return port_; }
    int connections() const { return connections_; }
    std::vector<Bytes> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }

  private:
    bool readable(int fd) {
        pollfd p{fd, POLLIN, 0};
        return poll(&p, 1, 10) > 0;
    }

    void serve() {
        int fd = -1;
        Bytes in;
        std::size_t step = 0;
        while (!stop_) {
            if (readable(listen_)) {
                if (fd >= 0) {
                    close(fd);
                }
                fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
                in.clear();
                ++connections_;
            }
            if (fd < 0 || !readable(fd)) {
                continue;
            }
            std::uint8_t buf[300];
            const ssize_t got = recv(fd, buf, sizeof buf, 0);
            if (got <= 0) {
                close(fd);
                fd = -1;
                continue;
            }
            in.insert(in.end(), buf, buf + got);
            if (in.size() < 6 || in.size() < 6u + (in[4] << 8 | in[5])) {
                continue;
            }
            const Bytes request = in;
            in.clear();
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(request);
            }
            const Action action = step < script_.size() ? script_[step] : Action::Answer;
            ++step;
            if (!respond(fd, request, action)) {
                close(fd);
                fd = -1;
            }
        }
        if (fd >= 0) {
            close(fd);
        }
    }

    // False when the connection is to be closed.
    static bool respond(int fd, const Bytes& q, Action action) {
        if (action == Action::Silent) {
            return true;
        }
        if (action == Action::CloseUnanswered) {
            return false;
        }
        const std::uint16_t address = static_cast<std::uint16_t>(q[8] << 8 | q[9]);
        const std::uint16_t count = static_cast<std::uint16_t>(q[10] << 8 | q[11]);
        Bytes a{q[0], q[1], 0,
                0,    0,    static_cast<std::uint8_t>(3 + 2 * count),
                q[6], q[7], static_cast<std::uint8_t>(2 * count)};
        for (std::uint16_t i = 0; i < count; ++i) {
            const std::uint16_t v = static_cast<std::uint16_t>(q[6] * 1000 + address + i);
            a.push_back(static_cast<std::uint8_t>(v >> 8));
            a.push_back(static_cast<std::uint8_t>(v & 0xFF));
        }
        if (action == Action::OtherTransaction) {
            a[1] ^= 1;
        }
        if (action == Action::BadProtocol) {
            a[3] = 5;
        }
        if (action == Action::HalfThenClose) {
            a.resize(a.size() - 2);
        }
        send(fd, a.data(), a.size(), MSG_NOSIGNAL);
        return action == Action::Answer || action == Action::OtherTransaction ||
               action == Action::BadProtocol;
    }

    std::vector<Action> script_;
    int listen_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::mutex mutex_;
    std::vector<Bytes> requests_;
};

ModbusTcpTarget target(std::uint16_t port, std::uint32_t timeoutMs = 2000) {
    ModbusTcpTarget t;
    EXPECT_TRUE(platform::resolveHost("127.0.0.1", platform::IpVersion::V4, port, t.Endpoint));
    t.TimeoutMs = timeoutMs;
    return t;
}

const ModbusRequest kRead{3, ModbusFunction::ReadHoldingRegisters, 10, 2, {}};

TEST(ModbusTcpClient, SendsTheAduAndKeepsTheConnectionForTheNextRequest) {
    ScriptedServer server({});
    ModbusTcpClient client;
    const ModbusResult r = client.transact(target(server.port()), kRead);
    ASSERT_EQ(r.Status, ModbusStatus::Answered);
    EXPECT_EQ(r.Values, (std::vector<std::uint16_t>{3010, 3011}));
    const Bytes sent{0, 0, 0, 0, 0, 6, 3, 0x03, 0, 10, 0, 2};
    EXPECT_EQ(r.Request, sent);
    EXPECT_EQ(r.Answer, (Bytes{0, 0, 0, 0, 0, 7, 3, 0x03, 4, 0x0B, 0xC2, 0x0B, 0xC3}));
    EXPECT_EQ(client.transact(target(server.port()), kRead).Status, ModbusStatus::Answered);
    EXPECT_EQ(server.requests(), (std::vector<Bytes>{sent, sent}));
    EXPECT_EQ(server.connections(), 1);
}

struct FailureCase {
    const char* name;
    Action action;
    ModbusStatus status;
};

class ModbusTcpFailure : public ::testing::TestWithParam<FailureCase> {};

// Each failure ends the request with its own status; the next request gets
// a fresh connection and its own answer, never a leftover of the failed one.
TEST_P(ModbusTcpFailure, EndsWithItsStatusAndTheNextRequestWorks) {
    ScriptedServer server({GetParam().action});
    ModbusTcpClient client;
    const ModbusResult failed = client.transact(target(server.port(), 300), kRead);
    EXPECT_EQ(failed.Status, GetParam().status);
    EXPECT_FALSE(client.connected());
    const ModbusResult next = client.transact(target(server.port()), kRead);
    ASSERT_EQ(next.Status, ModbusStatus::Answered);
    EXPECT_EQ(next.Values, (std::vector<std::uint16_t>{3010, 3011}));
    EXPECT_EQ(server.connections(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Server, ModbusTcpFailure,
    ::testing::Values(
        FailureCase{"Silent", Action::Silent, ModbusStatus::Timeout},
        FailureCase{"ResetInTheAnswer", Action::HalfThenClose, ModbusStatus::ConnectionClosed},
        FailureCase{"OtherTransaction", Action::OtherTransaction, ModbusStatus::WrongTransaction},
        FailureCase{"ProtocolId", Action::BadProtocol, ModbusStatus::MalformedHeader}),
    [](const ::testing::TestParamInfo<FailureCase>& p) { return std::string(p.param.name); });

TEST(ModbusTcpClient, ReconnectsWhenTheServerClosedAnIdleConnection) {
    ScriptedServer server({Action::AnswerThenClose});
    ModbusTcpClient client;
    ASSERT_EQ(client.transact(target(server.port()), kRead).Status, ModbusStatus::Answered);
    EXPECT_EQ(client.transact(target(server.port()), kRead).Status, ModbusStatus::Answered);
    EXPECT_EQ(server.connections(), 2);
}

// The request met a kept connection the server closed just then: it never
// reached the server, so it goes once more, on a new connection.
TEST(ModbusTcpClient, SendsOnceMoreWhenAKeptConnectionEndsUnanswered) {
    ScriptedServer server({Action::Answer, Action::CloseUnanswered});
    ModbusTcpClient client;
    ASSERT_EQ(client.transact(target(server.port()), kRead).Status, ModbusStatus::Answered);
    EXPECT_EQ(client.transact(target(server.port()), kRead).Status, ModbusStatus::Answered);
    EXPECT_EQ(server.requests().size(), 3u);
    EXPECT_EQ(server.connections(), 2);
}

TEST(ModbusTcpClient, RefusedWhereNothingListens) {
    std::uint16_t port = 0;
    {
        ScriptedServer gone({});
        port = gone.port();
    }
    ModbusTcpClient client;
    const ModbusResult r = client.transact(target(port), kRead);
    EXPECT_EQ(r.Status, ModbusStatus::Refused);
    EXPECT_TRUE(r.Request.empty());
}

TEST(ModbusTcpClient, AWaitHookThatSaysStopEndsTheWaitAtOnce) {
    ScriptedServer server({Action::Silent});
    ModbusTcpClient client;
    int waits = 0;
    client.setWaitHook([&] { return ++waits < 3; });
    const ModbusResult r = client.transact(target(server.port(), 60000), kRead);
    EXPECT_EQ(r.Status, ModbusStatus::Aborted);
    EXPECT_EQ(waits, 3);
}

TEST(ModbusTcpClient, ABroadcastIsSentWithoutWaitingForAnAnswer) {
    ScriptedServer server({Action::Silent});
    ModbusTcpClient client;
    client.setWaitHook([] { return false; }); // any wait would end as Aborted
    const ModbusRequest broadcast{0, ModbusFunction::WriteSingleRegister, 1, 1, {5}};
    EXPECT_EQ(client.transact(target(server.port()), broadcast).Status,
              ModbusStatus::BroadcastSent);
    EXPECT_TRUE(client.connected());
}

} // namespace
