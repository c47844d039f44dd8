#include "platform/TcpStream.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

#include "platform/Winsock_win.h"

namespace platform {

namespace {

using detail::winsockReady;

SOCKET toSocket(std::intptr_t handle) {
    return static_cast<SOCKET>(handle);
}

#include "platform/Udp_sockaddr.inc"

detail::ConnectStep failureOf(int error) {
    return error == WSAECONNREFUSED ? detail::ConnectStep::Refused : detail::ConnectStep::Error;
}

timeval timevalOf(std::uint32_t ms) {
    timeval tv;
    tv.tv_sec = static_cast<long>(ms / 1000);
    tv.tv_usec = static_cast<long>((ms % 1000) * 1000);
    return tv;
}

} // namespace

namespace detail {

ConnectStep systemTcpStartConnect(const UdpEndpoint& to, std::intptr_t& handle) {
    handle = -1;
    if (!winsockReady()) {
        return ConnectStep::Error;
    }
    const SOCKET s = ::socket(familyOf(to.version), SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        return ConnectStep::Error;
    }
    handle = static_cast<std::intptr_t>(s);
    u_long nonBlocking = 1;
    if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        return ConnectStep::Error;
    }
    sockaddr_storage storage;
    const int length = toSockaddr(to, storage);
    if (::connect(s, reinterpret_cast<sockaddr*>(&storage), length) == 0) {
        return ConnectStep::Connected;
    }
    const int error = WSAGetLastError();
    return error == WSAEWOULDBLOCK ? ConnectStep::Pending : failureOf(error);
}

ConnectStep systemTcpAwaitConnect(std::intptr_t handle, std::uint32_t ms) {
    const SOCKET s = toSocket(handle);
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval tv = timevalOf(ms);
    // A refused connection shows in the exception set on Windows.
    const int ready = ::select(0, nullptr, &writable, &failed, &tv);
    if (ready == SOCKET_ERROR) {
        return ConnectStep::Error;
    }
    if (ready == 0) {
        return ConnectStep::Pending;
    }
    int error = 0;
    int size = sizeof error;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0) {
        return ConnectStep::Error;
    }
    return error == 0 && FD_ISSET(s, &writable) ? ConnectStep::Connected : failureOf(error);
}

bool systemTcpFinishConnect(std::intptr_t handle) {
    const SOCKET s = toSocket(handle);
    u_long blocking = 0;
    BOOL on = TRUE;
    return ::ioctlsocket(s, FIONBIO, &blocking) == 0 &&
           ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                        sizeof on) == 0;
}

} // namespace detail

TcpWait tcpWaitReadable(std::intptr_t handle, std::uint32_t timeoutMs) {
    if (handle < 0) {
        return TcpWait::Error;
    }
    const SOCKET s = toSocket(handle);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval tv = timevalOf(timeoutMs);
    const int ready = ::select(0, &readable, nullptr, nullptr, &tv);
    if (ready == SOCKET_ERROR) {
        return TcpWait::Error;
    }
    return ready == 0 ? TcpWait::Timeout : TcpWait::Readable;
}

bool tcpEnded(std::intptr_t handle) {
    // Called when select() found the socket readable, so the peek cannot block.
    char byte = 0;
    const int got = ::recv(toSocket(handle), &byte, 1, MSG_PEEK);
    return got == 0 || (got == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK);
}

void tcpClose(std::intptr_t handle) {
    if (handle >= 0) {
        ::closesocket(toSocket(handle));
    }
}

} // namespace platform
