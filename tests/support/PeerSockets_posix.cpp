#include "support/PeerSockets.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tftptest::sockets {

namespace {

#include "support/PeerSockets_sockaddr.inc"

} // namespace

int openUdp(platform::IpVersion version, const char* address) {
    const int family = version == platform::IpVersion::V4 ? AF_INET : AF_INET6;
    const int fd = ::socket(family, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_storage storage{};
    const auto length = static_cast<socklen_t>(bindAddress(version, address, storage));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void closeSocket(int socket) {
    ::close(socket);
}

std::uint16_t localPort(int socket) {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (socket < 0 || ::getsockname(socket, reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
        return 0;
    }
    return portOf(storage);
}

std::vector<bool> waitReadable(const std::vector<int>& sockets, int timeoutMs) {
    std::vector<pollfd> fds;
    for (int s : sockets) {
        fds.push_back({s, POLLIN, 0});
    }
    std::vector<bool> readable(sockets.size(), false);
    if (::poll(fds.data(), fds.size(), timeoutMs) > 0) {
        for (std::size_t i = 0; i < fds.size(); ++i) {
            readable[i] = (fds[i].revents & POLLIN) != 0;
        }
    }
    return readable;
}

bool receiveFrom(int socket, std::vector<std::uint8_t>& packet, std::vector<std::uint8_t>& from,
                 std::uint16_t& fromPort) {
    packet.resize(65536);
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    const ssize_t got = ::recvfrom(socket, packet.data(), packet.size(), MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&storage), &length);
    if (got < 0) {
        return false;
    }
    packet.resize(static_cast<std::size_t>(got));
    keepSender(storage, static_cast<std::size_t>(length), from, fromPort);
    return true;
}

bool sendTo(int socket, const std::vector<std::uint8_t>& packet,
            const std::vector<std::uint8_t>& to) {
    const ssize_t sent =
        ::sendto(socket, packet.data(), packet.size(), 0,
                 reinterpret_cast<const sockaddr*>(to.data()), static_cast<socklen_t>(to.size()));
    return sent == static_cast<ssize_t>(packet.size());
}

} // namespace tftptest::sockets
