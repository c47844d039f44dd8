// Times whole tk7713t processes against tftpd-hpa on loopback, side by side
// with the tftp client of tftp-hpa fetching info.txt or lan4.cfg from the
// same server: the command-line tool should cost little more than the
// transfers it makes.
// Prints the median of each and the ratios to the tftp get.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/DeviceModel.h"
#include "support/TftpdHpa.h"

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
    if (spawned != 0) {
        return -1;
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return -1;
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

double median(std::vector<std::string> args, int& failures) {
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        const double t = runMs(args);
        if (t < 0) {
            ++failures;
        } else {
            ms.push_back(t);
        }
    }
    if (ms.empty()) {
        return 0;
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main() {
    tftptest::TftpdHpa server;
    if (!server.running()) {
        std::fprintf(stderr, "cli_bench: %s\n", server.whyNot().c_str());
        return 1;
    }
    tksim::DeviceModel model{tksim::ModelOptions{}};
    for (tksim::SimFile f : {tksim::SimFile::Info, tksim::SimFile::Sys, tksim::SimFile::Lan4}) {
        server.putFile(std::string(tksim::fileInfo(f).name), model.read(f));
    }
    const std::string port = server.address().substr(server.address().find(':') + 1);
    const std::string tool = std::string(TK_BINARY_DIR) + "/tools/cli/tk7713t";
    const std::string copy = server.directory() + "/fetched.txt";

    int failures = 0;
    const double get =
        median({"/usr/bin/tftp", "-m", "binary", "127.0.0.1", port, "-c", "get", "info.txt", copy},
               failures);
    const double getLan4 =
        median({"/usr/bin/tftp", "-m", "binary", "127.0.0.1", port, "-c", "get", "lan4.cfg", copy},
               failures);
    const double identify = median({tool, "--lan", server.address(), "identify"}, failures);
    const double info = median({tool, "--lan", server.address(), "info"}, failures);
    const double config = median({tool, "--lan", server.address(), "get", "lan4"}, failures);
    std::printf("tftp_get_info_txt_median: %.2f ms\n", get);
    std::printf("tftp_get_lan4_cfg_median: %.2f ms\n", getLan4);
    std::printf("tk7713t_identify_median: %.2f ms\n", identify);
    std::printf("tk7713t_info_median: %.2f ms\n", info);
    std::printf("tk7713t_get_lan4_median: %.2f ms\n", config);
    std::printf("identify_per_tftp_get: %.2f ratio\n", get > 0 ? identify / get : 0.0);
    std::printf("info_per_tftp_get: %.2f ratio\n", get > 0 ? info / get : 0.0);
    std::printf("get_lan4_per_tftp_get: %.2f ratio\n", getLan4 > 0 ? config / getLan4 : 0.0);
    std::printf("failed_runs: %d count\n", failures);
    return failures == 0 ? 0 : 1;
}
