// The tk7713t program itself: its main forwards the arguments and returns
// the exit status. Run as a child process against the in-process simulator.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/SimHarness.h"

extern char** environ;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs the program with its output in two scratch files and waits for it
// by its pid. With stdoutPath its standard output goes there instead, or is
// closed when stdoutPath is empty; closeStderr closes standard error. With
// interruptAfterLines, Ctrl+C (SIGINT) reaches it once its output holds that
// many lines.
Outcome runProgram(const std::vector<std::string>& args, const char* stdoutPath = nullptr,
                   int interruptAfterLines = 0, bool closeStderr = false) {
    const std::string program = std::string(TK_BINARY_DIR) + "/tools/cli/tk7713t";
    const std::string base = std::string(TK_BINARY_DIR) + "/cli_binary_test." + std::to_string(::getpid());
    const std::string outPath = base + ".out";
    const std::string errPath = base + ".err";
    std::vector<char*> argv;
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    for (std::string& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutPath == nullptr) {
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    } else if (*stdoutPath == '\0') {
        posix_spawn_file_actions_addclose(&actions, 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, stdoutPath, O_WRONLY, 0);
    }
    if (closeStderr) {
        posix_spawn_file_actions_addclose(&actions, 2);
    } else {
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    Outcome r;
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << program;
        return r;
    }
    for (int waited = 0; interruptAfterLines > 0 && waited < 1000; ++waited) {
        const std::string sofar = slurp(outPath);
        if (std::count(sofar.begin(), sofar.end(), '\n') >= interruptAfterLines) {
            ::kill(pid, SIGINT);
            break;
        }
        ::usleep(10000);
    }
    int wstatus = 0;
    if (waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus)) {
        r.status = WEXITSTATUS(wstatus);
    }
    r.out = slurp(outPath);
    r.err = slurp(errPath);
    ::unlink(outPath.c_str());
    ::unlink(errPath.c_str());
    return r;
}

TEST(Program, ExitStatuses) {
    harness::Sim sim;
    ASSERT_TRUE(sim.started()) << sim.error();

    Outcome r = runProgram({"--lan", sim.lan(), "identify"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Connection successfully initialized.", 0), 0u);

    r = runProgram({"--device", sim.pty(), "--json", "get", "mbtcp"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "{\n  \"UnitID\": 255,\n  \"Timeout\": 5\n}\n");

    r = runProgram({"--lan", sim.lan(), "set", "mbtcp", "Timeout=0"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "tk7713t: Invalid TCP timeout (1-255)\n");

    r = runProgram({"--help"});
    EXPECT_EQ(r.status, 0);

    sim.model().setIdentity(tksim::Identity{"TK-7713T", "3.00", "1"});
    r = runProgram({"--lan", sim.lan(), "identify"});
    EXPECT_EQ(r.status, 3);

    tksim::Faults f;
    f.dropEvery = 1;
    sim.sim().setFaults(f);
    r = runProgram({"--lan", sim.lan(), "--lan-timeout", "50", "info"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tk7713t: Converter connection error\n");
}

TEST(Program, OutputThatCannotBeWrittenIsAFailure) {
    harness::Sim sim;
    ASSERT_TRUE(sim.started()) << sim.error();
    struct Case {
        std::vector<std::string> args;
        const char* stdoutPath;
    };
    const Case cases[] = {
        {{"--lan", sim.lan(), "backup", "-"}, "/dev/full"},
        {{"--lan", sim.lan(), "get", "lan4"}, "/dev/full"},
        {{"--lan", sim.lan(), "--json", "info"}, "/dev/full"},
        {{"--lan", sim.lan(), "--json", "info"}, ""},
        {{"--help"}, "/dev/full"},
        {{"--lan", sim.lan(), "stats", "--follow"}, "/dev/full"},
        {{"--lan", sim.lan(), "stats", "--follow"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back() + std::string(" > ") + c.stdoutPath);
        const Outcome r = runProgram(c.args, c.stdoutPath);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "tk7713t: Cannot write the output\n");
    }
}

// stats --follow | head -n 2: the reader goes away after two lines; the run
// ends well instead of dying of SIGPIPE.
TEST(Program, FollowedStatisticsEndWellWhenTheReaderGoesAway) {
    harness::Sim sim;
    ASSERT_TRUE(sim.started()) << sim.error();
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const std::string program = std::string(TK_BINARY_DIR) + "/tools/cli/tk7713t";
    std::vector<std::string> all{program, "--lan", sim.lan(), "stats", "--follow"};
    std::vector<char*> argv;
    for (std::string& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    std::string got;
    char c = 0;
    while (std::count(got.begin(), got.end(), '\n') < 2 && ::read(pipeFds[0], &c, 1) == 1) {
        got.push_back(c);
    }
    ::close(pipeFds[0]);
    int wstatus = 0;
    for (int waited = 0; waited < 1000 && ::waitpid(pid, &wstatus, WNOHANG) == 0; ++waited) {
        ::usleep(10000);  // hang guard: 10 s against a run of a few hundred ms
    }
    if (::waitpid(pid, &wstatus, WNOHANG) == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &wstatus, 0);
    }
    EXPECT_TRUE(WIFEXITED(wstatus)) << "ended by signal " << (WIFSIGNALED(wstatus) ? WTERMSIG(wstatus) : 0);
    EXPECT_EQ(WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1, 0);
}

// tk7713t --trace 2>&-: the serial port must not open as standard error,
// or the trace would be written onto the line.
TEST(Program, ClosedStandardErrorNeverReachesTheLine) {
    harness::Sim sim;
    ASSERT_TRUE(sim.started()) << sim.error();
    const Outcome r = runProgram({"--device", sim.pty(), "--trace", "identify"}, nullptr, 0, true);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Connection successfully initialized.", 0), 0u) << r.out;
    EXPECT_EQ(sim.count("0x45 identify"), 5u);
    EXPECT_EQ(sim.log().size(), 5u) << "nothing else reached the converter";
}

TEST(Program, FollowedStatisticsEndCleanlyOnCtrlC) {
    harness::Sim sim;
    ASSERT_TRUE(sim.started()) << sim.error();
    const Outcome r = runProgram({"--lan", sim.lan(), "stats", "--follow"}, nullptr, 3);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_GE(std::count(r.out.begin(), r.out.end(), '\n'), 3);
    EXPECT_EQ(r.err, "");
}

}  // namespace
