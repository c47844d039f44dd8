#include "platform/Udp.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

using platform::IpVersion;
using platform::UdpEndpoint;
using platform::UdpReceive;
using platform::UdpSocket;

namespace {

UdpEndpoint loopback(IpVersion version, std::uint16_t port) {
    UdpEndpoint e;
    EXPECT_TRUE(
        platform::resolveHost(version == IpVersion::V4 ? "127.0.0.1" : "::1", version, port, e));
    return e;
}

} // namespace

// Only literals and /etc/hosts entries are used: no test may cause a DNS query.
struct ResolveCase {
    const char* host;
    IpVersion version;
    bool ok;
    const char* text;
};

class ResolveHost : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveHost, ChoosesAnAddressOfTheLinkVersion) {
    const ResolveCase& c = GetParam();
    UdpEndpoint e;
    e.port = 1;
    const bool ok = platform::resolveHost(c.host, c.version, 6969, e);
    ASSERT_EQ(ok, c.ok) << c.host;
    if (ok) {
        EXPECT_EQ(e.version, c.version);
        EXPECT_EQ(platform::addressText(e), c.text);
        EXPECT_EQ(e.port, 6969);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ResolveHost,
    ::testing::Values(ResolveCase{"127.0.0.1", IpVersion::V4, true, "127.0.0.1"},
                      ResolveCase{"10.20.30.40", IpVersion::V4, true, "10.20.30.40"},
                      ResolveCase{"::1", IpVersion::V6, true, "::1"},
                      ResolveCase{"2001:DB8::0:1", IpVersion::V6, true, "2001:db8::1"},
                      ResolveCase{"localhost", IpVersion::V4, true, "127.0.0.1"},
                      // a literal of the other version is no address of this link
                      ResolveCase{"::1", IpVersion::V4, false, ""},
                      ResolveCase{"127.0.0.1", IpVersion::V6, false, ""},
                      ResolveCase{"", IpVersion::V4, false, ""},
                      ResolveCase{"300.1.1.1", IpVersion::V4, false, ""},
                      ResolveCase{"1.2.3.4.5", IpVersion::V4, false, ""},
                      ResolveCase{"bad name!", IpVersion::V4, false, ""},
                      ResolveCase{"-dash.example", IpVersion::V4, false, ""},
                      ResolveCase{"a..b", IpVersion::V4, false, ""},
                      ResolveCase{"[::1]", IpVersion::V6, false, ""},
                      ResolveCase{"::1::2", IpVersion::V6, false, ""}));

struct NameCase {
    const char* host;
    bool ok;
};

class HostNameSyntax : public ::testing::TestWithParam<NameCase> {};

TEST_P(HostNameSyntax, AcceptsOnlyDnsLabels) {
    EXPECT_EQ(platform::isHostNameSyntax(GetParam().host), GetParam().ok) << GetParam().host;
}

INSTANTIATE_TEST_SUITE_P(
    Table, HostNameSyntax,
    ::testing::Values(NameCase{"converter", true}, NameCase{"tk-7713t.lan", true},
                      NameCase{"a.b.c.", true}, NameCase{"x1", true}, NameCase{"", false},
                      NameCase{".", false}, NameCase{"-a", false}, NameCase{"a-", false},
                      NameCase{"a-.b", false}, NameCase{"a b", false}, NameCase{"a_b", false},
                      NameCase{"a..b", false}, NameCase{"[::1]", false},
                      NameCase{"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",
                               false}));

TEST(HostNameSyntax, TotalLengthIsLimited) {
    std::string name;
    while (name.size() < 250) {
        name += "abcdefghi.";
    }
    EXPECT_FALSE(platform::isHostNameSyntax(name + "abcd"));
    EXPECT_TRUE(platform::isHostNameSyntax(name.substr(0, 249) + "abc"));
}

struct TextCase {
    std::vector<std::uint8_t> bytes;
    const char* text;
};

class AddressText : public ::testing::TestWithParam<TextCase> {};

TEST_P(AddressText, CompressesTheLongestZeroRun) {
    UdpEndpoint e;
    e.version = IpVersion::V6;
    std::copy(GetParam().bytes.begin(), GetParam().bytes.end(), e.address.begin());
    EXPECT_EQ(platform::addressText(e), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AddressText,
    ::testing::Values(
        TextCase{{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "::"},
        TextCase{{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, "::1"},
        TextCase{{0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "1::"},
        TextCase{{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1}, "2001:db8:0:1::1"},
        TextCase{{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1}, "2001:db8::1:0:0:1"},
        // one zero group stays a 0
        TextCase{{0, 1, 0, 0, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7}, "1:0:2:3:4:5:6:7"},
        TextCase{{0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0xab, 0xcd, 0, 0, 0, 0, 0x12, 0x34},
                 "fe80::abcd:0:0:1234"}));

class UdpRoundTrip : public ::testing::TestWithParam<IpVersion> {};

TEST_P(UdpRoundTrip, DatagramArrivesWithItsSender) {
    const IpVersion v = GetParam();
    UdpSocket a;
    UdpSocket b;
    ASSERT_TRUE(a.open(v));
    ASSERT_TRUE(b.openBound(loopback(v, 0)));
    ASSERT_NE(a.localPort(), 0);
    ASSERT_NE(b.localPort(), 0);
    const std::vector<std::uint8_t> out = {0x00, 0x03, 0x00, 0x01, 0xFF, 0x00, 0x7F};
    ASSERT_TRUE(a.sendTo(loopback(v, b.localPort()), out.data(), out.size()));

    std::vector<std::uint8_t> in(64);
    std::size_t length = 0;
    bool truncated = true;
    UdpEndpoint from;
    ASSERT_EQ(b.receiveFrom(in.data(), in.size(), length, truncated, from, 1000),
              UdpReceive::Datagram);
    in.resize(length);
    EXPECT_EQ(in, out);
    EXPECT_FALSE(truncated);
    EXPECT_EQ(from.version, v);
    EXPECT_EQ(from.port, a.localPort());
    EXPECT_TRUE(from.sameAddress(loopback(v, 0)));
}

TEST_P(UdpRoundTrip, LongerDatagramIsReportedTruncated) {
    const IpVersion v = GetParam();
    UdpSocket a;
    UdpSocket b;
    ASSERT_TRUE(a.open(v));
    ASSERT_TRUE(b.openBound(loopback(v, 0)));
    const std::vector<std::uint8_t> out(10, 0xAB);
    ASSERT_TRUE(a.sendTo(loopback(v, b.localPort()), out.data(), out.size()));
    std::uint8_t in[4];
    std::size_t length = 0;
    bool truncated = false;
    UdpEndpoint from;
    ASSERT_EQ(b.receiveFrom(in, sizeof in, length, truncated, from, 1000), UdpReceive::Datagram);
    EXPECT_EQ(length, 4u);
    EXPECT_TRUE(truncated);
}

TEST_P(UdpRoundTrip, WaitWithNothingToReadTimesOut) {
    UdpSocket s;
    ASSERT_TRUE(s.open(GetParam()));
    std::uint8_t in[8];
    std::size_t length = 99;
    bool truncated = true;
    UdpEndpoint from;
    EXPECT_EQ(s.receiveFrom(in, sizeof in, length, truncated, from, 40), UdpReceive::Timeout);
    EXPECT_EQ(length, 0u);
    EXPECT_FALSE(truncated);
}

TEST_P(UdpRoundTrip, UnreachablePortDoesNotBreakTheNextWait) {
    const IpVersion v = GetParam();
    UdpSocket closed;
    ASSERT_TRUE(closed.openBound(loopback(v, 0)));
    const std::uint16_t deadPort = closed.localPort();
    closed.close();

    UdpSocket s;
    ASSERT_TRUE(s.open(v));
    const std::uint8_t ping[] = {1, 2, 3, 4};
    s.sendTo(loopback(v, deadPort), ping, sizeof ping);
    std::uint8_t in[8];
    std::size_t length = 0;
    bool truncated = false;
    UdpEndpoint from;
    EXPECT_EQ(s.receiveFrom(in, sizeof in, length, truncated, from, 30), UdpReceive::Timeout);
}

TEST_P(UdpRoundTrip, WrongVersionDestinationIsRefused) {
    const IpVersion v = GetParam();
    const IpVersion other = v == IpVersion::V4 ? IpVersion::V6 : IpVersion::V4;
    UdpSocket s;
    ASSERT_TRUE(s.open(v));
    const std::uint8_t ping[] = {1};
    EXPECT_FALSE(s.sendTo(loopback(other, 9), ping, sizeof ping));
}

INSTANTIATE_TEST_SUITE_P(Versions, UdpRoundTrip, ::testing::Values(IpVersion::V4, IpVersion::V6));

TEST(UdpSocket, ClosedSocketFailsWithoutBlocking) {
    UdpSocket s;
    EXPECT_FALSE(s.isOpen());
    EXPECT_EQ(s.localPort(), 0);
    const std::uint8_t ping[] = {1};
    EXPECT_FALSE(s.sendTo(loopback(IpVersion::V4, 9), ping, 1));
    std::uint8_t in[8];
    std::size_t length = 0;
    bool truncated = false;
    UdpEndpoint from;
    EXPECT_EQ(s.receiveFrom(in, sizeof in, length, truncated, from, 5000), UdpReceive::Error);
}

TEST(UdpSocket, MoveTransfersOwnershipAndCloseReleases) {
    UdpSocket a;
    ASSERT_TRUE(a.open(IpVersion::V4));
    const std::uint16_t port = a.localPort();
    UdpSocket b(std::move(a));
    EXPECT_FALSE(a.isOpen()); // NOLINT(bugprone-use-after-move): a moved-from socket is closed
    EXPECT_TRUE(b.isOpen());
    EXPECT_EQ(b.localPort(), port);
    UdpSocket c;
    c = std::move(b);
    EXPECT_EQ(c.localPort(), port);
    c.close();
    EXPECT_FALSE(c.isOpen());
    // The port is free again once closed.
    UdpSocket d;
    ASSERT_TRUE(d.openBound(loopback(IpVersion::V4, port)));
}

TEST(UdpEndpoint, EqualityNeedsAddressAndPort) {
    UdpEndpoint a = loopback(IpVersion::V4, 100);
    UdpEndpoint b = a;
    EXPECT_TRUE(a == b);
    b.port = 101;
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a.sameAddress(b));
    b.address[3] = 2;
    EXPECT_FALSE(a.sameAddress(b));
    UdpEndpoint v6 = loopback(IpVersion::V6, 100);
    EXPECT_FALSE(v6.sameAddress(a));
}
