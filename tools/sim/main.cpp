// tk7713t-sim: a simulated TK-7713T converter for demos and tests.
#include "BuildInfo.h"
#include "platform/StandardDescriptors.h"
#include "sim/Options.h"
#include "sim/Simulator.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <pthread.h>

int main(int argc, char** argv) {
    platform::ensureStandardDescriptors();
    tksim::CommandLine cl;
    std::string message;
    const std::vector<std::string> args(argv + 1, argv + argc);
    switch (tksim::parseCommandLine(args, cl, message)) {
    case tksim::ParseOutcome::Help:
        std::cout << tksim::usageText();
        return 0;
    case tksim::ParseOutcome::Version:
        std::cout << "tk7713t-sim " << buildinfo::kVersion << "\n";
        return 0;
    case tksim::ParseOutcome::Error:
        std::cerr << "tk7713t-sim: " << message << "\n";
        return 2;
    case tksim::ParseOutcome::Run:
        break;
    }
    if (cl.log) {
        cl.config.log = [](const std::string& line) {
            const auto now = std::chrono::system_clock::now();
            const std::time_t t = std::chrono::system_clock::to_time_t(now);
            const auto ms =
                std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch())
                    .count() %
                1000;
            std::tm tm{};
            localtime_r(&t, &tm);
            char stamp[32];
            std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d", tm.tm_hour, tm.tm_min,
                          tm.tm_sec, static_cast<int>(ms));
            std::fprintf(stderr, "%s %s\n", stamp, line.c_str());
        };
    }

    // Signals are taken by sigwait below; the serving threads inherit the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    tksim::Simulator sim(cl.config);
    std::string error;
    if (!sim.start(&error)) {
        std::cerr << "tk7713t-sim: " << error << "\n";
        return 1;
    }
    if (cl.config.tftp.enabled) {
        for (const std::string& host : sim.tftpAddresses()) {
            const bool v6 = host.find(':') != std::string::npos;
            std::cout << "tftp: " << (v6 ? "[" + host + "]" : host) << ":" << sim.tftpPort()
                      << "\n";
        }
    }
    if (cl.config.rtu.enabled) {
        std::cout << "rtu: " << sim.serialPath();
        if (!sim.linkPath().empty()) {
            std::cout << " (link " << sim.linkPath() << ")";
        }
        std::cout << " address " << static_cast<unsigned>(sim.rtuAddress()) << "\n";
    }
    if (cl.config.gateway.tcpServer) {
        const std::string& host = sim.mbtcpAddress();
        const bool v6 = host.find(':') != std::string::npos;
        std::cout << "mbtcp: " << (v6 ? "[" + host + "]" : host) << ":" << sim.mbtcpPort() << "\n";
    }
    if (cl.config.gateway.running()) {
        if (!cl.config.gateway.lineLink.empty()) {
            std::cout << "line: " << sim.linePath() << " (link " << cl.config.gateway.lineLink
                      << ")\n";
        } else {
            std::cout << "line: slaves";
            for (const std::uint8_t unit : cl.config.gateway.lineSlaves) {
                std::cout << " " << static_cast<unsigned>(unit);
            }
            std::cout << (cl.config.gateway.lineSlaves.empty() ? " none\n" : "\n");
        }
    }
    std::cout << "ready" << std::endl;

    int received = 0;
    sigwait(&signals, &received);
    sim.stop();
    std::cout << "stopped" << std::endl;
    return 0;
}
