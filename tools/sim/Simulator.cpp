#include "sim/Simulator.h"

#include "platform/Clock.h"
#include "sim/Gateway.h"
#include "sim/RtuSlave.h"
#include "sim/TftpServer.h"

#include <fcntl.h>
#include <unistd.h>

namespace tksim {

namespace {

// The model counts milliseconds, the master line microseconds of the same
// clock. The simulated converter is another machine: a fake clock installed
// for the program under test does not move its time; a clock given to the
// simulator does.
std::function<std::uint64_t()> microsecondsOf(const DeviceModel::Clock& clock) {
    if (clock) {
        return [clock] { return clock() * 1000; };
    }
    return [] { return platform::systemClock().monotonicUs(); };
}

} // namespace

Simulator::Simulator(Config config, DeviceModel::Clock clock)
    : config_(std::move(config)),
      model_(
          config_.model,
          clock ? clock : [] { return platform::systemClock().monotonicUs() / 1000; }),
      faults_(config_.faults), clockUs_(microsecondsOf(clock)) {}

Simulator::~Simulator() {
    stop();
}

bool Simulator::start(std::string* error) {
    if (running_) {
        return true;
    }
    std::string why;
    auto failed = [&](const std::string& message) {
        if (error != nullptr) {
            *error = message;
        }
        stop();
        return false;
    };
    if (pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        return failed("cannot create the wake-up pipe");
    }
    LogSink log;
    if (config_.log) {
        // Both threads log; one line at a time.
        log = [this](const std::string& line) {
            std::lock_guard lock(logMutex_);
            config_.log(line);
        };
    }
    auto faults = [this] { return this->faults(); };
    stopFlag_ = false;
    running_ = true;
    if (config_.tftp.enabled) {
        // The first address fixes the port; the others listen on the same.
        TftpOptions each = config_.tftp;
        for (const std::string& address : tftpAddresses()) {
            each.address = address;
            tftp_.push_back(std::make_unique<TftpServer>(model_, each, faults, log));
            if (!tftp_.back()->open(why)) {
                return failed(why);
            }
            each.port = tftp_.front()->port();
        }
    }
    if (config_.rtu.enabled) {
        rtu_ = std::make_unique<RtuSlave>(model_, config_.rtu, faults, log);
        if (!rtu_->open(why)) {
            return failed(why);
        }
    }
    if (config_.gateway.running()) {
        gateway_ = std::make_unique<Gateway>(model_, config_.gateway, log, clockUs_);
        if (!gateway_->open(why)) {
            return failed(why);
        }
    }
    for (const auto& server : tftp_) {
        tftpThreads_.emplace_back([this, s = server.get()] { s->run(stopFlag_, wakePipe_[0]); });
    }
    if (rtu_) {
        rtuThread_ = std::thread([this] { rtu_->run(stopFlag_, wakePipe_[0]); });
    }
    if (gateway_) {
        gatewayThread_ = std::thread([this] { gateway_->run(stopFlag_, wakePipe_[0]); });
    }
    return true;
}

void Simulator::stop() {
    stopFlag_ = true;
    if (wakePipe_[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = write(wakePipe_[1], &byte, 1);
    }
    for (std::thread& t : tftpThreads_) {
        t.join();
    }
    tftpThreads_.clear();
    if (rtuThread_.joinable()) {
        rtuThread_.join();
    }
    if (gatewayThread_.joinable()) {
        gatewayThread_.join();
    }
    tftp_.clear();
    rtu_.reset();
    gateway_.reset();
    for (int& fd : wakePipe_) {
        if (fd >= 0) {
            close(fd);
            fd = -1;
        }
    }
    running_ = false;
}

std::uint16_t Simulator::tftpPort() const {
    return tftp_.empty() ? 0 : tftp_.front()->port();
}

std::vector<std::string> Simulator::tftpAddresses() const {
    std::vector<std::string> list;
    std::size_t start = 0;
    const std::string& all = config_.tftp.address;
    for (;;) {
        const std::size_t comma = all.find(',', start);
        list.push_back(
            all.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) {
            return list;
        }
        start = comma + 1;
    }
}

std::uint16_t Simulator::mbtcpPort() const {
    return gateway_ ? gateway_->port() : 0;
}

std::string Simulator::linePath() const {
    return gateway_ ? gateway_->linePath() : std::string();
}

std::string Simulator::serialPath() const {
    return rtu_ ? rtu_->path() : std::string();
}

void Simulator::setFaults(const Faults& faults) {
    std::lock_guard lock(faultsMutex_);
    faults_ = faults;
}

Faults Simulator::faults() const {
    std::lock_guard lock(faultsMutex_);
    return faults_;
}

} // namespace tksim
