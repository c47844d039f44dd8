// Byte helpers of the simulator: Modbus CRC-16, file checksum, little-endian
// stores. Kept apart from the program's own code on purpose.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tksim {

std::uint16_t crc16(std::span<const std::uint8_t> bytes);

// Appends the CRC, low byte first.
void appendCrc(std::vector<std::uint8_t>& frame);

// True when the last two bytes are the CRC of the bytes before them.
bool crcOk(std::span<const std::uint8_t> frameWithCrc);

// Byte that makes the sum of all bytes 0 modulo 256.
std::uint8_t checksumFor(std::span<const std::uint8_t> bytes);
bool checksumOk(std::span<const std::uint8_t> fileWithChecksum);

void putU16(std::vector<std::uint8_t>& image, std::size_t offset, std::uint16_t value);
void putU32(std::vector<std::uint8_t>& image, std::size_t offset, std::uint32_t value);
void putF32(std::vector<std::uint8_t>& image, std::size_t offset, float value);

} // namespace tksim
