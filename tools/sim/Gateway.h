// The converter as a gateway: Modbus TCP requests for the converter itself
// (unit 255 or the alternative unit of mbtcp.cfg) get exception 1, every
// other unit goes out on the Modbus RTU master line, unit 0 as a broadcast
// without an answer. One poll loop serves the TCP server, the line and its
// built-in slaves on the gateway's own thread.
#pragma once

#include "sim/DeviceModel.h"
#include "sim/LineSlaves.h"
#include "sim/MasterLine.h"
#include "sim/MbtcpServer.h"
#include "sim/PseudoTerminal.h"
#include "sim/SimConfig.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace tksim {

class Gateway {
  public:
    using ClockUs = std::function<std::uint64_t()>;

    Gateway(DeviceModel& model, const GatewayOptions& options, LogSink log, ClockUs clockUs);
    ~Gateway();
    Gateway(const Gateway&) = delete;
    Gateway& operator=(const Gateway&) = delete;

    bool open(std::string& error);
    // Serves until stop is set; wakeFd becomes readable to cut waits short.
    void run(const std::atomic<bool>& stop, int wakeFd);

    std::uint16_t port() const { return server_ ? server_->port() : 0; }
    // The line's pseudo-terminal; empty with built-in slaves.
    const std::string& linePath() const { return pty_.path(); }

  private:
    class PtyEnd;

    void route(const MbtcpRequest& request, std::uint64_t nowUs);
    void finished(const LineOutcome& outcome);
    void generate(std::uint64_t nowUs);
    void readLine(std::uint64_t nowUs);
    void log(const std::string& line) const;

    DeviceModel& model_;
    GatewayOptions options_;
    LogSink log_;
    ClockUs clockUs_;
    std::unique_ptr<MbtcpServer> server_;
    PseudoTerminal pty_;
    std::unique_ptr<PtyEnd> ptyEnd_;
    LineSlaves slaves_;
    std::unique_ptr<MasterLine> line_;
    std::uint64_t nowUs_ = 0;
    std::uint64_t ptyQuietUntilUs_ = 0; // no far end: look again then
    std::uint64_t nextGeneratedUs_ = 0;
    std::size_t generatedUnit_ = 0;
};

} // namespace tksim
