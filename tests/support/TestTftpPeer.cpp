#include "support/TestTftpPeer.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "support/PeerSockets.h"

namespace tftptest {

namespace {

int openUdp(platform::IpVersion version, const char* address) {
    return sockets::openUdp(version, address);
}

std::uint16_t portOf(int fd) {
    return sockets::localPort(fd);
}

void closeFd(int& fd) {
    if (fd >= 0) {
        sockets::closeSocket(fd);
        fd = -1;
    }
}

const char* loopback(platform::IpVersion version) {
    return version == platform::IpVersion::V4 ? "127.0.0.1" : "::1";
}

} // namespace

Bytes fromHex(std::string_view text) {
    Bytes out;
    int high = -1;
    for (char c : text) {
        int v;
        if (c >= '0' && c <= '9') {
            v = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            v = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            v = c - 'A' + 10;
        } else if (c == ' ' || c == '\n' || c == '\t') {
            continue;
        } else {
            return {};
        }
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    return high < 0 ? out : Bytes{};
}

std::string toHex(const Bytes& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            out += ' ';
        }
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

Bytes patternBytes(std::size_t count, std::uint32_t seed) {
    Bytes out(count);
    std::uint32_t x = seed * 2654435761u + 12345u;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x >> 11);
    }
    return out;
}

Bytes requestPacket(std::uint16_t opcode, const std::string& fileName, const std::string& mode,
                    const Options& options) {
    return tftpwire::requestPacket(tftpwire::Opcode{opcode}, fileName, mode, options);
}

TestTftpPeer::TestTftpPeer(platform::IpVersion version) : version_(version) {
    listen_ = openUdp(version, loopback(version));
    foreignPort_ = openUdp(version, loopback(version));
    if (version == platform::IpVersion::V4) {
        foreignAddress_ = openUdp(version, "127.0.0.2");
    }
    port_ = portOf(listen_);
}

TestTftpPeer::~TestTftpPeer() {
    stop_ = true;
    if (worker_.joinable()) {
        worker_.join();
    }
    closeFd(listen_);
    closeFd(transfer_);
    closeFd(foreignPort_);
    closeFd(foreignAddress_);
}

bool TestTftpPeer::ready() const {
    return listen_ >= 0 && foreignPort_ >= 0 && port_ != 0;
}

std::uint16_t TestTftpPeer::port() const {
    return port_;
}

std::string TestTftpPeer::address() const {
    if (version_ == platform::IpVersion::V4) {
        return "127.0.0.1:" + std::to_string(port_);
    }
    return "[::1]:" + std::to_string(port_);
}

void TestTftpPeer::setStepTimeout(std::chrono::milliseconds timeout) {
    stepTimeout_ = timeout;
}

TestTftpPeer& TestTftpPeer::receiveRequest() {
    steps_.push_back({Step::Kind::ReceiveRequest, Socket::Listen, {}, {}, 0});
    return *this;
}

TestTftpPeer& TestTftpPeer::receive() {
    return receiveAt(Socket::Transfer);
}

TestTftpPeer& TestTftpPeer::receiveAt(Socket socket) {
    steps_.push_back({Step::Kind::Receive, socket, {}, {}, 0});
    return *this;
}

TestTftpPeer& TestTftpPeer::send(Bytes packet, Socket from) {
    steps_.push_back({Step::Kind::Send, from, std::move(packet), {}, 0});
    return *this;
}

TestTftpPeer& TestTftpPeer::delay(std::chrono::milliseconds pause) {
    steps_.push_back({Step::Kind::Delay, Socket::Transfer, {}, pause, 0});
    return *this;
}

TestTftpPeer& TestTftpPeer::serveRead(const Bytes& contents, std::uint16_t blockSize) {
    receiveRequest();
    std::size_t size = 512;
    if (blockSize > 0) {
        size = blockSize;
        send(oackPacket(
            {{"blksize", std::to_string(blockSize)}, {"tsize", std::to_string(contents.size())}}));
        receive();
    }
    std::size_t offset = 0;
    std::uint16_t block = 1;
    for (;;) {
        const std::size_t count = std::min(size, contents.size() - offset);
        const auto first = contents.begin() + static_cast<std::ptrdiff_t>(offset);
        send(dataPacket(block, {first, count}));
        receive();
        offset += count;
        if (count < size) {
            break;
        }
        ++block;
    }
    return *this;
}

TestTftpPeer& TestTftpPeer::serveWrite(std::uint16_t blockSize) {
    receiveRequest();
    if (blockSize > 0) {
        send(oackPacket({{"blksize", std::to_string(blockSize)}}));
    } else {
        send(ackPacket(0));
    }
    steps_.push_back({Step::Kind::WriteLoop,
                      Socket::Transfer,
                      {},
                      {},
                      blockSize > 0 ? blockSize : std::uint16_t{512}});
    return *this;
}

void TestTftpPeer::start() {
    worker_ = std::thread([this] { run(); });
}

bool TestTftpPeer::finish() {
    if (worker_.joinable()) {
        worker_.join();
    }
    return failure_.empty();
}

std::string TestTftpPeer::failure() const {
    return failure_;
}

const std::vector<Datagram>& TestTftpPeer::received() const {
    return received_;
}

std::vector<Bytes> TestTftpPeer::receivedAt(Socket socket) const {
    std::vector<Bytes> out;
    for (const auto& d : received_) {
        if (d.at == socket) {
            out.push_back(d.bytes);
        }
    }
    return out;
}

std::vector<Bytes> TestTftpPeer::requests() const {
    return receivedAt(Socket::Listen);
}

Bytes TestTftpPeer::written() const {
    std::map<std::uint16_t, Bytes> blocks;
    for (const auto& d : received_) {
        const tftpwire::Packet p = tftpwire::parse(d.bytes);
        if (d.at == Socket::Transfer && p.opcode == tftpwire::Opcode::Data &&
            p.shape == tftpwire::Shape::Ok) {
            blocks.emplace(p.number, Bytes(p.payload.begin(), p.payload.end()));
        }
    }
    Bytes out;
    for (const auto& [block, data] : blocks) {
        out.insert(out.end(), data.begin(), data.end());
    }
    return out;
}

std::size_t TestTftpPeer::drainPending() {
    std::size_t count = unclaimed_;
    unclaimed_ = 0;
    for (Socket s :
         {Socket::Listen, Socket::Transfer, Socket::ForeignPort, Socket::ForeignAddress}) {
        const int fd = fdOf(s);
        while (fd >= 0) {
            if (!sockets::waitReadable({fd}, 0)[0] || !readOne(s)) {
                break;
            }
        }
        auto& queue = pending_[static_cast<int>(s)];
        count += queue.size();
        queue.clear();
    }
    return count;
}

int TestTftpPeer::fdOf(Socket socket) const {
    switch (socket) {
    case Socket::Listen:
        return listen_;
    case Socket::Transfer:
        return transfer_;
    case Socket::ForeignPort:
        return foreignPort_;
    case Socket::ForeignAddress:
        return foreignAddress_;
    }
    return -1;
}

void TestTftpPeer::fail(std::string reason) {
    if (failure_.empty()) {
        failure_ = std::move(reason);
    }
}

void TestTftpPeer::run() {
    for (std::size_t i = 0; i < steps_.size() && !stop_; ++i) {
        if (!runStep(steps_[i])) {
            failure_ = "step " + std::to_string(i + 1) + ": " + failure_;
            return;
        }
    }
}

bool TestTftpPeer::readOne(Socket at) {
    Bytes packet;
    std::vector<std::uint8_t> from;
    std::uint16_t fromPort = 0;
    if (!sockets::receiveFrom(fdOf(at), packet, from, fromPort)) {
        return false;
    }
    received_.push_back({at, packet, fromPort});
    pending_[static_cast<int>(at)].push_back({std::move(packet), std::move(from)});
    return true;
}

// Takes the oldest datagram not yet taken at `target`, waiting for one if
// needed; whatever arrives elsewhere meanwhile is queued for later steps.
bool TestTftpPeer::waitFor(Socket target, Bytes& packet) {
    if (fdOf(target) < 0) {
        fail("socket not available");
        return false;
    }
    auto& queue = pending_[static_cast<int>(target)];
    const auto deadline = std::chrono::steady_clock::now() + stepTimeout_;
    while (!stop_) {
        if (!queue.empty()) {
            packet = std::move(queue.front().bytes);
            if (target == Socket::Listen) {
                clientAddress_ = queue.front().from;
                clientAddressLength_ = static_cast<std::uint32_t>(clientAddress_.size());
            }
            queue.erase(queue.begin());
            return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            fail("nothing received in time");
            return false;
        }
        std::vector<int> fds;
        std::vector<Socket> which;
        for (Socket s :
             {Socket::Listen, Socket::Transfer, Socket::ForeignPort, Socket::ForeignAddress}) {
            if (fdOf(s) >= 0) {
                fds.push_back(fdOf(s));
                which.push_back(s);
            }
        }
        // Short slices so the destructor can stop a waiting script.
        const auto slice = std::min<long long>(
            20, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1);
        const std::vector<bool> readable = sockets::waitReadable(fds, static_cast<int>(slice));
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (readable[i]) {
                readOne(which[i]);
            }
        }
    }
    fail("stopped");
    return false;
}

bool TestTftpPeer::sendFrom(Socket from, const Bytes& packet) {
    const int fd = fdOf(from);
    if (fd < 0 || clientAddressLength_ == 0) {
        fail("cannot send: no socket or no client yet");
        return false;
    }
    if (!sockets::sendTo(fd, packet, clientAddress_)) {
        fail("send failed");
        return false;
    }
    return true;
}

bool TestTftpPeer::runStep(const Step& step) {
    switch (step.kind) {
    case Step::Kind::ReceiveRequest: {
        Bytes request;
        if (!waitFor(Socket::Listen, request)) {
            return false;
        }
        // Whatever the last transfer socket still held was never asked for.
        unclaimed_ += pending_[static_cast<int>(Socket::Transfer)].size();
        pending_[static_cast<int>(Socket::Transfer)].clear();
        closeFd(transfer_);
        transfer_ = openUdp(version_, loopback(version_));
        if (transfer_ < 0) {
            fail("no transfer socket");
            return false;
        }
        return true;
    }
    case Step::Kind::Receive: {
        Bytes packet;
        return waitFor(step.socket, packet);
    }
    case Step::Kind::Send:
        return sendFrom(step.socket, step.packet);
    case Step::Kind::Delay: {
        const auto until = std::chrono::steady_clock::now() + step.pause;
        while (!stop_ && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
                until - std::chrono::steady_clock::now(), std::chrono::milliseconds(20)));
        }
        return true;
    }
    case Step::Kind::WriteLoop: {
        std::uint16_t expected = 1;
        for (;;) {
            Bytes packet;
            if (!waitFor(Socket::Transfer, packet)) {
                return false;
            }
            const tftpwire::Packet data = tftpwire::parse(packet);
            if (data.opcode != tftpwire::Opcode::Data || data.shape != tftpwire::Shape::Ok) {
                fail("expected a data packet, got " + toHex(packet));
                return false;
            }
            const std::uint16_t block = data.number;
            if (!sendFrom(Socket::Transfer, ackPacket(block))) {
                return false;
            }
            if (block != expected) {
                continue;
            }
            ++expected;
            if (data.payload.size() < step.blockSize) {
                return true;
            }
        }
    }
    }
    return false;
}

} // namespace tftptest
