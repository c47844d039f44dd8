#include "platform/SerialPort.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "support/FakeClock.h"
#include "support/PtyPair.h"
#include "support/SerialChecks.h"

namespace {

using platform::SerialHandle;

class SerialPortTest : public ::testing::Test {
  protected:
    void TearDown() override {
        for (SerialHandle h : handles) {
            platform::serialClose(h);
        }
        platform::setSerialDeviceMap({});
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
    std::vector<SerialHandle> handles;
};

TEST_F(SerialPortTest, DevicePathComesFromMapElseTtyS) {
    platform::setSerialDeviceMap({{3, "/dev/pts/42"}});
    EXPECT_EQ(platform::serialDevicePath(3), "/dev/pts/42");
    EXPECT_EQ(platform::serialDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(platform::serialDevicePath(255), "/dev/ttyS254");
    platform::setSerialDeviceMap({});
    EXPECT_EQ(platform::serialDevicePath(3), "/dev/ttyS2");
}

TEST_F(SerialPortTest, RefusesWhatIsNotAnOpenableTerminal) {
    char fileName[] = "/tmp/tk_serial_XXXXXX";
    const int fd = mkstemp(fileName);
    ASSERT_GE(fd, 0);
    ::close(fd);
    support::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    platform::setSerialDeviceMap(
        {{1, "/nonexistent/tty"}, {2, fileName}, {0, pty.slavePath()}, {256, pty.slavePath()}});
    EXPECT_EQ(open(1), platform::kNoSerialPort);
    EXPECT_EQ(open(2), platform::kNoSerialPort); // a plain file is no serial port
    EXPECT_EQ(open(0), platform::kNoSerialPort); // numbers outside 1-255
    EXPECT_EQ(open(256), platform::kNoSerialPort);
    std::remove(fileName);
}

TEST_F(SerialPortTest, OpenIsExclusiveUntilClosed) {
    support::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    pty.mapAsCom(4);
    const SerialHandle first = open(4);
    ASSERT_NE(first, platform::kNoSerialPort);
    EXPECT_EQ(open(4), platform::kNoSerialPort);
    EXPECT_TRUE(platform::serialClose(first));
    EXPECT_FALSE(platform::serialClose(first));
    const SerialHandle again = open(4);
    EXPECT_NE(again, platform::kNoSerialPort);
    EXPECT_NE(again, first); // a stale copy of the old handle stays closed
    EXPECT_FALSE(platform::serialIsOpen(first));
}

TEST_F(SerialPortTest, AppliesRawLineSettings) {
    support::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    pty.mapAsCom(5);
    struct Case {
        std::int32_t baud;
        speed_t speed;
        std::int32_t parity;
    };
    for (const Case c : {Case{115200, B115200, 0}, Case{2400, B2400, 1}, Case{600, B600, 2}}) {
        // Stick parity left behind by another program is cleared.
        termios before{};
        ASSERT_EQ(tcgetattr(pty.slaveFd(), &before), 0);
        before.c_cflag |= CMSPAR | PARENB;
        ASSERT_EQ(tcsetattr(pty.slaveFd(), TCSANOW, &before), 0);
        const SerialHandle h = open(5, c.baud, c.parity); // a pty may refuse parity: still open
        ASSERT_NE(h, platform::kNoSerialPort) << c.baud;
        termios t{};
        ASSERT_EQ(tcgetattr(pty.slaveFd(), &t), 0);
        EXPECT_EQ(cfgetospeed(&t), c.speed);
        EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
        EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
        EXPECT_EQ(t.c_cflag & CMSPAR, 0u);
        EXPECT_NE(t.c_cflag & CLOCAL, 0u);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INPCK | ISTRIP), 0u);
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_EQ(t.c_cc[VMIN], 0);
        EXPECT_EQ(t.c_cc[VTIME], 0);
        platform::serialClose(h);
    }
}

TEST_F(SerialPortTest, ReadsWithoutWaitingAndWaitsBoundedly) {
    support::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    pty.mapAsCom(6);
    const SerialHandle h = open(6);
    ASSERT_NE(h, platform::kNoSerialPort);
    support::expectRawBytesAndBoundedWaits(h, pty);

    // Discarding drops what arrived unread; later bytes still come through.
    std::uint8_t buffer[16];
    ASSERT_TRUE(pty.writeMaster({1, 2, 3}));
    ASSERT_TRUE(platform::serialWaitReadable(h, 1000));
    platform::serialDiscardInput(h);
    EXPECT_EQ(platform::serialRead(h, buffer, sizeof(buffer)), 0u);
    ASSERT_TRUE(pty.writeMaster({4}));
    ASSERT_TRUE(platform::serialWaitReadable(h, 1000));
    EXPECT_EQ(platform::serialRead(h, buffer, sizeof(buffer)), 1u);
    EXPECT_EQ(buffer[0], 4);
}

TEST_F(SerialPortTest, VanishedDeviceWaitsOutItsTimeInsteadOfSpinning) {
    support::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    pty.mapAsCom(8);
    const SerialHandle h = open(8);
    ASSERT_NE(h, platform::kNoSerialPort);
    ASSERT_TRUE(pty.writeMaster({0x42}));
    ASSERT_TRUE(platform::serialWaitReadable(h, 1000));
    pty.closeMaster();

    support::FakeClock clock;
    std::uint8_t buffer[16];
    for (int i = 0; i < 5; ++i) {
        platform::serialWaitReadable(h, 7);
        platform::serialRead(h, buffer, sizeof(buffer));
    }
    // After the hang-up is seen, every wait takes its full time.
    ASSERT_GE(clock.pauses().size(), 4u);
    for (std::uint32_t p : clock.pauses()) {
        EXPECT_EQ(p, 7u);
    }
    EXPECT_EQ(platform::serialRead(h, buffer, sizeof(buffer)), 0u);
    EXPECT_TRUE(platform::serialIsOpen(h)); // still ours to close
}

// A USB port re-created under its name: the old descriptor hangs up, and a
// reopen under the same handle reaches the new device with the same settings.
TEST_F(SerialPortTest, HungUpDeviceIsGoneAndReopenReachesItsSuccessor) {
    char dir[] = "/tmp/tk_serial_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string link = std::string(dir) + "/port";
    support::PtyPair first;
    ASSERT_TRUE(first.ok());
    ASSERT_EQ(symlink(first.slavePath().c_str(), link.c_str()), 0);
    platform::setSerialDeviceMap({{10, link}});
    const SerialHandle h = open(10, 115200);
    ASSERT_NE(h, platform::kNoSerialPort);
    EXPECT_FALSE(platform::serialGone(h));

    first.closeMaster();
    unlink(link.c_str());
    std::uint8_t buffer[16];
    platform::serialWaitReadable(h, 1000); // the hang-up shows at once
    EXPECT_EQ(platform::serialRead(h, buffer, sizeof(buffer)), 0u);
    EXPECT_TRUE(platform::serialGone(h));
    // Not back yet: the handle stays open on a gone port.
    EXPECT_FALSE(platform::serialReopen(h));
    EXPECT_TRUE(platform::serialIsOpen(h));
    EXPECT_TRUE(platform::serialGone(h));

    support::PtyPair second;
    ASSERT_TRUE(second.ok());
    ASSERT_EQ(symlink(second.slavePath().c_str(), link.c_str()), 0);
    EXPECT_TRUE(platform::serialReopen(h));
    EXPECT_FALSE(platform::serialGone(h));
    termios t{};
    ASSERT_EQ(tcgetattr(second.slaveFd(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B115200));
    support::expectRawBytesAndBoundedWaits(h, second);
    EXPECT_FALSE(platform::serialReopen(0x7FFF1234));

    platform::serialClose(h);
    unlink(link.c_str());
    rmdir(dir);
}

TEST_F(SerialPortTest, UnknownHandleBehavesAsClosedPort) {
    support::FakeClock clock;
    const SerialHandle unknown = 0x7FFF1234;
    std::uint8_t buffer[4] = {1, 2, 3, 4};
    EXPECT_FALSE(platform::serialIsOpen(unknown));
    EXPECT_FALSE(platform::serialIsOpen(platform::kNoSerialPort));
    EXPECT_EQ(platform::serialRead(unknown, buffer, sizeof(buffer)), 0u);
    EXPECT_EQ(platform::serialWrite(unknown, buffer, sizeof(buffer)), 0u);
    EXPECT_FALSE(platform::serialWaitReadable(unknown, 3));
    EXPECT_EQ(clock.pauses(), (std::vector<std::uint32_t>{3}));
    EXPECT_FALSE(platform::serialClose(unknown));
}

} // namespace
