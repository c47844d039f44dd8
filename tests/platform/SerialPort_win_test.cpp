// The Windows serial backend on COM ports. Under Wine the ports lead to a
// pair of pseudo-terminals (tests/wine/with-com-pair.sh): support::PtyPair
// plays the device on the far end.
#include "platform/SerialPort.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/PtyPair.h"
#include "support/SerialChecks.h"
#include "support/Wine.h"

namespace {

using platform::SerialHandle;

class SerialPortWin : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok()) << "no COM pair: run through tests/wine/with-com-pair.sh";
        pty.mapAsCom(3);
    }
    void TearDown() override {
        for (SerialHandle h : handles) {
            platform::serialClose(h);
        }
    }
    SerialHandle open(int com, std::int32_t baud = 9600, std::int32_t parity = 0) {
        platform::SerialLineSettings s;
        s.baudRate = baud;
        s.parityCode = parity;
        const SerialHandle h = platform::serialOpen(com, s);
        if (h != platform::kNoSerialPort) {
            handles.push_back(h);
        }
        return h;
    }
    support::PtyPair pty;
    std::vector<SerialHandle> handles;
};

TEST_F(SerialPortWin, OnlyExistingPortsNumberedOneTo255Open) {
    EXPECT_EQ(platform::serialDevicePath(7), "\\\\.\\COM7");
    EXPECT_EQ(platform::serialDevicePath(255), "\\\\.\\COM255");
    for (int com : {0, 256, -1, 200}) {
        EXPECT_EQ(open(com), platform::kNoSerialPort) << com;
    }
    EXPECT_NE(open(3), platform::kNoSerialPort);
}

TEST_F(SerialPortWin, SecondOpenIsRefusedWhileOpen) {
    TK_SKIP_UNDER_WINE("Wine does not enforce exclusive COM opens");
    ASSERT_NE(open(3), platform::kNoSerialPort);
    EXPECT_EQ(open(3), platform::kNoSerialPort);
}

TEST_F(SerialPortWin, CloseIsOnceAndReopenGivesAFreshHandle) {
    const SerialHandle first = open(3);
    ASSERT_NE(first, platform::kNoSerialPort);
    EXPECT_TRUE(platform::serialClose(first));
    EXPECT_FALSE(platform::serialClose(first));
    const SerialHandle again = open(3);
    EXPECT_NE(again, platform::kNoSerialPort);
    EXPECT_NE(again, first);
    EXPECT_FALSE(platform::serialIsOpen(first));
}

TEST_F(SerialPortWin, RawBytesBothWaysAndBoundedWaits) {
    // Every line setting the tool offers opens (a pty may refuse parity: the port still opens).
    for (const auto& [baud, parity] :
         {std::pair{115200, 0}, std::pair{2400, 1}, std::pair{600, 2}}) {
        const SerialHandle h = open(3, baud, parity);
        ASSERT_NE(h, platform::kNoSerialPort) << baud;
        platform::serialClose(h);
    }
    const SerialHandle h = open(3);
    ASSERT_NE(h, platform::kNoSerialPort);
    support::expectRawBytesAndBoundedWaits(h, pty);
}

} // namespace
