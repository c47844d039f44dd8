// The converter's Modbus TCP server: MBAP framing on non-blocking sockets
// with fixed-size buffers, a connection limit and the idle timeout. It only
// frames; what a request means is the gateway's business.
#pragma once

#include "sim/SimConfig.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <poll.h>
#include <span>
#include <string>
#include <vector>

namespace tksim {

constexpr std::size_t kMbapHeader = 7;           // transaction, protocol, length, unit
constexpr std::size_t kMbtcpMaxAdu = 6 + 254;    // a length field of at most 254
constexpr std::size_t kMbtcpMaxOutput = 65536;   // answers a client leaves unread
constexpr std::size_t kMbtcpPauseReading = 4096; // no more requests until it reads

struct MbtcpRequest {
    std::uint32_t connection = 0;
    std::uint16_t transaction = 0;
    std::uint8_t unit = 0;
    std::vector<std::uint8_t> pdu;
};

class MbtcpServer {
  public:
    MbtcpServer(const GatewayOptions& options, LogSink log);
    ~MbtcpServer();
    MbtcpServer(const MbtcpServer&) = delete;
    MbtcpServer& operator=(const MbtcpServer&) = delete;

    bool open(std::string& error);
    std::uint16_t port() const { return port_; }
    std::size_t connections() const { return connections_.size(); }

    // Adds what to wait for; handle() takes the same descriptors back after
    // the poll.
    void addPollFds(std::vector<pollfd>& fds);
    void handle(std::span<const pollfd> fds, std::uint64_t nowUs, std::vector<MbtcpRequest>& out);

    // The answer to a request handed out; dropped when its connection is gone.
    void answer(std::uint32_t connection, std::uint16_t transaction, std::uint8_t unit,
                std::span<const std::uint8_t> pdu, std::uint64_t nowUs);
    // A request handed out that gets no answer (a broadcast).
    void unanswered(std::uint32_t connection);

    // Closes connections idle for timeoutS with nothing outstanding.
    void closeIdle(std::uint64_t nowUs, unsigned timeoutS);
    std::optional<std::uint64_t> nextIdleUs(unsigned timeoutS) const;

  private:
    struct Connection {
        int fd = -1;
        std::uint32_t id = 0;
        std::string peer;
        std::array<std::uint8_t, kMbtcpMaxAdu> in{};
        std::size_t inUsed = 0;
        std::vector<std::uint8_t> out;
        std::uint64_t lastActivityUs = 0;
        unsigned outstanding = 0;
        bool closing = false;
    };

    void accept(std::uint64_t nowUs);
    void read(Connection& c, std::uint64_t nowUs, std::vector<MbtcpRequest>& out);
    void flush(Connection& c);
    void drop(Connection& c, const std::string& why);
    void sweep();
    Connection* find(std::uint32_t id);
    void log(const std::string& line) const;

    GatewayOptions options_;
    LogSink log_;
    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::uint32_t nextId_ = 1;
    std::vector<std::unique_ptr<Connection>> connections_;
    std::vector<Connection*> polled_; // in the order of addPollFds
};

} // namespace tksim
