#include "sim/MbtcpServer.h"

#include "sim/TftpServer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tksim {

namespace {

constexpr int kAcceptsPerWake = 16;

std::uint16_t get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

void setPort(sockaddr_storage& addr, std::uint16_t port) {
    if (addr.ss_family == AF_INET) {
        reinterpret_cast<sockaddr_in&>(addr).sin_port = htons(port);
    } else {
        reinterpret_cast<sockaddr_in6&>(addr).sin6_port = htons(port);
    }
}

} // namespace

MbtcpServer::MbtcpServer(const GatewayOptions& options, LogSink log)
    : options_(options), log_(std::move(log)) {}

MbtcpServer::~MbtcpServer() {
    for (const auto& c : connections_) {
        ::close(c->fd);
    }
    if (listenFd_ >= 0) {
        ::close(listenFd_);
    }
}

bool MbtcpServer::open(std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* list = nullptr;
    const int rc = getaddrinfo(options_.address.c_str(), nullptr, &hints, &list);
    if (rc != 0 || list == nullptr) {
        error = "Modbus TCP address " + options_.address + ": " + gai_strerror(rc);
        return false;
    }
    sockaddr_storage addr{};
    std::memcpy(&addr, list->ai_addr, list->ai_addrlen);
    const socklen_t len = list->ai_addrlen;
    freeaddrinfo(list);
    setPort(addr, options_.port);
    listenFd_ = socket(addr.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (listenFd_ >= 0) {
        setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    if (listenFd_ < 0 || bind(listenFd_, reinterpret_cast<const sockaddr*>(&addr), len) != 0 ||
        listen(listenFd_, 16) != 0) {
        error = "Modbus TCP bind " + peerText(addr) + ": " + std::strerror(errno);
        if (errno == EACCES) {
            error += " (ports below 1024 need privileges)";
        }
        return false;
    }
    sockaddr_storage bound{};
    socklen_t boundLen = sizeof bound;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&bound), &boundLen);
    port_ = bound.ss_family == AF_INET
                ? ntohs(reinterpret_cast<const sockaddr_in&>(bound).sin_port)
                : ntohs(reinterpret_cast<const sockaddr_in6&>(bound).sin6_port);
    return true;
}

void MbtcpServer::addPollFds(std::vector<pollfd>& fds) {
    fds.push_back({listenFd_, POLLIN, 0});
    polled_.clear();
    for (const auto& c : connections_) {
        short events = 0;
        if (c->out.size() < kMbtcpPauseReading) {
            events |= POLLIN;
        }
        if (!c->out.empty()) {
            events |= POLLOUT;
        }
        fds.push_back({c->fd, events, 0});
        polled_.push_back(c.get());
    }
}

void MbtcpServer::handle(std::span<const pollfd> fds, std::uint64_t nowUs,
                         std::vector<MbtcpRequest>& out) {
    if (fds.empty()) {
        return;
    }
    for (std::size_t i = 0; i < polled_.size() && i + 1 < fds.size(); ++i) {
        Connection& c = *polled_[i];
        const short revents = fds[i + 1].revents;
        if ((revents & POLLOUT) != 0) {
            flush(c);
        }
        if (!c.closing && (revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            read(c, nowUs, out);
        }
    }
    polled_.clear();
    sweep();
    if ((fds[0].revents & POLLIN) != 0) {
        accept(nowUs);
    }
}

void MbtcpServer::accept(std::uint64_t nowUs) {
    for (int i = 0; i < kAcceptsPerWake; ++i) {
        sockaddr_storage peer{};
        socklen_t len = sizeof peer;
        const int fd = accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &len,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        if (connections_.size() >= options_.maxConnections) {
            ::close(fd);
            log("mbtcp: " + peerText(peer) +
                " refused: " + std::to_string(options_.maxConnections) + " connections already");
            continue;
        }
        // Answers are small and awaited one by one.
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        auto c = std::make_unique<Connection>();
        c->fd = fd;
        c->id = nextId_++;
        c->peer = peerText(peer);
        c->lastActivityUs = nowUs;
        log("mbtcp: " + c->peer + " connected (" + std::to_string(connections_.size() + 1) +
            " of " + std::to_string(options_.maxConnections) + ")");
        connections_.push_back(std::move(c));
    }
}

void MbtcpServer::read(Connection& c, std::uint64_t nowUs, std::vector<MbtcpRequest>& out) {
    const ssize_t n = ::read(c.fd, c.in.data() + c.inUsed, c.in.size() - c.inUsed);
    if (n == 0) {
        drop(c, c.inUsed == 0 ? "closed by the client" : "closed by the client inside a request");
        return;
    }
    if (n < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            drop(c, std::string("read failed: ") + std::strerror(errno));
        }
        return;
    }
    c.inUsed += static_cast<std::size_t>(n);
    c.lastActivityUs = nowUs;
    std::size_t at = 0;
    while (c.inUsed - at >= 6) {
        const std::uint8_t* p = c.in.data() + at;
        const std::uint16_t protocol = get16(p + 2);
        const std::uint16_t length = get16(p + 4);
        if (protocol != 0) {
            drop(c, "malformed request: protocol id " + std::to_string(protocol));
            return;
        }
        // The unit id and at least a function code, at most 253 bytes of PDU.
        if (length < 2 || length > 254) {
            drop(c, "malformed request: length " + std::to_string(length));
            return;
        }
        if (c.inUsed - at < 6u + length) {
            break;
        }
        out.push_back({c.id, get16(p), p[6], std::vector<std::uint8_t>(p + 7, p + 6 + length)});
        ++c.outstanding;
        at += 6u + length;
    }
    std::memmove(c.in.data(), c.in.data() + at, c.inUsed - at);
    c.inUsed -= at;
}

void MbtcpServer::answer(std::uint32_t connection, std::uint16_t transaction, std::uint8_t unit,
                         std::span<const std::uint8_t> pdu, std::uint64_t nowUs) {
    Connection* c = find(connection);
    if (c == nullptr) {
        return;
    }
    c->outstanding -= c->outstanding > 0 ? 1 : 0;
    c->lastActivityUs = nowUs;
    if (c->out.size() + kMbapHeader + pdu.size() > kMbtcpMaxOutput) {
        drop(*c, "the client does not read its answers");
        sweep();
        return;
    }
    const std::size_t length = pdu.size() + 1;
    const std::uint8_t header[kMbapHeader] = {static_cast<std::uint8_t>(transaction >> 8),
                                              static_cast<std::uint8_t>(transaction & 0xFF),
                                              0,
                                              0,
                                              static_cast<std::uint8_t>(length >> 8),
                                              static_cast<std::uint8_t>(length & 0xFF),
                                              unit};
    c->out.insert(c->out.end(), header, header + kMbapHeader);
    c->out.insert(c->out.end(), pdu.begin(), pdu.end());
    flush(*c);
    sweep();
}

void MbtcpServer::unanswered(std::uint32_t connection) {
    if (Connection* c = find(connection); c != nullptr && c->outstanding > 0) {
        --c->outstanding;
    }
}

void MbtcpServer::flush(Connection& c) {
    while (!c.out.empty() && !c.closing) {
        const ssize_t n = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            c.out.erase(c.out.begin(), c.out.begin() + n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            return;
        }
        drop(c, std::string("write failed: ") + std::strerror(errno));
    }
}

void MbtcpServer::closeIdle(std::uint64_t nowUs, unsigned timeoutS) {
    const std::uint64_t limit = std::uint64_t{timeoutS} * 1000000;
    for (const auto& c : connections_) {
        if (c->outstanding == 0 && nowUs - c->lastActivityUs >= limit) {
            drop(*c, "idle for " + std::to_string(timeoutS) + " s");
        }
    }
    sweep();
}

std::optional<std::uint64_t> MbtcpServer::nextIdleUs(unsigned timeoutS) const {
    std::optional<std::uint64_t> next;
    for (const auto& c : connections_) {
        if (c->outstanding == 0) {
            const std::uint64_t due = c->lastActivityUs + std::uint64_t{timeoutS} * 1000000;
            next = std::min(next.value_or(due), due);
        }
    }
    return next;
}

void MbtcpServer::drop(Connection& c, const std::string& why) {
    if (!c.closing) {
        c.closing = true;
        log("mbtcp: " + c.peer + " closed: " + why);
    }
}

void MbtcpServer::sweep() {
    if (!polled_.empty()) {
        return; // handle() is walking the list
    }
    std::erase_if(connections_, [](const std::unique_ptr<Connection>& c) {
        if (c->closing) {
            ::close(c->fd);
        }
        return c->closing;
    });
}

MbtcpServer::Connection* MbtcpServer::find(std::uint32_t id) {
    for (const auto& c : connections_) {
        if (c->id == id && !c->closing) {
            return c.get();
        }
    }
    return nullptr;
}

void MbtcpServer::log(const std::string& line) const {
    if (log_) {
        log_(line);
    }
}

} // namespace tksim
