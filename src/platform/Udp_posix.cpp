#include "platform/Udp.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

#include "platform/Udp_sockaddr.inc"

} // namespace

namespace detail {

bool systemResolve(const std::string& host, IpVersion version, bool numericOnly,
                   UdpEndpoint& result) {
    return resolveFirst(host, version, numericOnly, result);
}

} // namespace detail

bool UdpSocket::openBound(const UdpEndpoint& local) {
    close();
    const int fd = ::socket(familyOf(local.version), SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    if (local.version == IpVersion::V6) {
        const int only = 1; // IPv6 only: the link's version is chosen explicitly
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &only, sizeof only);
    }
    sockaddr_storage storage;
    const socklen_t length = toSockaddr(local, storage);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0) {
        ::close(fd);
        return false;
    }
    handle_ = fd;
    version_ = local.version;
    return true;
}

bool UdpSocket::isOpen() const {
    return handle_ >= 0;
}

void UdpSocket::close() {
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
        handle_ = -1;
    }
}

std::uint16_t UdpSocket::localPort() const {
    if (handle_ < 0) {
        return 0;
    }
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (::getsockname(static_cast<int>(handle_), reinterpret_cast<sockaddr*>(&storage), &length) !=
        0) {
        return 0;
    }
    UdpEndpoint endpoint;
    return fromSockaddr(reinterpret_cast<sockaddr*>(&storage), endpoint) ? endpoint.port : 0;
}

bool UdpSocket::systemSendTo(const UdpEndpoint& to, const std::uint8_t* data, std::size_t length) {
    if (handle_ < 0 || to.version != version_) {
        return false;
    }
    sockaddr_storage storage;
    const socklen_t addressLength = toSockaddr(to, storage);
    ssize_t sent;
    do {
        sent = ::sendto(static_cast<int>(handle_), data, length, 0,
                        reinterpret_cast<sockaddr*>(&storage), addressLength);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(length);
}

UdpReceive UdpSocket::systemReceiveFrom(std::uint8_t* buffer, std::size_t capacity,
                                        std::size_t& length, bool& truncated, UdpEndpoint& from,
                                        std::uint32_t timeoutMs) {
    length = 0;
    truncated = false;
    if (handle_ < 0) {
        return UdpReceive::Error;
    }
    const int fd = static_cast<int>(handle_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
            deadline - std::chrono::steady_clock::now());
        // Round up so a wait never ends before its deadline.
        const long long leftMs = left.count() <= 0 ? 0 : (left.count() + 999) / 1000;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(leftMs));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return UdpReceive::Error;
        }
        if (ready == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return UdpReceive::Timeout;
            }
            continue;
        }
        sockaddr_storage storage{};
        iovec io{buffer, capacity};
        msghdr message{};
        message.msg_name = &storage;
        message.msg_namelen = sizeof storage;
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        const ssize_t got = ::recvmsg(fd, &message, MSG_DONTWAIT);
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
                continue;
            }
            // A late ICMP error of an earlier send says nothing about this wait.
            if (errno == ECONNREFUSED || errno == EHOSTUNREACH || errno == ENETUNREACH) {
                continue;
            }
            return UdpReceive::Error;
        }
        if (!fromSockaddr(reinterpret_cast<sockaddr*>(&storage), from)) {
            continue;
        }
        length = static_cast<std::size_t>(got);
        truncated = (message.msg_flags & MSG_TRUNC) != 0;
        return UdpReceive::Datagram;
    }
}

} // namespace platform
