#include "sim/TftpServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

namespace tksim {

namespace {

using tftpwire::Opcode;

constexpr std::size_t kMaxQueued = 64;
constexpr int kMaxPollMs = 1000;

std::uint64_t nowMs() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

std::string lower(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

// Printable form of a name from the wire, for the log.
std::string printable(const std::string& s) {
    std::string out;
    for (char c : s.substr(0, 64)) {
        out += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
    }
    return s.size() > 64 ? out + "..." : out;
}

bool parseNumber(const std::string& s, unsigned long& value) {
    if (s.empty() || s.size() > 9 ||
        !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    value = std::stoul(s);
    return true;
}

bool samePeer(const sockaddr_storage& a, const sockaddr_storage& b) {
    if (a.ss_family != b.ss_family) {
        return false;
    }
    if (a.ss_family == AF_INET) {
        const auto& x = reinterpret_cast<const sockaddr_in&>(a);
        const auto& y = reinterpret_cast<const sockaddr_in&>(b);
        return x.sin_port == y.sin_port && x.sin_addr.s_addr == y.sin_addr.s_addr;
    }
    const auto& x = reinterpret_cast<const sockaddr_in6&>(a);
    const auto& y = reinterpret_cast<const sockaddr_in6&>(b);
    return x.sin6_port == y.sin6_port &&
           std::memcmp(&x.sin6_addr, &y.sin6_addr, sizeof x.sin6_addr) == 0;
}

void setPort(sockaddr_storage& addr, std::uint16_t port) {
    if (addr.ss_family == AF_INET) {
        reinterpret_cast<sockaddr_in&>(addr).sin_port = htons(port);
    } else {
        reinterpret_cast<sockaddr_in6&>(addr).sin6_port = htons(port);
    }
}

std::uint16_t getPort(const sockaddr_storage& addr) {
    return addr.ss_family == AF_INET ? ntohs(reinterpret_cast<const sockaddr_in&>(addr).sin_port)
                                     : ntohs(reinterpret_cast<const sockaddr_in6&>(addr).sin6_port);
}

int openBound(const sockaddr_storage& addr, socklen_t len) {
    const int fd = socket(addr.ss_family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), len) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

std::string peerText(const sockaddr_storage& addr) {
    char host[INET6_ADDRSTRLEN] = "?";
    if (addr.ss_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(addr).sin_addr, host, sizeof host);
        return std::string(host) + ":" + std::to_string(getPort(addr));
    }
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(addr).sin6_addr, host, sizeof host);
    return "[" + std::string(host) + "]:" + std::to_string(getPort(addr));
}

TftpServer::TftpServer(DeviceModel& model, const TftpOptions& options,
                       std::function<Faults()> faults, LogSink log)
    : model_(model), options_(options), faults_(std::move(faults)), log_(std::move(log)) {}

TftpServer::~TftpServer() {
    close();
}

bool TftpServer::open(std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* list = nullptr;
    const int rc = getaddrinfo(options_.address.c_str(), nullptr, &hints, &list);
    if (rc != 0 || list == nullptr) {
        error = "TFTP address " + options_.address + ": " + gai_strerror(rc);
        return false;
    }
    std::memcpy(&bindAddr_, list->ai_addr, list->ai_addrlen);
    bindLen_ = list->ai_addrlen;
    family_ = list->ai_family;
    freeaddrinfo(list);
    setPort(bindAddr_, options_.port);
    listenFd_ = openBound(bindAddr_, bindLen_);
    if (listenFd_ < 0) {
        error = "TFTP bind " + peerText(bindAddr_) + ": " + std::strerror(errno);
        if (errno == EACCES) {
            error += " (ports below 1024 need privileges)";
        }
        return false;
    }
    sockaddr_storage bound{};
    socklen_t len = sizeof bound;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&bound), &len);
    port_ = getPort(bound);
    buffer_.resize(65536);
    return true;
}

void TftpServer::close() {
    for (auto& t : transfers_) {
        if (t->fd >= 0) {
            ::close(t->fd);
        }
        if (t->altFd >= 0) {
            ::close(t->altFd);
        }
    }
    transfers_.clear();
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
    }
}

void TftpServer::log(const std::string& line) {
    if (log_) {
        log_("tftp: " + line);
    }
}

void TftpServer::sendError(int fd, const Peer& to, std::uint16_t code, const std::string& message) {
    const std::vector<std::uint8_t> p = tftpwire::errorPacket(code, message);
    sendto(fd, p.data(), p.size(), 0, reinterpret_cast<const sockaddr*>(&to.addr), to.len);
}

void TftpServer::handleRequest(const std::uint8_t* p, std::size_t n, const Peer& from,
                               std::uint64_t now) {
    const std::string source = peerText(from.addr);
    auto refuse = [&](std::uint16_t code, const std::string& message, const std::string& what) {
        sendError(listenFd_, from, code, message);
        log(what + ": error " + std::to_string(code) + " " + message);
    };
    if (n < 2) {
        refuse(4, "Illegal TFTP operation", "short packet from " + source);
        return;
    }
    const tftpwire::Packet request = tftpwire::parse({p, n});
    if (request.opcode == Opcode::Error) {
        return; // never answer an error, or two servers could ping-pong
    }
    if (request.opcode != Opcode::Rrq && request.opcode != Opcode::Wrq) {
        refuse(4, "Illegal TFTP operation",
               "opcode " + std::to_string(static_cast<std::uint16_t>(request.opcode)) + " from " +
                   source);
        return;
    }
    if (request.shape == tftpwire::Shape::Unterminated) {
        refuse(4, "Malformed request", "request without terminating zero from " + source);
        return;
    }
    if (request.shape == tftpwire::Shape::NoMode) {
        refuse(4, "Malformed request", "request without mode from " + source);
        return;
    }
    // An option name without its value is ignored like any unknown option.
    const bool reading = request.opcode == Opcode::Rrq;
    const std::string& name = request.fileName;
    std::string what =
        std::string(reading ? "read " : "write ") + printable(name) + " from " + source;
    if (!model_.reachable()) {
        log(what + ": ignored (restarting)");
        return;
    }
    if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos ||
        name.find("..") != std::string::npos) {
        refuse(2, "Access violation", what);
        return;
    }
    const FileInfo* file = fileByName(name);
    if (file == nullptr) {
        refuse(1, "File not found", what);
        return;
    }
    if (lower(request.mode) != "octet") {
        refuse(0, "Only octet mode is supported", what);
        return;
    }
    if ((reading && !file->readable) || (!reading && !file->writable)) {
        refuse(2, "Access violation", what);
        return;
    }
    const Faults faults = faults_ ? faults_() : Faults{};
    if (reading && faults.refuseReadsOf == name) {
        refuse(2, "Access violation", what + " (reads refused)");
        return;
    }
    if (!reading && faults.refuseWrites) {
        refuse(2, "Access violation", what + " (writes refused)");
        return;
    }
    const auto active =
        std::count_if(transfers_.begin(), transfers_.end(),
                      [](const std::unique_ptr<Transfer>& x) { return !x->finished; });
    if (static_cast<std::size_t>(active) >= options_.maxTransfers) {
        refuse(0, "Server busy", what);
        return;
    }

    auto t = std::make_unique<Transfer>();
    t->reading = reading;
    t->file = file;
    t->faults = faults;
    t->peer = from;
    if (reading) {
        t->data = model_.read(file->id);
    }
    tftpwire::Options accepted;
    bool seenBlksize = false;
    bool seenTsize = false;
    for (const tftpwire::Option& asked : request.options) {
        const std::string option = lower(asked.name);
        unsigned long value = 0;
        if (option == "blksize" && !seenBlksize) {
            seenBlksize = true;
            // Below 8 or not a number: the option is ignored; above the
            // limit it is answered with the largest size served.
            if (parseNumber(asked.value, value) && value >= kTftpMinBlksize) {
                t->blksize = std::min<unsigned long>(value, kTftpMaxBlksize);
                accepted.push_back({"blksize", std::to_string(t->blksize)});
            }
        } else if (option == "tsize" && !seenTsize) {
            seenTsize = true;
            if (reading) {
                accepted.push_back({"tsize", std::to_string(t->data.size())});
            } else if (parseNumber(asked.value, value)) {
                if (value > kTftpMaxUpload) {
                    refuse(3, "Disk full or allocation exceeded", what + " tsize " + asked.value);
                    return;
                }
                accepted.push_back({"tsize", asked.value});
            }
        }
    }
    if (faults.noOack) {
        accepted.clear();
        t->blksize = 512;
    }
    if (faults.forceBlksize != 0) {
        t->blksize = std::clamp<std::size_t>(faults.forceBlksize, 1, kTftpMaxBlksize);
        if (!faults.noOack) {
            std::erase_if(accepted, [](const auto& o) { return o.name == "blksize"; });
            accepted.insert(accepted.begin(), {"blksize", std::to_string(faults.forceBlksize)});
        }
    }

    t->fd = openBound(
        [&] {
            sockaddr_storage a = bindAddr_;
            setPort(a, 0);
            return a;
        }(),
        bindLen_);
    if (t->fd < 0) {
        refuse(0, "Out of resources", what);
        return;
    }
    if (faults.foreignPort) {
        sockaddr_storage a = bindAddr_;
        setPort(a, 0);
        t->altFd = openBound(a, bindLen_);
    }
    for (const auto& o : accepted) {
        what += " " + o.name + "=" + o.value;
    }
    t->what = what;
    if (!accepted.empty()) {
        t->awaitingAck0 = reading;
        emit(*t, tftpwire::oackPacket(accepted), now);
    } else if (reading) {
        t->block = 1;
        sendDataBlock(*t, now);
    } else {
        emit(*t, tftpwire::ackPacket(0), now);
    }
    transfers_.push_back(std::move(t));
}

void TftpServer::sendDataBlock(Transfer& t, std::uint64_t now) {
    t.inFlight = std::min(t.blksize, t.data.size() - std::min(t.offset, t.data.size()));
    t.lastSent = t.inFlight < t.blksize;
    emit(t, tftpwire::dataPacket(t.block, std::span(t.data).subspan(t.offset, t.inFlight)), now);
}

void TftpServer::emit(Transfer& t, std::vector<std::uint8_t> packet, std::uint64_t now) {
    t.lastPacket = packet;
    t.retries = 0;
    if (t.faults.delayMs > 0) {
        if (t.queue.size() >= kMaxQueued) {
            t.queue.pop_front();
        }
        t.queue.push_back({now + t.faults.delayMs, std::move(packet)});
        t.resendAt = 0;
        return;
    }
    transmit(t, packet, now);
}

void TftpServer::transmit(Transfer& t, const std::vector<std::uint8_t>& packet, std::uint64_t now) {
    const int fd = t.faults.foreignPort && t.answers > 0 && t.altFd >= 0 ? t.altFd : t.fd;
    ++t.answers;
    ++packetsSent_;
    t.resendAt = now + options_.retransmitMs;
    const unsigned every = t.faults.dropEvery;
    if (every != 0 && packetsSent_ % every == 0) {
        return; // lost on the way; the retransmission timer still runs
    }
    const auto* to = reinterpret_cast<const sockaddr*>(&t.peer.addr);
    sendto(fd, packet.data(), packet.size(), 0, to, t.peer.len);
    if (t.faults.duplicateData && tftpwire::opcodeOf(packet) == Opcode::Data) {
        sendto(fd, packet.data(), packet.size(), 0, to, t.peer.len);
    }
}

void TftpServer::finish(Transfer& t, const std::string& outcome) {
    if (!t.finished) {
        t.finished = true;
        log(t.what + ": " + outcome);
    }
}

void TftpServer::fail(Transfer& t, std::uint16_t code, const std::string& message, std::uint64_t) {
    sendError(t.fd, t.peer, code, message);
    finish(t, "error " + std::to_string(code) + " " + message);
}

void TftpServer::handlePacket(Transfer& t, const std::uint8_t* p, std::size_t n,
                              std::uint64_t now) {
    if (n < 2) {
        fail(t, 4, "Illegal TFTP operation", now);
        return;
    }
    const tftpwire::Packet packet = tftpwire::parse({p, n});
    if (packet.opcode == Opcode::Error) {
        finish(t, "ended by the client, error " + std::to_string(packet.number) + " " +
                      printable(packet.message));
        return;
    }
    if (t.reading) {
        handleReadPacket(t, packet, now);
    } else {
        handleWritePacket(t, packet, now);
    }
}

void TftpServer::handleReadPacket(Transfer& t, const tftpwire::Packet& packet, std::uint64_t now) {
    if (packet.opcode != Opcode::Ack || packet.shape == tftpwire::Shape::TooShort) {
        fail(t, 4, "Illegal TFTP operation", now);
        return;
    }
    const std::uint16_t block = packet.number;
    if (t.awaitingAck0) {
        if (block == 0) {
            t.awaitingAck0 = false;
            t.block = 1;
            t.offset = 0;
            sendDataBlock(t, now);
        }
        return;
    }
    if (block != t.block) {
        return; // old or stray acknowledgement: answering it would double the traffic
    }
    if (t.lastSent) {
        finish(t, std::to_string(t.data.size()) + " bytes sent");
        return;
    }
    t.offset += t.inFlight;
    ++t.block;
    sendDataBlock(t, now);
}

void TftpServer::handleWritePacket(Transfer& t, const tftpwire::Packet& packet, std::uint64_t now) {
    if (packet.opcode != Opcode::Data || packet.shape == tftpwire::Shape::TooShort) {
        fail(t, 4, "Illegal TFTP operation", now);
        return;
    }
    const std::uint16_t block = packet.number;
    const std::size_t length = packet.payload.size();
    if (t.dallying) {
        if (block == t.block) {
            transmit(t, t.lastPacket, now); // our final acknowledgement was lost
        }
        return;
    }
    if (block == t.block) {
        transmit(t, t.lastPacket, now);
        return;
    }
    if (block != static_cast<std::uint16_t>(t.block + 1)) {
        return;
    }
    if (length > t.blksize) {
        fail(t, 4, "Block larger than the block size", now);
        return;
    }
    if (t.data.size() + length > kTftpMaxUpload) {
        fail(t, 3, "Disk full or allocation exceeded", now);
        return;
    }
    t.data.insert(t.data.end(), packet.payload.begin(), packet.payload.end());
    t.block = block;
    if (length == t.blksize) {
        emit(t, tftpwire::ackPacket(block), now);
        return;
    }
    const bool commit = !t.faults.ignoreWrites;
    const WriteResult result = model_.write(t.file->id, t.data, commit);
    if (result != WriteResult::Accepted) {
        std::string message = describe(result);
        message[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(message[0])));
        fail(t, 0, message, now);
        return;
    }
    emit(t, tftpwire::ackPacket(block), now);
    t.dallying = true;
    t.expireAt = now + 2ull * options_.retransmitMs;
    t.outcome = std::to_string(t.data.size()) + " bytes accepted" +
                (commit ? "" : ", not taken over (injected)");
}

void TftpServer::timers(std::uint64_t now) {
    for (auto& tp : transfers_) {
        Transfer& t = *tp;
        if (t.finished) {
            continue;
        }
        while (!t.queue.empty() && t.queue.front().due <= now) {
            const Outgoing out = std::move(t.queue.front());
            t.queue.pop_front();
            transmit(t, out.packet, now);
        }
        if (t.dallying) {
            if (now >= t.expireAt && t.queue.empty()) {
                finish(t, t.outcome);
            }
            continue;
        }
        if (t.queue.empty() && t.resendAt != 0 && now >= t.resendAt) {
            if (t.retries >= options_.retries) {
                finish(t, "no answer after " + std::to_string(t.retries) + " retransmissions");
                continue;
            }
            ++t.retries;
            transmit(t, t.lastPacket, now);
        }
    }
    std::erase_if(transfers_, [](const std::unique_ptr<Transfer>& t) {
        if (!t->finished) {
            return false;
        }
        if (t->fd >= 0) {
            ::close(t->fd);
        }
        if (t->altFd >= 0) {
            ::close(t->altFd);
        }
        return true;
    });
}

void TftpServer::run(const std::atomic<bool>& stop, int wakeFd) {
    std::vector<pollfd> fds;
    std::vector<Transfer*> owners;
    while (!stop.load()) {
        std::uint64_t now = nowMs();
        const bool reachable = model_.reachable();
        if (!reachable) {
            for (auto& t : transfers_) {
                if (!t->dallying) {
                    finish(*t, "aborted by a restart");
                }
            }
        }
        timers(now);

        std::uint64_t next = now + kMaxPollMs;
        for (auto& t : transfers_) {
            if (!t->queue.empty()) {
                next = std::min(next, t->queue.front().due);
            } else if (t->dallying) {
                next = std::min(next, t->expireAt);
            } else if (t->resendAt != 0) {
                next = std::min(next, t->resendAt);
            }
        }
        fds.clear();
        owners.clear();
        fds.push_back({wakeFd, POLLIN, 0});
        owners.push_back(nullptr);
        // Running transfers before new requests: a transfer that has just
        // ended frees its place for a request that came with it.
        for (auto& t : transfers_) {
            fds.push_back({t->fd, POLLIN, 0});
            owners.push_back(t.get());
            if (t->altFd >= 0) {
                fds.push_back({t->altFd, POLLIN, 0});
                owners.push_back(t.get());
            }
        }
        fds.push_back({listenFd_, POLLIN, 0});
        owners.push_back(nullptr);
        const int timeout = next > now ? static_cast<int>(next - now) : 0;
        const int r = poll(fds.data(), fds.size(), timeout);
        if (r < 0 && errno != EINTR) {
            break;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            break;
        }
        now = nowMs();
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if ((fds[i].revents & POLLIN) == 0) {
                continue;
            }
            // A bounded number of datagrams per socket and pass keeps one
            // flooding client from starving the others; new requests one at
            // a time, so that what running transfers received counts first.
            const int batch = owners[i] == nullptr ? 1 : 16;
            for (int k = 0; k < batch; ++k) {
                Peer from;
                from.len = sizeof from.addr;
                const ssize_t n = recvfrom(fds[i].fd, buffer_.data(), buffer_.size(), 0,
                                           reinterpret_cast<sockaddr*>(&from.addr), &from.len);
                if (n < 0) {
                    break;
                }
                Transfer* t = owners[i];
                if (t == nullptr) {
                    handleRequest(buffer_.data(), static_cast<std::size_t>(n), from, now);
                    continue;
                }
                if (t->finished || !model_.reachable()) {
                    continue;
                }
                if (!samePeer(from.addr, t->peer.addr)) {
                    sendError(fds[i].fd, from, 5, "Unknown transfer ID");
                    continue;
                }
                handlePacket(*t, buffer_.data(), static_cast<std::size_t>(n), now);
            }
        }
    }
}

} // namespace tksim
