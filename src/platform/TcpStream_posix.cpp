#include "platform/TcpStream.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

#include "platform/Udp_sockaddr.inc"

detail::ConnectStep failureOf(int error) {
    return error == ECONNREFUSED ? detail::ConnectStep::Refused : detail::ConnectStep::Error;
}

// poll() for one event up to ms, resumed after signals with the time left.
int pollFor(int fd, short events, std::uint32_t ms, short& revents) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
            deadline - std::chrono::steady_clock::now());
        const long long leftMs = left.count() <= 0 ? 0 : (left.count() + 999) / 1000;
        pollfd p{fd, events, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(leftMs));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        revents = p.revents;
        return ready;
    }
}

} // namespace

namespace detail {

ConnectStep systemTcpStartConnect(const UdpEndpoint& to, std::intptr_t& handle) {
    handle = -1;
    const int fd = ::socket(familyOf(to.version), SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return ConnectStep::Error;
    }
    handle = fd;
    sockaddr_storage storage;
    const socklen_t length = toSockaddr(to, storage);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&storage), length) == 0) {
        return ConnectStep::Connected;
    }
    return errno == EINPROGRESS || errno == EINTR ? ConnectStep::Pending : failureOf(errno);
}

ConnectStep systemTcpAwaitConnect(std::intptr_t handle, std::uint32_t ms) {
    const int fd = static_cast<int>(handle);
    short revents = 0;
    const int ready = pollFor(fd, POLLOUT, ms, revents);
    if (ready < 0) {
        return ConnectStep::Error;
    }
    if (ready == 0) {
        return ConnectStep::Pending;
    }
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
        return ConnectStep::Error;
    }
    return error == 0 ? ConnectStep::Connected : failureOf(error);
}

bool systemTcpFinishConnect(std::intptr_t handle) {
    const int fd = static_cast<int>(handle);
    const int flags = ::fcntl(fd, F_GETFL);
    const int on = 1;
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 &&
           ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0;
}

} // namespace detail

TcpWait tcpWaitReadable(std::intptr_t handle, std::uint32_t timeoutMs) {
    if (handle < 0) {
        return TcpWait::Error;
    }
    short revents = 0;
    const int ready = pollFor(static_cast<int>(handle), POLLIN, timeoutMs, revents);
    if (ready < 0 || (revents & POLLNVAL) != 0) {
        return TcpWait::Error;
    }
    // A closed or reset connection is readable too: the read reports it.
    return ready == 0 ? TcpWait::Timeout : TcpWait::Readable;
}

bool tcpEnded(std::intptr_t handle) {
    std::uint8_t byte = 0;
    ssize_t got;
    do {
        got = ::recv(static_cast<int>(handle), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    } while (got < 0 && errno == EINTR);
    return got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

void tcpClose(std::intptr_t handle) {
    if (handle >= 0) {
        ::close(static_cast<int>(handle));
    }
}

} // namespace platform
