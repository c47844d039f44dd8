// Checks shared by the tests of each serial backend.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/SerialPort.h"
#include "support/PtyPair.h"

namespace support {

// The open port h and the device end of pty: reads never wait, waits end
// in time, and bytes pass raw both ways.
inline void expectRawBytesAndBoundedWaits(platform::SerialHandle h, PtyPair& pty) {
    using Bytes = std::vector<std::uint8_t>;
    std::uint8_t buffer[1061];
    EXPECT_EQ(platform::serialRead(h, buffer, sizeof(buffer)), 0u);
    EXPECT_FALSE(platform::serialWaitReadable(h, 1));

    // CR, LF, XON, XOFF, NUL and 0xFF pass untouched.
    const Bytes out = {0x0D, 0x0A, 0x11, 0x13, 0x00, 0xFF, 0x03};
    EXPECT_EQ(platform::serialWrite(h, out.data(), out.size()), out.size());
    EXPECT_EQ(pty.readMaster(out.size(), 1000), out);

    Bytes in(300);
    for (std::size_t i = 0; i < in.size(); ++i) {
        in[i] = static_cast<std::uint8_t>(i * 7);
    }
    ASSERT_TRUE(pty.writeMaster(in));
    Bytes got;
    while (got.size() < in.size() && platform::serialWaitReadable(h, 1000)) {
        const std::size_t n = platform::serialRead(h, buffer, 100);
        EXPECT_LE(n, 100u);
        got.insert(got.end(), buffer, buffer + n);
    }
    EXPECT_EQ(got, in);
    EXPECT_FALSE(platform::serialWaitReadable(h, 5));
}

} // namespace support
