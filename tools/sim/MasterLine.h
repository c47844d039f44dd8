// The converter's Modbus RTU master line: requests go out one at a time from
// a bounded queue, each frame takes its wire time at the line's rate, an
// answer ends with 3.5 characters of silence, and a missing or broken answer
// is retried as uartm.cfg says. No I/O and no clock of its own: the caller
// passes the time, so the timing is exact under a fake clock.
#pragma once

#include "sim/DeviceModel.h"
#include "sim/SimConfig.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tksim {

constexpr std::size_t kRtuMaxAdu = 256; // address, PDU and CRC

// Bits a character takes on the line: start, 8 data, parity, stop.
unsigned bitsPerChar(int parityCode);
// Microseconds `bytes` characters take on the line.
std::uint64_t wireUs(std::size_t bytes, const LineSettings& line);
// The 3.5 characters of silence that end a frame.
std::uint64_t silenceUs(const LineSettings& line);

// Whatever sits at the far end of the line (a pseudo-terminal, built-in
// slaves).
class LineEnd {
  public:
    virtual ~LineEnd() = default;
    // A frame whose first bit goes out at startUs.
    virtual void transmit(std::span<const std::uint8_t> frame, const LineSettings& line,
                          std::uint64_t startUs) = 0;
};

struct LineJob {
    std::uint64_t tag = 0; // the caller's, handed back with the outcome
    std::uint8_t unit = 0; // 0: broadcast
    std::vector<std::uint8_t> pdu;
};

struct LineOutcome {
    enum Kind { Answer, Broadcast, NoAnswer };
    std::uint64_t tag = 0;
    Kind kind = NoAnswer;
    std::vector<std::uint8_t> pdu; // Answer: the slave's PDU, an exception included
};

class MasterLine {
  public:
    using Done = std::function<void(const LineOutcome&)>;

    MasterLine(DeviceModel& model, LineEnd& end, std::size_t queueLimit, Done done, LogSink log);

    // False when the queue is full (or the PDU empty).
    bool submit(LineJob job);
    std::size_t queued() const { return queue_.size(); }
    bool busy() const { return current_.has_value() || !queue_.empty(); }

    // Bytes that came off the line at atUs.
    void receive(std::span<const std::uint8_t> bytes, std::uint64_t atUs);
    // Does whatever is due at nowUs.
    void tick(std::uint64_t nowUs);
    // When tick next has something to do; nothing while idle.
    std::optional<std::uint64_t> nextEventUs() const;

  private:
    enum class Phase { Idle, Waiting, Receiving };

    void startAttempt(std::uint64_t startUs);
    void completeAnswer();
    // Why the answer is unusable; empty when it is fine.
    std::string checkAnswer() const;
    void failAttempt(const std::string& why);
    void finish(LineOutcome::Kind kind, std::vector<std::uint8_t> pdu);
    std::string what() const;
    void log(const std::string& line) const;

    DeviceModel& model_;
    LineEnd& end_;
    std::size_t queueLimit_;
    Done done_;
    LogSink log_;

    std::deque<LineJob> queue_;
    std::optional<LineJob> current_;
    LineSettings settings_;
    unsigned attempt_ = 0;
    Phase phase_ = Phase::Idle;
    std::uint64_t lineFreeUs_ = 0;                // earliest start of the next request
    std::optional<std::uint64_t> pendingSinceUs_; // work waiting since this tick
    std::uint64_t busyEndUs_ = 0;                 // last bit on the wire so far
    std::uint64_t requestEndUs_ = 0;
    std::uint64_t deadlineUs_ = 0; // first answer byte due by then
    std::vector<std::uint8_t> rx_;
};

} // namespace tksim
