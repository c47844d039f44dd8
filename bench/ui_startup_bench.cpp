// Start-up of the program's main window: time from process start to the
// window shown, and resident memory at that moment; median of 20 runs,
// offscreen. Each run is a fresh process (this program started again with
// "--child"), so shared-library loading and Qt's start-up are included.
// Goals: under 300 ms and under 60 MB.
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "app/Dekl.h"
#include "ui/Hlavni.h"

extern char** environ;

namespace {

constexpr int kRuns = 20;

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

// The measured process: shows the main window, reports its memory through
// the pipe, then closes normally.
int child(int reportFd, const char* settingsFolder, int argc, char** argv) {
    SetSettingsFolder(settingsFolder);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("W_tk7713t"));
    TForm1 form;
    form.show();
    while (form.windowHandle() == nullptr || !form.windowHandle()->isExposed()) {
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec();
    }
    QCoreApplication::processEvents(); // the first paint
    const std::string report = std::to_string(residentKilobytes()) + "\n";
    if (write(reportFd, report.data(), report.size()) != static_cast<ssize_t>(report.size())) {
        return 1;
    }
    close(reportFd);
    form.close();
    return 0;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--child") == 0) {
        return child(std::atoi(argv[2]), argv[3], argc, argv);
    }

    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    char scratch[] = "/tmp/ui_startup_bench.XXXXXX";
    if (mkdtemp(scratch) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();

    std::vector<double> times;
    std::vector<double> memories;
    for (int run = 0; run < kRuns; ++run) {
        int fds[2];
        if (pipe(fds) != 0) {
            std::perror("pipe");
            return 1;
        }
        const std::string fd = std::to_string(fds[1]);
        char* args[] = {const_cast<char*>(self.c_str()), const_cast<char*>("--child"),
                        const_cast<char*>(fd.c_str()), scratch, nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        pid_t pid = 0;
        const auto start = std::chrono::steady_clock::now();
        const int spawned = posix_spawn(&pid, self.c_str(), &actions, nullptr, args, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (spawned != 0) {
            std::fprintf(stderr, "cannot start the measured process\n");
            close(fds[0]);
            return 1;
        }
        std::string report;
        char buffer[64];
        ssize_t got = 0;
        while (report.find('\n') == std::string::npos &&
               (got = read(fds[0], buffer, sizeof buffer)) > 0) {
            report.append(buffer, static_cast<std::size_t>(got));
        }
        const auto shown = std::chrono::steady_clock::now();
        close(fds[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        if (report.empty() || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "run %d failed\n", run + 1);
            std::filesystem::remove_all(scratch);
            return 1;
        }
        times.push_back(std::chrono::duration<double, std::milli>(shown - start).count());
        memories.push_back(std::strtod(report.c_str(), nullptr) / 1024.0);
    }
    std::filesystem::remove_all(scratch);

    std::printf("ui_startup_runs: %d count\n", kRuns);
    std::printf("ui_startup_to_window_shown_median: %.1f ms\n", median(times));
    std::printf("ui_startup_to_window_shown_max: %.1f ms\n",
                *std::max_element(times.begin(), times.end()));
    std::printf("ui_startup_resident_memory_median: %.1f MB\n", median(memories));
    return 0;
}
