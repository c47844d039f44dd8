#include "sim/Simulator.h"

#include "sim/RtuSlave.h"
#include "sim/TftpServer.h"

#include <fcntl.h>
#include <unistd.h>

namespace tksim {

Simulator::Simulator(Config config, DeviceModel::Clock clock)
    : config_(std::move(config)), model_(config_.model, std::move(clock)), faults_(config_.faults)
{
}

Simulator::~Simulator()
{
    stop();
}

bool Simulator::start(std::string* error)
{
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
        tftp_ = std::make_unique<TftpServer>(model_, config_.tftp, faults, log);
        if (!tftp_->open(why)) {
            return failed(why);
        }
    }
    if (config_.rtu.enabled) {
        rtu_ = std::make_unique<RtuSlave>(model_, config_.rtu, faults, log);
        if (!rtu_->open(why)) {
            return failed(why);
        }
    }
    if (tftp_) {
        tftpThread_ = std::thread([this] { tftp_->run(stopFlag_, wakePipe_[0]); });
    }
    if (rtu_) {
        rtuThread_ = std::thread([this] { rtu_->run(stopFlag_, wakePipe_[0]); });
    }
    return true;
}

void Simulator::stop()
{
    stopFlag_ = true;
    if (wakePipe_[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = write(wakePipe_[1], &byte, 1);
    }
    if (tftpThread_.joinable()) {
        tftpThread_.join();
    }
    if (rtuThread_.joinable()) {
        rtuThread_.join();
    }
    tftp_.reset();
    rtu_.reset();
    for (int& fd : wakePipe_) {
        if (fd >= 0) {
            close(fd);
            fd = -1;
        }
    }
    running_ = false;
}

std::uint16_t Simulator::tftpPort() const
{
    return tftp_ ? tftp_->port() : 0;
}

std::string Simulator::serialPath() const
{
    return rtu_ ? rtu_->path() : std::string();
}

void Simulator::setFaults(const Faults& faults)
{
    std::lock_guard lock(faultsMutex_);
    faults_ = faults;
}

Faults Simulator::faults() const
{
    std::lock_guard lock(faultsMutex_);
    return faults_;
}

}  // namespace tksim
