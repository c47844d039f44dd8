// An in-process converter simulator on loopback for the tool's tests, with
// its log collected so tests can see what reached the converter.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/Simulator.h"

namespace harness {

class Sim {
  public:
    explicit Sim(tksim::Config config = {}) {
        config.tftp.address = "127.0.0.1";
        config.tftp.port = 0;
        config.tftp.retransmitMs = 200;
        config.model.restartMs = 0;
        config.log = [this](const std::string& line) {
            std::lock_guard lock(mutex_);
            log_.push_back(line);
        };
        sim_ = std::make_unique<tksim::Simulator>(config);
        started_ = sim_->start(&error_);
    }

    bool started() const { return started_; }
    const std::string& error() const { return error_; }
    tksim::Simulator& sim() { return *sim_; }
    tksim::DeviceModel& model() { return sim_->model(); }

    // "127.0.0.1:PORT", the address text of the LAN interface.
    std::string lan() const { return "127.0.0.1:" + std::to_string(sim_->tftpPort()); }
    std::string pty() const { return sim_->serialPath(); }

    std::vector<std::string> log() {
        std::lock_guard lock(mutex_);
        return log_;
    }
    void clearLog() {
        std::lock_guard lock(mutex_);
        log_.clear();
    }
    // Lines of the log that contain text.
    std::size_t count(const std::string& text) {
        std::size_t n = 0;
        for (const std::string& l : log()) {
            n += l.find(text) != std::string::npos ? 1 : 0;
        }
        return n;
    }

    // count(text) once it reaches `expected`, or what it is after a hang
    // guard: the simulator logs an answer after sending it, so the tool may
    // be done before the line is there.
    std::size_t settledCount(const std::string& text, std::size_t expected) {
        for (int i = 0; i < 1000 && count(text) < expected; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return count(text);
    }

  private:
    std::mutex mutex_;
    std::vector<std::string> log_;
    std::unique_ptr<tksim::Simulator> sim_;
    std::string error_;
    bool started_ = false;
};

} // namespace harness
