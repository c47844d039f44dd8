#include "sim/SimBytes.h"

#include <bit>
#include <numeric>

namespace tksim {

std::uint16_t crc16(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) {
            const bool carry = (crc & 1u) != 0;
            crc = static_cast<std::uint16_t>(crc >> 1);
            if (carry) {
                crc ^= 0xA001;
            }
        }
    }
    return crc;
}

void appendCrc(std::vector<std::uint8_t>& frame) {
    const std::uint16_t crc = crc16(frame);
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
}

bool crcOk(std::span<const std::uint8_t> frameWithCrc) {
    if (frameWithCrc.size() < 3) {
        return false;
    }
    const std::size_t n = frameWithCrc.size() - 2;
    const std::uint16_t crc = crc16(frameWithCrc.first(n));
    return frameWithCrc[n] == (crc & 0xFF) && frameWithCrc[n + 1] == (crc >> 8);
}

std::uint8_t checksumFor(std::span<const std::uint8_t> bytes) {
    const unsigned sum = std::accumulate(bytes.begin(), bytes.end(), 0u);
    return static_cast<std::uint8_t>((256u - (sum & 0xFFu)) & 0xFFu);
}

bool checksumOk(std::span<const std::uint8_t> fileWithChecksum) {
    const unsigned sum = std::accumulate(fileWithChecksum.begin(), fileWithChecksum.end(), 0u);
    return !fileWithChecksum.empty() && (sum & 0xFFu) == 0;
}

void putU16(std::vector<std::uint8_t>& image, std::size_t offset, std::uint16_t value) {
    image.at(offset) = static_cast<std::uint8_t>(value & 0xFF);
    image.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
}

void putU32(std::vector<std::uint8_t>& image, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        image.at(offset + i) = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
    }
}

void putF32(std::vector<std::uint8_t>& image, std::size_t offset, float value) {
    putU32(image, offset, std::bit_cast<std::uint32_t>(value));
}

} // namespace tksim
