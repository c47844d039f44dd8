// The converter simulator: device model, TFTP server, Modbus RTU slave and
// the gateway (Modbus TCP to the master line), each on its own thread. Tests run it in-process:
//
//   tksim::Config c;
//   c.tftp.port = 0;                       // any free port
//   tksim::Simulator sim(c);
//   std::string error;
//   if (!sim.start(&error)) { ... }
//   sim.tftpPort();                        // the port bound
//   sim.serialPath();                      // e.g. /dev/pts/7
//   sim.mbtcpPort();                       // with c.gateway.tcpServer
//   sim.setFaults(f);                      // change faults while running
//   sim.stop();                            // also done by the destructor
#pragma once

#include "sim/DeviceModel.h"
#include "sim/SimConfig.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tksim {

class TftpServer;
class RtuSlave;
class Gateway;

class Simulator {
  public:
    // Without a clock the simulator runs on the system's monotonic clock; a
    // clock given (milliseconds) also times the master line.
    explicit Simulator(Config config, DeviceModel::Clock clock = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens the enabled interfaces and starts serving. On failure nothing
    // stays open and error says why.
    bool start(std::string* error = nullptr);
    void stop();
    bool running() const { return running_; }

    std::uint16_t tftpPort() const; // 0 when TFTP is off
    const std::string& tftpAddress() const { return config_.tftp.address; }
    // Every address the TFTP server listens on, all with tftpPort().
    std::vector<std::string> tftpAddresses() const;
    std::string serialPath() const; // pseudo-terminal or device; empty when RTU is off
    const std::string& linkPath() const { return config_.rtu.linkPath; }
    std::uint8_t rtuAddress() const { return config_.rtu.address; }
    std::uint16_t mbtcpPort() const; // 0 when the Modbus TCP server is off
    const std::string& mbtcpAddress() const { return config_.gateway.address; }
    std::string linePath() const; // the master line's pseudo-terminal, if any

    void setFaults(const Faults& faults);
    Faults faults() const;
    DeviceModel& model() { return model_; }

  private:
    Config config_;
    DeviceModel model_;
    mutable std::mutex faultsMutex_;
    Faults faults_;
    std::mutex logMutex_;
    std::vector<std::unique_ptr<TftpServer>> tftp_; // one per address
    std::unique_ptr<RtuSlave> rtu_;
    std::unique_ptr<Gateway> gateway_;
    std::vector<std::thread> tftpThreads_;
    std::thread rtuThread_;
    std::thread gatewayThread_;
    std::function<std::uint64_t()> clockUs_;
    std::atomic<bool> stopFlag_{false};
    int wakePipe_[2] = {-1, -1};
    bool running_ = false;
};

} // namespace tksim
