#include "support/PeerSockets.h"

#include <mswsock.h>
#include <winsock2.h>
#include <ws2tcpip.h>

namespace tftptest::sockets {

namespace {

#include "support/PeerSockets_sockaddr.inc"

SOCKET handleOf(int socket) {
    return static_cast<SOCKET>(socket);
}

bool started() {
    static const bool ok = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ok;
}

} // namespace

int openUdp(platform::IpVersion version, const char* address) {
    if (!started()) {
        return -1;
    }
    const int family = version == platform::IpVersion::V4 ? AF_INET : AF_INET6;
    const SOCKET s = ::socket(family, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        return -1;
    }
    u_long nonBlocking = 1;
    ::ioctlsocket(s, FIONBIO, &nonBlocking);
    // A client port that went away must not make later receives fail.
    BOOL report = FALSE;
    DWORD returned = 0;
    ::WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr,
               nullptr);
    sockaddr_storage storage{};
    const int length = bindAddress(version, address, storage);
    if (::bind(s, reinterpret_cast<sockaddr*>(&storage), length) != 0) {
        ::closesocket(s);
        return -1;
    }
    return static_cast<int>(s);
}

void closeSocket(int socket) {
    ::closesocket(handleOf(socket));
}

std::uint16_t localPort(int socket) {
    sockaddr_storage storage{};
    int length = sizeof storage;
    if (socket < 0 ||
        ::getsockname(handleOf(socket), reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
        return 0;
    }
    return portOf(storage);
}

std::vector<bool> waitReadable(const std::vector<int>& sockets, int timeoutMs) {
    std::vector<WSAPOLLFD> fds;
    for (int s : sockets) {
        fds.push_back({handleOf(s), POLLRDNORM, 0});
    }
    std::vector<bool> readable(sockets.size(), false);
    if (::WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), timeoutMs) > 0) {
        for (std::size_t i = 0; i < fds.size(); ++i) {
            readable[i] = (fds[i].revents & POLLRDNORM) != 0;
        }
    }
    return readable;
}

bool receiveFrom(int socket, std::vector<std::uint8_t>& packet, std::vector<std::uint8_t>& from,
                 std::uint16_t& fromPort) {
    packet.resize(65536);
    sockaddr_storage storage{};
    int length = sizeof storage;
    const int got = ::recvfrom(handleOf(socket), reinterpret_cast<char*>(packet.data()),
                               static_cast<int>(packet.size()), 0,
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
    const int sent =
        ::sendto(handleOf(socket), reinterpret_cast<const char*>(packet.data()),
                 static_cast<int>(packet.size()), 0, reinterpret_cast<const sockaddr*>(to.data()),
                 static_cast<int>(to.size()));
    return sent == static_cast<int>(packet.size());
}

} // namespace tftptest::sockets
