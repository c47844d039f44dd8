#include "platform/Udp.h"

#include <cstdio>

#include "platform/TrafficTap.h"

namespace platform {

bool UdpEndpoint::sameAddress(const UdpEndpoint& other) const {
    if (version != other.version) {
        return false;
    }
    const std::size_t n = version == IpVersion::V4 ? 4 : 16;
    for (std::size_t i = 0; i < n; ++i) {
        if (address[i] != other.address[i]) {
            return false;
        }
    }
    return true;
}

bool UdpEndpoint::operator==(const UdpEndpoint& other) const {
    return sameAddress(other) && port == other.port;
}

std::string addressText(const UdpEndpoint& endpoint) {
    char text[48];
    if (endpoint.version == IpVersion::V4) {
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", endpoint.address[0], endpoint.address[1],
                      endpoint.address[2], endpoint.address[3]);
        return text;
    }
    unsigned groups[8];
    for (int i = 0; i < 8; ++i) {
        groups[i] =
            (static_cast<unsigned>(endpoint.address[2 * i]) << 8) | endpoint.address[2 * i + 1];
    }
    // The longest run of two or more zero groups is written as "::".
    int bestStart = -1;
    int bestLength = 1;
    for (int i = 0; i < 8;) {
        if (groups[i] != 0) {
            ++i;
            continue;
        }
        int j = i;
        while (j < 8 && groups[j] == 0) {
            ++j;
        }
        if (j - i > bestLength) {
            bestStart = i;
            bestLength = j - i;
        }
        i = j;
    }
    std::string out;
    for (int i = 0; i < 8; ++i) {
        if (i == bestStart) {
            out += "::";
            i += bestLength - 1;
            continue;
        }
        if (!out.empty() && out.back() != ':') {
            out += ':';
        }
        std::snprintf(text, sizeof text, "%x", groups[i]);
        out += text;
    }
    return out;
}

bool isHostNameSyntax(const std::string& host) {
    if (host.empty() || host.size() > 253) {
        return false;
    }
    std::size_t labelLength = 0;
    char previous = '.';
    for (char c : host) {
        if (c == '.') {
            if (labelLength == 0 || previous == '-') {
                return false;
            }
            labelLength = 0;
        } else {
            const bool alnum =
                (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
            if (!alnum && !(c == '-' && labelLength > 0)) {
                return false;
            }
            if (++labelLength > 63) {
                return false;
            }
        }
        previous = c;
    }
    return previous != '-';
}

bool resolveHost(const std::string& host, IpVersion version, std::uint16_t port,
                 UdpEndpoint& result) {
    // Brackets belong to "[addr]:port" text, not to the address; Windows'
    // resolver would take "[::1]" as it is.
    if (host.empty() || host.find_first_of("[]") != std::string::npos) {
        return false;
    }
    UdpEndpoint found;
    bool ok = detail::systemResolve(host, version, true, found);
    if (!ok) {
        // A literal of the other version or a malformed literal must not
        // turn into a name service query.
        const IpVersion other = version == IpVersion::V4 ? IpVersion::V6 : IpVersion::V4;
        UdpEndpoint ignored;
        if (detail::systemResolve(host, other, true, ignored) || !isHostNameSyntax(host)) {
            return false;
        }
        bool allNumeric = true;
        for (char c : host) {
            if (c != '.' && (c < '0' || c > '9')) {
                allNumeric = false;
            }
        }
        if (allNumeric) {
            return false; // e.g. "300.1.1.1": a bad IPv4 literal, not a name
        }
        ok = detail::systemResolve(host, version, false, found);
    }
    if (!ok) {
        return false;
    }
    found.port = port;
    result = found;
    return true;
}

UdpSocket::~UdpSocket() {
    close();
}

UdpSocket::UdpSocket(UdpSocket&& other) noexcept
    : handle_(other.handle_), version_(other.version_) {
    other.handle_ = -1;
}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.handle_;
        version_ = other.version_;
        other.handle_ = -1;
    }
    return *this;
}

bool UdpSocket::sendTo(const UdpEndpoint& to, const std::uint8_t* data, std::size_t length) {
    if (TrafficTap* tap = trafficTap()) {
        tap->udpSent(handle_, to, data, length);
    }
    return systemSendTo(to, data, length);
}

UdpReceive UdpSocket::receiveFrom(std::uint8_t* buffer, std::size_t capacity, std::size_t& length,
                                  bool& truncated, UdpEndpoint& from, std::uint32_t timeoutMs) {
    if (TrafficTap* tap = trafficTap()) {
        tap->udpWaiting(handle_, timeoutMs);
    }
    const UdpReceive r = systemReceiveFrom(buffer, capacity, length, truncated, from, timeoutMs);
    if (r == UdpReceive::Datagram) {
        if (TrafficTap* tap = trafficTap()) {
            tap->udpReceived(handle_, from, buffer, length, truncated);
        }
    }
    return r;
}

bool UdpSocket::open(IpVersion version) {
    UdpEndpoint any;
    any.version = version; // zero address = wildcard, port 0 = system's choice
    return openBound(any);
}

} // namespace platform
