// W_tk7713t --trace FILE: the trace is appended to the file, and a file
// that cannot be written costs one warning, never the run.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/TrafficTap.h"
#include "support/FileBytes.h"
#include "ui/ProgramTrace.h"

extern char** environ;

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
        const ProgramTrace trace({"W_tk7713t", "--trace", file.string()}, warnings);
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
    const std::string directory = fs::temp_directory_path().string();
    const std::vector<std::string> cases[] = {
        {"W_tk7713t", "--trace"},
        {"W_tk7713t", "--trace", directory}, // cannot be opened
        {"W_tk7713t", "--trace=/dev/full"},  // opens, every write fails
    };
    for (const std::vector<std::string>& arguments : cases) {
        std::ostringstream warnings;
        {
            const ProgramTrace trace(arguments, warnings);
            sendTwoPackets();
        }
        EXPECT_EQ(lineCount(warnings.str()), 1u) << arguments.back();
        EXPECT_EQ(platform::trafficTap(), nullptr);
    }
    std::ostringstream none;
    EXPECT_FALSE(ProgramTrace({"W_tk7713t", "-style", "fusion"}, none).active());
    EXPECT_EQ(none.str(), "");
}

// The program takes the trace file's name as the bytes it was given: a
// name that is no UTF-8 must not turn into another file.
TEST(ProgramTrace, TheProgramKeepsTheFileNameBytes) {
    const fs::path dir = fs::temp_directory_path() / ("tk_trace_name_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string name = "trace-\xE9\xFF.log"; // Latin-1, no UTF-8
    const std::string path = (dir / name).string();
    const std::string program = std::string(TK_BINARY_DIR) + "/src/W_tk7713t";
    std::vector<std::string> args{program, "-platform", "offscreen", "--trace", path};
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // The file is made at start, before the window shows; 10 s is a hang guard.
    for (int i = 0; i < 1000 && fs::is_empty(dir); ++i) {
        usleep(10000);
    }
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    std::vector<std::string> made;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
        made.push_back(e.path().filename().string());
    }
    fs::remove_all(dir);
    EXPECT_EQ(made, std::vector<std::string>{name});
}

} // namespace
