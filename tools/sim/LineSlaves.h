// Built-in Modbus RTU slaves on the simulated master line: 1000 coils,
// discrete inputs, holding and input registers each, starting from a pattern
// that is easy to recognise (input register n = n, holding register n =
// unit * 1000 + n, coil n on for odd n, discrete input n on for n divisible
// by 3), serving functions 1, 2, 3, 4, 5, 6, 15 and 16.
#pragma once

#include "sim/MasterLine.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tksim {

constexpr std::size_t kSlaveTableSize = 1000;

class LineSlave {
  public:
    explicit LineSlave(std::uint8_t unit);

    std::uint8_t unit() const { return unit_; }
    // The answer PDU to a request PDU (an exception 1, 2 or 3 included).
    std::vector<std::uint8_t> handle(std::span<const std::uint8_t> pdu);

    std::array<std::uint16_t, kSlaveTableSize> holding{};
    std::array<std::uint16_t, kSlaveTableSize> input{};
    std::bitset<kSlaveTableSize> coils;
    std::bitset<kSlaveTableSize> discrete;

  private:
    std::uint8_t unit_;
};

// The slaves as one far end of the line: a request for one of them is
// answered after the request's wire time, its closing silence and the reply
// delay; a broadcast write reaches all of them and is not answered.
class LineSlaves final : public LineEnd {
  public:
    LineSlaves(std::span<const std::uint8_t> units, unsigned delayMs);

    void transmit(std::span<const std::uint8_t> frame, const LineSettings& line,
                  std::uint64_t startUs) override;
    // When the pending answer starts on the wire.
    std::optional<std::uint64_t> nextEventUs() const;
    // Puts a due answer onto the line.
    void deliver(std::uint64_t nowUs, MasterLine& line);

    LineSlave* find(std::uint8_t unit);
    const std::vector<LineSlave>& slaves() const { return slaves_; }

  private:
    struct Pending {
        std::vector<std::uint8_t> frame;
        std::uint64_t atUs = 0;
    };

    std::vector<LineSlave> slaves_;
    unsigned delayMs_;
    std::optional<Pending> pending_;
};

} // namespace tksim
