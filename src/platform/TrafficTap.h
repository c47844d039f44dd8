// Observer of the bytes that cross the platform seam: serial writes and
// reads, UDP sends and receives. Nothing is installed by default, so each
// seam call pays one predictable test of a null pointer.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/SerialPort.h"
#include "platform/Udp.h"

namespace platform {

class TrafficTap {
  public:
    virtual ~TrafficTap() = default;
    virtual void serialOpened(SerialHandle handle, std::int32_t comNumber,
                              const SerialLineSettings& settings) = 0;
    virtual void serialWritten(SerialHandle handle, const std::uint8_t* data,
                               std::size_t count) = 0;
    // Called for every read, also for those that found nothing (count 0):
    // the pauses between reads tell how an answer ended.
    virtual void serialRead(SerialHandle handle, const std::uint8_t* data, std::size_t count) = 0;
    virtual void serialClosed(SerialHandle handle) = 0;
    // socket identifies the sending or receiving socket while it is open.
    virtual void udpSent(std::intptr_t socket, const UdpEndpoint& to, const std::uint8_t* data,
                         std::size_t length) = 0;
    virtual void udpReceived(std::intptr_t socket, const UdpEndpoint& from,
                             const std::uint8_t* data, std::size_t length, bool truncated) = 0;
    // Called before every wait for a datagram, with the wait asked for.
    virtual void udpWaiting(std::intptr_t /*socket*/, std::uint32_t /*timeoutMs*/) {}
    // A whole message on a TCP connection whose protocol library reads and
    // writes the socket itself: reported by the link that hands it over.
    virtual void tcpSent(std::intptr_t /*socket*/, const UdpEndpoint& /*to*/,
                         const std::uint8_t* /*data*/, std::size_t /*length*/) {}
    virtual void tcpReceived(std::intptr_t /*socket*/, const UdpEndpoint& /*from*/,
                             const std::uint8_t* /*data*/, std::size_t /*length*/) {}
};

namespace detail {
extern std::atomic<TrafficTap*> installedTrafficTap;
}

// Installs the tap for all later traffic; nullptr removes it.
void setTrafficTap(TrafficTap* tap);

#ifdef TK_WITHOUT_TRAFFIC_TAP
// Only for the benchmark's baseline: the compiler drops every tap call.
constexpr TrafficTap* trafficTap() {
    return nullptr;
}
#else
inline TrafficTap* trafficTap() {
    return detail::installedTrafficTap.load(std::memory_order_relaxed);
}
#endif

} // namespace platform
