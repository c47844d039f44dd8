// The simulated converter's state and the images of its files.
#pragma once

#include "sim/SimConfig.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tksim {

enum class SimFile : std::uint8_t { Info, Sys, Ctrl, Mmrd, Mmrgv, Lan4, Mbtcp, Uartm, Uarts };

struct FileInfo {
    SimFile id;
    std::string_view name;
    std::uint8_t number; // file number of functions 0x43 / 0x44
    bool readable;
    bool writable;
    std::size_t writeSize; // exact length of a write, 0 when not writable
};

std::span<const FileInfo> fileCatalog();
const FileInfo* fileByName(std::string_view name); // exact, case-sensitive
const FileInfo* fileByNumber(std::uint8_t number);
const FileInfo& fileInfo(SimFile id);

enum class WriteResult { Accepted, NotWritable, BadLength, BadChecksum, UnknownCommand };
const char* describe(WriteResult result);

constexpr std::size_t kRingSize = 180;
constexpr std::size_t kSysSize = 392;
constexpr std::size_t kMmrdSize = 16;
constexpr std::size_t kMmrgvSize = 12 + kRingSize;

// The master line as uartm.cfg sets it.
struct LineSettings {
    int baudCode = 4;   // 0-8: 600 ... 115200 Bd
    int parityCode = 1; // 0 none, 1 even, 2 odd
    unsigned timeoutMs = 330;
    unsigned retries = 0;
};

// The Modbus TCP server as mbtcp.cfg sets it.
struct TcpSettings {
    std::uint8_t alternativeUnit = 255; // 255: none
    unsigned idleTimeoutS = 5;
};

struct MasterStats {
    std::uint32_t messages = 0;
    std::uint32_t errors = 0;
    std::uint32_t negatives = 0;
    std::uint16_t perSecond = 0;
    std::uint8_t load = 0;
};

// Thread-safe: the TFTP server and the Modbus slave share one model.
class DeviceModel {
  public:
    using Clock = std::function<std::uint64_t()>; // monotonic milliseconds

    explicit DeviceModel(const ModelOptions& options, Clock clock = {});

    // The file as the converter would send it now. Empty for ctrl.bin.
    std::vector<std::uint8_t> read(SimFile file);

    // A whole-file write. With commit false the write is checked and
    // acknowledged but nothing changes (a converter that ignores writes).
    WriteResult write(SimFile file, std::span<const std::uint8_t> image, bool commit = true);

    // False while a restart is in progress.
    bool reachable();

    // Four characters of identification item 0, 1, 2, 10 or 11.
    bool identityItem(std::uint8_t item, std::array<char, 4>& out);

    Identity identity();
    void setIdentity(const Identity& identity);
    void setMasterLoad(int percent);
    void setRestartMs(unsigned ms);

    // Serves `image` for reads of the file instead of the model's own state,
    // until an empty image hands the file back to the model. Lets a test
    // script exact values (edge counters, a ring index at will).
    void setImage(SimFile file, std::vector<std::uint8_t> image);

    void restart();
    void clearStatistics();
    std::uint64_t uptimeMs();
    MasterStats masterStats();
    unsigned restartCount();

    LineSettings lineSettings();
    TcpSettings tcpSettings();

    // Traffic on the master line, counted into mmrd.bin and mmrgv.bin unless
    // a fixed load is set. Times are microseconds of the model's clock (its
    // milliseconds times 1000); an interval may reach into the future.
    void lineBusy(std::uint64_t fromUs, std::uint64_t toUs);
    void lineMessage(std::uint64_t atUs);
    void lineError();
    void lineNegative();

    static std::string infoText(const Identity& identity);
    static std::vector<std::uint8_t> factoryImage(SimFile file);

  private:
    std::uint64_t now() const;
    std::uint64_t uptimeAt(std::uint64_t nowMs) const;
    void advance(std::uint64_t nowMs);
    MasterStats statsLocked(std::uint64_t nowMs) const;
    bool invented() const { return options_.masterLoad >= 0; }
    unsigned inventedLoad() const {
        return static_cast<unsigned>(std::min(options_.masterLoad, 100));
    }
    unsigned ratePerSecond(unsigned load) const;
    // Second of run time an instant falls into; false before the boot.
    bool secondOf(std::uint64_t atUs, std::uint64_t& second, std::uint64_t& usIntoSecond) const;
    std::vector<std::uint8_t> sysImage(std::uint64_t nowMs);
    std::vector<std::uint8_t>& stored(SimFile file);
    void restartLocked(std::uint64_t nowMs);

    mutable std::mutex mutex_;
    Clock clock_;
    ModelOptions options_;

    std::uint64_t bootMs_ = 0;  // clock value that counts as run time extraMs_
    std::uint64_t extraMs_ = 0; // run time at the boot moment (initial run time)
    std::uint64_t unreachableUntil_ = 0;
    std::uint64_t clockAtStartMs_ = 0;
    std::int64_t wallAtStartMs_ = 0;
    std::uint64_t processedSeconds_ = 0; // whole seconds of run time already simulated
    unsigned restarts_ = 0;
    std::array<std::uint8_t, 4> ipInForce_{};
    std::array<std::uint8_t, 4> maskInForce_{};
    std::array<std::uint8_t, 4> gatewayInForce_{};
    std::uint8_t dhcpInForce_ = 0;

    // Invented master line statistics (a fixed load) in thousandths of a message.
    std::int64_t messagesMilli_ = 0;
    // Counted master line statistics; busy time and messages per second of
    // run time until the second has passed into the ring.
    struct Second {
        std::uint64_t busyUs = 0;
        std::uint32_t messages = 0;
    };
    std::map<std::uint64_t, Second> seconds_;
    std::uint32_t messages_ = 0;
    std::uint32_t errors_ = 0;
    std::uint32_t negatives_ = 0;
    std::uint16_t lastPerSecond_ = 0;
    std::uint8_t lastLoad_ = 0;
    std::array<std::uint8_t, kRingSize> ring_{};
    std::uint32_t ringCount_ = 0;
    std::uint32_t ringIndex_ = 0;

    std::vector<std::uint8_t> lan4_, mbtcp_, uartm_, uarts_;
    std::array<std::vector<std::uint8_t>, 9> scripted_;
};

} // namespace tksim
