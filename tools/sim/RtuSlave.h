// Modbus RTU slave on a pseudo-terminal it creates or on a serial device:
// frames end by line silence, answers optionally paced at the line speed.
#pragma once

#include "sim/DeviceModel.h"
#include "sim/PseudoTerminal.h"
#include "sim/RtuProtocol.h"
#include "sim/SimConfig.h"

#include <atomic>
#include <functional>
#include <string>

namespace tksim {

unsigned baudRateOf(int baudCode);
// Silence that ends a request: 3.5 character times, 1750 us above 19200 Bd.
unsigned frameGapUsFor(int baudCode, int parityCode);

class RtuSlave {
  public:
    RtuSlave(DeviceModel& model, const RtuOptions& options, std::function<Faults()> faults,
             LogSink log);
    ~RtuSlave();
    RtuSlave(const RtuSlave&) = delete;
    RtuSlave& operator=(const RtuSlave&) = delete;

    bool open(std::string& error);
    void close();
    // Serves until stop is set; wakeFd becomes readable to cut waits short.
    void run(const std::atomic<bool>& stop, int wakeFd);

    // The pseudo-terminal's slave path (or the serial device path).
    const std::string& path() const { return path_; }

  private:
    bool openPty(std::string& error);
    bool openDevice(std::string& error);
    void serveFrame(const std::vector<std::uint8_t>& frame, const std::atomic<bool>& stop,
                    int wakeFd);
    // False when the client set another line speed; heard is its rate.
    bool clientSpeedMatches(std::string& heard) const;
    bool sendFrame(const std::vector<std::uint8_t>& frame, const std::atomic<bool>& stop);

    RtuOptions options_;
    std::function<Faults()> faults_;
    LogSink log_;
    RtuProtocol protocol_;
    void discardUnheard();

    int fd_ = -1;
    bool isPty_ = false;
    bool unheard_ = false; // answers written since the terminal last had no client
    std::string path_;
    PseudoTerminal pty_;
};

} // namespace tksim
