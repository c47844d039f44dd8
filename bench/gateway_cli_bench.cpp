// tk7713t modbus against Debian's mbpoll, whole processes: each reads 10
// holding registers of a built-in slave through the simulator's gateway
// (tk7713t-sim as a process, Modbus TCP on loopback, master line at
// 115200 Bd). Goal: tk7713t no slower than mbpoll (ratio at most 1).
// Prints the medians of 40 runs each, taken in turns, and their ratio.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "tools/sim_peers.h"

extern char** environ;

namespace {

constexpr int kRuns = 40;

// Wall time of one process run to its end, in ms; negative when it failed.
double runMs(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return -1;
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

double median(std::vector<double> v) {
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main() {
    const std::string tool = TK_BINARY_DIR "/tools/cli/tk7713t";
    simtest::Child sim({TK_BINARY_DIR "/tools/sim/tk7713t-sim", "--tftp-port", "0", "--no-rtu",
                        "--mbtcp", "127.0.0.1:0", "--line-slaves", "1"});
    std::smatch tftp;
    std::smatch mbtcp;
    const std::string started = sim.waitForLine("ready", 10000) ? sim.out() : std::string();
    if (!std::regex_search(started, tftp, std::regex("tftp: (127\\.0\\.0\\.1:[0-9]+)\n")) ||
        !std::regex_search(started, mbtcp, std::regex("mbtcp: 127\\.0\\.0\\.1:([0-9]+)\n"))) {
        std::printf("gateway_cli_bench: failed: the simulator did not start\n");
        return 1;
    }
    const std::string lan = tftp[1];
    const std::string port = mbtcp[1];
    if (runMs({tool, "--lan", lan, "set", "uartm", "KodBaud=8"}) < 0) {
        std::printf("gateway_cli_bench: failed: set uartm\n");
        return 1;
    }
    std::vector<double> ours;
    std::vector<double> theirs;
    int failures = 0;
    for (int i = 0; i < kRuns; ++i) {
        const double a = runMs({tool, "--lan", lan, "--mbtcp-port", port, "modbus", "read",
                                "holding", "0", "10", "--unit", "1"});
        // mbpoll counts references from 1: -r 1 is address 0.
        const double b = runMs({"/usr/bin/mbpoll", "-m", "tcp", "-p", port, "-a", "1", "-r", "1",
                                "-c", "10", "-1", "127.0.0.1"});
        a < 0 ? ++failures : (ours.push_back(a), 0);
        b < 0 ? ++failures : (theirs.push_back(b), 0);
    }
    const double t = median(ours);
    const double m = median(theirs);
    std::printf("tk7713t_modbus_read_10reg_115200_median: %.2f ms\n", t);
    std::printf("mbpoll_read_10reg_115200_median: %.2f ms\n", m);
    std::printf("tk7713t_per_mbpoll: %.2f ratio\n", m > 0 ? t / m : 0.0);
    std::printf("failed_runs: %d count\n", failures);
    sim.signal(SIGTERM);
    sim.wait(5000);
    return failures == 0 ? 0 : 1;
}
