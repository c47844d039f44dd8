// W_tk7713t --trace FILE: the trace is appended to the file, and a file
// that cannot be written costs one warning, never the run.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>

#include "platform/TrafficTap.h"
#include "support/FileBytes.h"
#include "ui/ProgramTrace.h"

namespace {

namespace fs = std::filesystem;

// Two acknowledgements through whatever tap is installed.
void sendTwoPackets() {
    const std::uint8_t ack[] = {0, 4, 0, 1};
    platform::UdpEndpoint to;
    to.address = {127, 0, 0, 1};
    to.port = 69;
    for (int i = 0; i < 2; ++i) {
        if (platform::TrafficTap* tap = platform::trafficTap()) {
            tap->udpSent(3, to, ack, sizeof ack);
        }
    }
}

std::size_t lineCount(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(ProgramTrace, AppendsToTheFileAndLeavesNoTapBehind) {
    const fs::path file = fs::temp_directory_path() / ("tk_trace_" + std::to_string(getpid()));
    support::writeBytes(file.string(), "earlier run\n");
    std::ostringstream warnings;
    {
        const ProgramTrace trace({"W_tk7713t", "--trace", QString::fromStdString(file.string())},
                                 warnings);
        EXPECT_TRUE(trace.active());
        sendTwoPackets();
    }
    EXPECT_EQ(platform::trafficTap(), nullptr);
    const std::string text = support::readBytes(file.string());
    fs::remove(file);
    EXPECT_EQ(text.rfind("earlier run\n", 0), 0u);
    EXPECT_EQ(lineCount(text), 3u);
    EXPECT_NE(text.find("-> UDP 127.0.0.1:69  ACK 1\n"), std::string::npos) << text;
    EXPECT_EQ(warnings.str(), "");
}

TEST(ProgramTrace, UnwritableTraceWarnsOnceAndTheRunGoesOn) {
    const QString directory = QString::fromStdString(fs::temp_directory_path().string());
    const QStringList cases[] = {
        {"W_tk7713t", "--trace"},
        {"W_tk7713t", "--trace", directory}, // cannot be opened
        {"W_tk7713t", "--trace=/dev/full"},  // opens, every write fails
    };
    for (const QStringList& arguments : cases) {
        std::ostringstream warnings;
        {
            const ProgramTrace trace(arguments, warnings);
            sendTwoPackets();
        }
        EXPECT_EQ(lineCount(warnings.str()), 1u) << arguments.join(' ').toStdString();
        EXPECT_EQ(platform::trafficTap(), nullptr);
    }
    std::ostringstream none;
    EXPECT_FALSE(ProgramTrace({"W_tk7713t", "-style", "fusion"}, none).active());
    EXPECT_EQ(none.str(), "");
}

} // namespace
