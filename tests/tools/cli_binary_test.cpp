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

// How runProgram sets the program's standard streams and interrupts it.
struct Setup {
    // Standard output goes there instead of a scratch file; "" closes it.
    const char* stdoutPath = nullptr;
    bool closeStderr = false;
    // Standard input an open pipe nobody writes to (else it is inherited).
    bool stdinPipe = false;
    // Standard output a pipe whose reader goes away after that many lines.
    int readerLines = 0;
    // Ctrl+C (SIGINT) once the output holds that many lines, or once
    // standard error holds that text.
    int interruptAfterLines = 0;
    const char* interruptAfterErr = nullptr;
};

// Runs the program with its output in two scratch files and waits for it
// by its pid (killing it after 20 s: a hang guard).
Outcome runProgram(const std::vector<std::string>& args, const Setup& setup = {}) {
    const std::string program = std::string(TK_BINARY_DIR) + "/tools/cli/tk7713t";
    const std::string base =
        std::string(TK_BINARY_DIR) + "/cli_binary_test." + std::to_string(::getpid());
    const std::string outPath = base + ".out";
    const std::string errPath = base + ".err";
    std::vector<char*> argv;
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    for (std::string& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    int input[2] = {-1, -1};
    int output[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (setup.stdinPipe && ::pipe(input) == 0) {
        posix_spawn_file_actions_adddup2(&actions, input[0], 0);
        posix_spawn_file_actions_addclose(&actions, input[1]);
    }
    if (setup.readerLines > 0 && ::pipe(output) == 0) {
        posix_spawn_file_actions_adddup2(&actions, output[1], 1);
        posix_spawn_file_actions_addclose(&actions, output[0]);
    } else if (setup.stdoutPath == nullptr) {
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
    } else if (*setup.stdoutPath == '\0') {
        posix_spawn_file_actions_addclose(&actions, 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, setup.stdoutPath, O_WRONLY, 0);
    }
    if (setup.closeStderr) {
        posix_spawn_file_actions_addclose(&actions, 2);
    } else {
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
    }
    Outcome r;
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    for (int fd : {input[0], output[1]}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << program;
        return r;
    }
    std::string piped;
    for (char c = 0; output[0] >= 0 &&
                     std::count(piped.begin(), piped.end(), '\n') < setup.readerLines &&
                     ::read(output[0], &c, 1) == 1;) {
        piped.push_back(c);
    }
    if (output[0] >= 0) {
        ::close(output[0]);
    }
    const bool interrupt = setup.interruptAfterLines > 0 || setup.interruptAfterErr != nullptr;
    for (int waited = 0; interrupt && waited < 1000; ++waited) {
        const std::string sofar = slurp(outPath);
        if ((setup.interruptAfterLines > 0 &&
             std::count(sofar.begin(), sofar.end(), '\n') >= setup.interruptAfterLines) ||
            (setup.interruptAfterErr != nullptr &&
             slurp(errPath).find(setup.interruptAfterErr) != std::string::npos)) {
            ::kill(pid, SIGINT);
            break;
        }
        ::usleep(10000);
    }
    int wstatus = 0;
    for (int waited = 0; waited < 2000 && ::waitpid(pid, &wstatus, WNOHANG) == 0; ++waited) {
        ::usleep(10000);
        if (waited == 1999) {
            ADD_FAILURE() << "still running after 20 s";
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &wstatus, 0);
        }
    }
    if (WIFEXITED(wstatus)) {
        r.status = WEXITSTATUS(wstatus);
    }
    if (input[1] >= 0) {
        ::close(input[1]);
    }
    r.out = output[0] >= 0 ? piped : slurp(outPath);
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
    EXPECT_EQ(r.err, "tk7713t: Invalid TCP timeout (1-255)\nTry: tk7713t set --help\n");

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
        const Outcome r = runProgram(c.args, {.stdoutPath = c.stdoutPath});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "tk7713t: Cannot write the output\n");
    }
}

// stats --follow | head -n 2: the reader goes away after two lines; the run
// ends well instead of dying of SIGPIPE.
TEST(Program, FollowedStatisticsEndWellWhenTheReaderGoesAway) {
    harness::Sim sim;
    ASSERT_TRUE(sim.started()) << sim.error();
    const Outcome r = runProgram({"--lan", sim.lan(), "stats", "--follow"}, {.readerLines = 2});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);
}

// tk7713t --trace 2>&-: the serial port must not open as standard error,
// or the trace would be written onto the line.
TEST(Program, ClosedStandardErrorNeverReachesTheLine) {
    harness::Sim sim;
    ASSERT_TRUE(sim.started()) << sim.error();
    const Outcome r =
        runProgram({"--device", sim.pty(), "--trace", "identify"}, {.closeStderr = true});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Connection successfully initialized.", 0), 0u) << r.out;
    EXPECT_EQ(sim.settledCount("0x45 identify", 5), 5u);
    EXPECT_EQ(sim.log().size(), 5u + sim.count("client gone"))
        << "nothing else reached the converter";
}

TEST(Program, FollowedStatisticsEndCleanlyOnCtrlC) {
    harness::Sim sim;
    ASSERT_TRUE(sim.started()) << sim.error();
    const Outcome r =
        runProgram({"--lan", sim.lan(), "stats", "--follow"}, {.interruptAfterLines = 3});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_GE(std::count(r.out.begin(), r.out.end(), '\n'), 3);
    EXPECT_EQ(r.err, "");
}

// Ctrl+C at the question before a large scan cancels it (the read must not
// be restarted after the signal).
TEST(Program, CtrlCAtTheScanQuestionCancels) {
    const Outcome r = runProgram({"scan", "--lan", "127.0.0.0/23"},
                                 {.stdinPipe = true, .interruptAfterErr = "Go on? [y/N] "});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "tk7713t: The scan probes 510 addresses\n"
                     "Go on? [y/N] \n"
                     "tk7713t: Not confirmed, nothing sent (--yes confirms in advance)\n");
}

} // namespace
