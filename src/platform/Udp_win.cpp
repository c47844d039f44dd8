#include "platform/Udp.h"

#include <winsock2.h>
#include <ws2tcpip.h>

// After winsock2.h, whose types it uses.
#include <mswsock.h>

#include <chrono>
#include <cstring>

#include "platform/Winsock_win.h"

namespace platform {

namespace {

using detail::winsockReady;

SOCKET toSocket(std::intptr_t handle) {
    return static_cast<SOCKET>(handle);
}

#include "platform/Udp_sockaddr.inc"

} // namespace

namespace detail {

bool systemResolve(const std::string& host, IpVersion version, bool numericOnly,
                   UdpEndpoint& result) {
    if (!winsockReady()) {
        return false;
    }
    return resolveFirst(host, version, numericOnly, result);
}

} // namespace detail

bool UdpSocket::openBound(const UdpEndpoint& local) {
    close();
    if (!winsockReady()) {
        return false;
    }
    const SOCKET s = ::socket(familyOf(local.version), SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        return false;
    }
    if (local.version == IpVersion::V6) {
        DWORD only = 1;
        ::setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&only),
                     sizeof only);
    }
    // Without this an ICMP "port unreachable" for an earlier datagram makes
    // the next receive fail on Windows instead of just waiting.
    BOOL report = FALSE;
    DWORD returned = 0;
    ::WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr,
               nullptr);
    sockaddr_storage storage;
    const int length = toSockaddr(local, storage);
    if (::bind(s, reinterpret_cast<sockaddr*>(&storage), length) != 0) {
        ::closesocket(s);
        return false;
    }
    handle_ = static_cast<std::intptr_t>(s);
    version_ = local.version;
    return true;
}

bool UdpSocket::isOpen() const {
    return handle_ != -1;
}

void UdpSocket::close() {
    if (handle_ != -1) {
        ::closesocket(toSocket(handle_));
        handle_ = -1;
    }
}

std::uint16_t UdpSocket::localPort() const {
    if (handle_ == -1) {
        return 0;
    }
    sockaddr_storage storage{};
    int length = sizeof storage;
    if (::getsockname(toSocket(handle_), reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
        return 0;
    }
    UdpEndpoint endpoint;
    return fromSockaddr(reinterpret_cast<sockaddr*>(&storage), endpoint) ? endpoint.port : 0;
}

bool UdpSocket::systemSendTo(const UdpEndpoint& to, const std::uint8_t* data, std::size_t length) {
    if (handle_ == -1 || to.version != version_ || length > 65535) {
        return false;
    }
    sockaddr_storage storage;
    const int addressLength = toSockaddr(to, storage);
    const int sent =
        ::sendto(toSocket(handle_), reinterpret_cast<const char*>(data), static_cast<int>(length),
                 0, reinterpret_cast<sockaddr*>(&storage), addressLength);
    return sent == static_cast<int>(length);
}

UdpReceive UdpSocket::systemReceiveFrom(std::uint8_t* buffer, std::size_t capacity,
                                        std::size_t& length, bool& truncated, UdpEndpoint& from,
                                        std::uint32_t timeoutMs) {
    length = 0;
    truncated = false;
    if (handle_ == -1) {
        return UdpReceive::Error;
    }
    const SOCKET s = toSocket(handle_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
            deadline - std::chrono::steady_clock::now());
        const long long leftUs = left.count() <= 0 ? 0 : left.count();
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(s, &readable);
        timeval tv;
        tv.tv_sec = static_cast<long>(leftUs / 1000000);
        tv.tv_usec = static_cast<long>(leftUs % 1000000);
        const int ready = ::select(0, &readable, nullptr, nullptr, &tv);
        if (ready == SOCKET_ERROR) {
            return UdpReceive::Error;
        }
        if (ready == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return UdpReceive::Timeout;
            }
            continue;
        }
        sockaddr_storage storage{};
        int addressLength = sizeof storage;
        const int cap = capacity > 65536 ? 65536 : static_cast<int>(capacity);
        int got = ::recvfrom(s, reinterpret_cast<char*>(buffer), cap, 0,
                             reinterpret_cast<sockaddr*>(&storage), &addressLength);
        if (got == SOCKET_ERROR) {
            const int error = WSAGetLastError();
            if (error == WSAEMSGSIZE) {
                // The buffer holds the first `cap` bytes of a longer datagram.
                got = cap;
                truncated = true;
            } else if (error == WSAECONNRESET || error == WSAEWOULDBLOCK || error == WSAEINTR) {
                continue;
            } else {
                return UdpReceive::Error;
            }
        }
        if (!fromSockaddr(reinterpret_cast<sockaddr*>(&storage), from)) {
            truncated = false;
            continue;
        }
        length = static_cast<std::size_t>(got);
        return UdpReceive::Datagram;
    }
}

} // namespace platform
