// A TCP connection for a protocol library that reads and writes the socket
// itself: connecting and waiting for data happen here, in slices, so the
// caller can keep its user interface alive and stop a wait.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/Udp.h"

namespace platform {

enum class TcpConnect { Connected, Refused, Timeout, Aborted, Error };

// Connects to `to` (TCP_NODELAY, blocking mode once connected), waiting at
// most timeoutMs in slices of at most sliceMs; after each slice keepWaiting
// decides whether to go on (false: Aborted). An empty keepWaiting waits
// out the time. On Connected, handle owns the socket: close it with
// tcpClose.
TcpConnect tcpConnect(const UdpEndpoint& to, std::uint32_t timeoutMs, std::uint32_t sliceMs,
                      const std::function<bool()>& keepWaiting, std::intptr_t& handle);

enum class TcpWait { Readable, Timeout, Error };

// Waits up to timeoutMs until the socket has data to read, or its peer
// closed or reset it (the next read tells which).
TcpWait tcpWaitReadable(std::intptr_t handle, std::uint32_t timeoutMs);

// For a readable socket: true when the connection ended (closed or reset by
// the peer) with nothing left to read.
bool tcpEnded(std::intptr_t handle);

void tcpClose(std::intptr_t handle);

namespace detail {
// Per-platform steps behind tcpConnect.
enum class ConnectStep { Connected, Pending, Refused, Error };
ConnectStep systemTcpStartConnect(const UdpEndpoint& to, std::intptr_t& handle);
// Waits up to ms for the connection started on handle to settle.
ConnectStep systemTcpAwaitConnect(std::intptr_t handle, std::uint32_t ms);
// Blocking mode and TCP_NODELAY for the library that takes the socket over.
bool systemTcpFinishConnect(std::intptr_t handle);
} // namespace detail

} // namespace platform
