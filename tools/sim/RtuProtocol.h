// The converter's side of the Modbus RTU functions 0x43, 0x44 and 0x45:
// one received frame in, the answer (if any) out. No I/O here.
#pragma once

#include "sim/DeviceModel.h"
#include "sim/SimConfig.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tksim {

constexpr std::size_t kRtuBlockStride = 240; // block b starts at byte 240 * b
constexpr std::size_t kRtuMaxFrame = 262;    // longest request with its CRC

struct RtuReply {
    bool send = false;               // false: stay silent
    std::vector<std::uint8_t> frame; // the answer with its CRC
    std::string note;                // one line for the log
};

class RtuProtocol {
  public:
    RtuProtocol(DeviceModel& model, std::uint8_t address);

    // Handles one frame ended by line silence (CRC included).
    RtuReply handle(std::span<const std::uint8_t> frame, const Faults& faults);

    std::uint8_t address() const { return address_; }

  private:
    std::vector<std::uint8_t> exception(std::uint8_t function, std::uint8_t code) const;
    RtuReply readBlock(std::span<const std::uint8_t> pdu, const Faults& faults);
    RtuReply writeBlock(std::span<const std::uint8_t> pdu, const Faults& faults);
    RtuReply message(std::span<const std::uint8_t> pdu);

    DeviceModel& model_;
    std::uint8_t address_;
    unsigned answers_ = 0;
};

} // namespace tksim
