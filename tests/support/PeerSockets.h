// The few UDP socket calls the test TFTP peer makes, on POSIX sockets or
// Winsock. Sockets are plain ints (Winsock handles are small numbers).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Udp.h"

namespace tftptest::sockets {

// A non-blocking UDP socket bound to address (numeric, port 0 = any); -1 on failure.
int openUdp(platform::IpVersion version, const char* address);
void closeSocket(int socket);
std::uint16_t localPort(int socket);
// Waits up to timeoutMs for any of the sockets to have a datagram; the
// readable ones come back as true.
std::vector<bool> waitReadable(const std::vector<int>& sockets, int timeoutMs);
// Takes one waiting datagram; false when none waits. from holds the raw
// sender address for sendTo.
bool receiveFrom(int socket, std::vector<std::uint8_t>& packet, std::vector<std::uint8_t>& from,
                 std::uint16_t& fromPort);
bool sendTo(int socket, const std::vector<std::uint8_t>& packet,
            const std::vector<std::uint8_t>& to);

} // namespace tftptest::sockets
