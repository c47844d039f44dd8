// The link against a TFTP server written elsewhere: Debian's tftpd-hpa,
// started by the test on a loopback port.
#include "link/M_TFTP.h"

#include <gtest/gtest.h>

#include "support/TestTftpPeer.h"
#include "support/TftpdHpa.h"

using tftptest::Bytes;
using tftptest::patternBytes;
using tftptest::TftpdHpa;

namespace {

// One server per test suite; each suite starts and kills its own.
class TftpdFixture : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { server = new TftpdHpa(); }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        if (!server->running()) {
            GTEST_SKIP() << "tftpd-hpa not available: " << server->whyNot();
        }
        TFTP_Init(tf, server->address(), 0, 2000);
    }

    static TftpdHpa* server;
    TTFTP tf;
};

TftpdHpa* TftpdFixture::server = nullptr;

class TftpdInterop : public TftpdFixture, public ::testing::WithParamInterface<std::size_t> {};
class TftpdFailures : public TftpdFixture {};

} // namespace

TEST_P(TftpdInterop, ReadIsByteExact) {
    const std::size_t size = GetParam();
    const std::string name = "read-" + std::to_string(size) + ".bin";
    const Bytes contents = patternBytes(size, static_cast<std::uint32_t>(size) + 1);
    ASSERT_TRUE(server->putFile(name, contents));

    Bytes buffer(TFTP_MAX_SOUBOR, 0xEE);
    std::int32_t length = -1;
    ASSERT_TRUE(TFTP_PrectiSoubor(tf, name, buffer.data(), length));
    EXPECT_EQ(tf.ED.Status, 0);
    ASSERT_EQ(length, static_cast<std::int32_t>(size));
    buffer.resize(size);
    EXPECT_EQ(buffer, contents);
    // The server agreed to 1500-byte blocks.
    EXPECT_EQ(tf.ID.IdTrivialFTP1->LastBlockSize, 1500);
}

TEST_P(TftpdInterop, WriteIsByteExact) {
    const std::size_t size = GetParam();
    const std::string name = "write-" + std::to_string(size) + ".bin";
    const Bytes contents = patternBytes(size, static_cast<std::uint32_t>(size) + 100);
    ASSERT_TRUE(TFTP_ZapisSoubor(tf, name, contents.data(), static_cast<std::int32_t>(size)));
    EXPECT_EQ(tf.ED.Status, 0);
    Bytes stored;
    ASSERT_TRUE(server->getFile(name, stored));
    EXPECT_EQ(stored, contents);
}

INSTANTIATE_TEST_SUITE_P(Sizes, TftpdInterop, ::testing::Values(0, 511, 512, 1500, 3000, 10000));

TEST_F(TftpdFailures, MissingFileIsStatusThree) {
    Bytes buffer(TFTP_MAX_SOUBOR, 0xEE);
    std::int32_t length = -1;
    EXPECT_FALSE(TFTP_PrectiSoubor(tf, "missing.bin", buffer.data(), length));
    EXPECT_EQ(tf.ED.Status, 3);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(tf.ID.IdTrivialFTP1->LastResult, TftpClient::Result::ServerError);
    EXPECT_EQ(tf.ID.IdTrivialFTP1->LastServerErrorCode, 1);
}

TEST_F(TftpdFailures, LongerFileIsCutAt10000) {
    const Bytes contents = patternBytes(12000, 77);
    ASSERT_TRUE(server->putFile("long.bin", contents));
    Bytes buffer(TFTP_MAX_SOUBOR, 0xEE);
    std::int32_t length = -1;
    ASSERT_TRUE(TFTP_PrectiSoubor(tf, "long.bin", buffer.data(), length));
    EXPECT_EQ(length, 10000);
    EXPECT_EQ(buffer, Bytes(contents.begin(), contents.begin() + 10000));
}

TEST_F(TftpdFailures, WriteOf12000BytesStores10000) {
    const Bytes contents = patternBytes(12000, 78);
    ASSERT_TRUE(TFTP_ZapisSoubor(tf, "capped.bin", contents.data(), 12000));
    Bytes stored;
    ASSERT_TRUE(server->getFile("capped.bin", stored));
    EXPECT_EQ(stored, Bytes(contents.begin(), contents.begin() + 10000));
}
