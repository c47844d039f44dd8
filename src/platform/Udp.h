// UDP datagram socket and host name resolution for the LAN link.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

enum class IpVersion { V4, V6 };

// One end of a UDP exchange. An IPv4 address uses the first 4 bytes.
struct UdpEndpoint {
    IpVersion version = IpVersion::V4;
    std::array<std::uint8_t, 16> address{};
    std::uint16_t port = 0;
    std::uint32_t scopeId = 0; // IPv6 link-local interface, 0 otherwise

    bool sameAddress(const UdpEndpoint& other) const;
    bool operator==(const UdpEndpoint& other) const;
};

// Address as text: dotted IPv4 or RFC 5952 IPv6, without the port.
std::string addressText(const UdpEndpoint& endpoint);

// Resolves an address literal or a host name to an address of the given
// version; port and scope of the result are set, port to `port`.
// Literals never reach the name service; neither does a text that is not
// a syntactically valid host name, so junk input costs no network lookup.
bool resolveHost(const std::string& host, IpVersion version, std::uint16_t port,
                 UdpEndpoint& result);

// True when `host` could be a DNS host name (labels of letters, digits and
// hyphens, 1-63 characters each, 253 in all).
bool isHostNameSyntax(const std::string& host);

enum class UdpReceive { Datagram, Timeout, Error };

// Move-only owner of one datagram socket; closed by the destructor.
class UdpSocket {
  public:
    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(UdpSocket&& other) noexcept;
    UdpSocket& operator=(UdpSocket&& other) noexcept;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Opens a socket of the given version bound to the wildcard address and
    // a port chosen by the system. Closes a socket held before.
    bool open(IpVersion version);
    // Opens a socket bound to one local address and port (0 = system's choice).
    bool openBound(const UdpEndpoint& local);
    bool isOpen() const;
    void close();

    // Local port of the open socket, 0 when unknown.
    std::uint16_t localPort() const;

    // Sends one datagram; false when the system refused it.
    bool sendTo(const UdpEndpoint& to, const std::uint8_t* data, std::size_t length);

    // Waits up to timeoutMs for one datagram. On Datagram, `length` is the
    // count stored (at most `capacity`), `truncated` tells that the datagram
    // was longer than `capacity`, and `from` is its sender.
    UdpReceive receiveFrom(std::uint8_t* buffer, std::size_t capacity, std::size_t& length,
                           bool& truncated, UdpEndpoint& from, std::uint32_t timeoutMs);

  private:
    // The system calls behind sendTo and receiveFrom, one per platform.
    bool systemSendTo(const UdpEndpoint& to, const std::uint8_t* data, std::size_t length);
    UdpReceive systemReceiveFrom(std::uint8_t* buffer, std::size_t capacity, std::size_t& length,
                                 bool& truncated, UdpEndpoint& from, std::uint32_t timeoutMs);

    std::intptr_t handle_ = -1;
    IpVersion version_ = IpVersion::V4;
};

namespace detail {
// The system's resolver for one address family; numericOnly forbids any
// name service lookup. Implemented per platform.
bool systemResolve(const std::string& host, IpVersion version, bool numericOnly,
                   UdpEndpoint& result);
} // namespace detail

} // namespace platform
