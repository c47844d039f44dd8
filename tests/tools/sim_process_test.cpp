// tk7713t-sim as a process: its start lines, both interfaces at once, the
// log, and a clean stop on SIGTERM and SIGINT.
#include "sim_peers.h"

#include <gtest/gtest.h>
#include <modbus.h>

#include <climits>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <spawn.h>
#include <sys/stat.h>

#include "tools/ToolRun.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

const std::string kExe = TK_SIM_EXE;

TEST(SimProcess, HelpListsTheOptionsAndExitsZero) {
    const auto r = simtest::run({kExe, "--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("Usage: tk7713t-sim"), std::string::npos);
    EXPECT_NE(r.out.find("--force-blksize"), std::string::npos);
}

struct BadArgs {
    std::vector<std::string> args;
    const char* message;
};

class SimProcessBadArgs : public ::testing::TestWithParam<BadArgs> {};

TEST_P(SimProcessBadArgs, ExitTwoWithAReason) {
    std::vector<std::string> argv{kExe};
    argv.insert(argv.end(), GetParam().args.begin(), GetParam().args.end());
    const auto r = simtest::run(argv);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find(GetParam().message), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SimProcessBadArgs,
    ::testing::Values(BadArgs{{"--frobnicate"}, "unknown option"},
                      BadArgs{
                          {"--baud", "12"},
                          "--baud (600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200)\n"},
                      BadArgs{{"--tftp-port"}, "needs a value"}));

class SimProcessRun : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tksim-proc-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string dir;
};

TEST_F(SimProcessRun, ServesEveryInterfaceAtOnceAndStopsCleanlyOnSigterm) {
    const std::string link = dir + "/converter";
    simtest::Child sim({kExe, "--tftp-port", "0", "--link", link, "--log", "--address", "17",
                        "--mbtcp", "127.0.0.1:0", "--line-slaves", "1"});
    ASSERT_TRUE(sim.waitForLine("ready", 5000)) << sim.out() << sim.err();
    std::smatch m;
    const std::string out = sim.out();
    ASSERT_TRUE(std::regex_search(out, m, std::regex("tftp: 127\\.0\\.0\\.1:([0-9]+)\n"))) << out;
    const std::string port = m[1];
    ASSERT_TRUE(std::regex_search(
        out, m, std::regex("rtu: (/dev/pts/[0-9]+) \\(link ([^)]+)\\) address 17\n")))
        << out;
    EXPECT_EQ(m[2], link);
    ASSERT_TRUE(std::regex_search(
        out, m, std::regex("mbtcp: 127\\.0\\.0\\.1:([0-9]+)\nline: slaves 1\nready")))
        << out;
    const std::string mbtcp = m[1];

    // The README's command: slave 1's holding registers through Modbus TCP.
    const auto poll = simtest::run(
        {"mbpoll", "-m", "tcp", "-p", mbtcp, "-a", "1", "-r", "1", "-c", "10", "-1", "127.0.0.1"});
    EXPECT_EQ(poll.code, 0) << poll.err;
    EXPECT_NE(poll.out.find("[1]: \t1000\n[2]: \t1001\n"), std::string::npos) << poll.out;
    EXPECT_NE(poll.out.find("[10]: \t1009\n"), std::string::npos) << poll.out;

    // A TFTP download runs while the serial exchange happens.
    simtest::Child curl({"curl", "-s", "-S", "--max-time", "10", "--tftp-blksize", "8", "-o",
                         dir + "/sys.bin", "tftp://127.0.0.1:" + port + "/sys.bin"});
    modbus_t* ctx = modbus_new_rtu(link.c_str(), 9600, 'E', 8, 1);
    ASSERT_NE(ctx, nullptr);
    modbus_set_slave(ctx, 17);
    ASSERT_EQ(modbus_connect(ctx), 0) << modbus_strerror(errno);
    std::uint8_t write[] = {17, 0x44, 0xFE, 22, 0, 0, 3, 0x0A, 0x0B, 0xEB};
    ASSERT_GT(modbus_send_raw_request(ctx, write, sizeof write), 0);
    std::uint8_t answer[MODBUS_RTU_MAX_ADU_LENGTH];
    EXPECT_EQ(modbus_receive_confirmation(ctx, answer), 5);
    EXPECT_EQ(answer[2], 0);
    modbus_close(ctx);
    modbus_free(ctx);
    ASSERT_EQ(curl.wait(15000), 0) << curl.err();
    std::ifstream in(dir + "/sys.bin", std::ios::binary);
    const std::string sys((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(sys.size(), 392u);
    // What the serial side wrote is what the LAN side reads.
    const auto cfg = simtest::run(
        {"curl", "-s", "-S", "--max-time", "10", "tftp://127.0.0.1:" + port + "/mbtcp.cfg"});
    EXPECT_EQ(cfg.out, std::string("\x0A\x0B\xEB", 3));

    sim.signal(SIGTERM);
    EXPECT_EQ(sim.wait(5000), 0);
    EXPECT_NE(sim.out().find("stopped"), std::string::npos);
    EXPECT_NE(sim.err().find("tftp: read sys.bin from 127.0.0.1:"), std::string::npos) << sim.err();
    EXPECT_NE(sim.err().find("rtu: 0x44 file 22 block 0 n 3 (mbtcp.cfg): accepted"),
              std::string::npos)
        << sim.err();
    EXPECT_NE(sim.err().find("line: unit 1 function 3: answer, 25 bytes"), std::string::npos)
        << sim.err();
    struct stat st {};
    EXPECT_NE(lstat(link.c_str(), &st), 0) << "the link outlived the simulator";
}

// Started with standard output and error closed, its own pipe and sockets
// must not take their numbers, or the log would be written into them.
TEST_F(SimProcessRun, ClosedOutputsReachNothing) {
    const std::string link = dir + "/converter";
    std::vector<std::string> args{kExe, "--tftp-port", "0", "--link", link, "--log", "--no-mbtcp"};
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, 1);
    posix_spawn_file_actions_addclose(&actions, 2);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    struct stat st {};
    for (int i = 0; i < 500 && lstat(link.c_str(), &st) != 0; ++i) {
        usleep(10000);
    }
    EXPECT_EQ(harness::runTool({"--device", link, "--timeout", "300", "identify"}).status, 0);
    kill(pid, SIGTERM);
    int status = -1;
    for (int i = 0; i < 500 && waitpid(pid, &status, WNOHANG) == 0; ++i) {
        usleep(10000);
    }
    if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(SimProcessRun, SigintStopsItToo) {
    simtest::Child sim({kExe, "--tftp-port", "0", "--no-rtu", "--no-mbtcp"});
    ASSERT_TRUE(sim.waitForLine("ready", 5000)) << sim.err();
    EXPECT_EQ(sim.out().find("rtu:"), std::string::npos);
    sim.signal(SIGINT);
    EXPECT_EQ(sim.wait(5000), 0);
}

TEST_F(SimProcessRun, PortInUseEndsWithExitOne) {
    simtest::Child first({kExe, "--tftp-port", "0", "--no-rtu", "--no-mbtcp"});
    const auto line = first.waitForLine("tftp: ", 5000);
    ASSERT_TRUE(line);
    const std::string port = line->substr(line->rfind(':') + 1);
    const auto second = simtest::run({kExe, "--tftp-port", port, "--no-rtu", "--no-mbtcp"});
    EXPECT_EQ(second.code, 1);
    EXPECT_NE(second.err.find("Address already in use"), std::string::npos) << second.err;
    first.signal(SIGTERM);
    EXPECT_EQ(first.wait(5000), 0);
}

} // namespace
