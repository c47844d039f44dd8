#include "sim/RtuProtocol.h"

#include "sim/SimBytes.h"

#include <algorithm>
#include <cstdio>

namespace tksim {

namespace {

constexpr std::uint8_t kIllegalFunction = 0x01;
constexpr std::uint8_t kIllegalAddress = 0x02;
constexpr std::uint8_t kIllegalValue = 0x03;
constexpr std::uint8_t kFileAccess = 0xFE;
constexpr std::uint8_t kIdentify = 0xC8;

std::string hexByte(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", v & 0xFFu);
    return buf;
}

RtuReply refuse(std::vector<std::uint8_t> frame, std::string note) {
    return RtuReply{true, std::move(frame), std::move(note)};
}

} // namespace

RtuProtocol::RtuProtocol(DeviceModel& model, std::uint8_t address)
    : model_(model), address_(address) {}

std::vector<std::uint8_t> RtuProtocol::exception(std::uint8_t function, std::uint8_t code) const {
    std::vector<std::uint8_t> f{address_, static_cast<std::uint8_t>(function | 0x80), code};
    appendCrc(f);
    return f;
}

RtuReply RtuProtocol::handle(std::span<const std::uint8_t> frame, const Faults& faults) {
    RtuReply reply;
    if (frame.size() < 4) {
        reply.note = "ignored: " + std::to_string(frame.size()) + " bytes, too short";
        return reply;
    }
    if (frame.size() > kRtuMaxFrame) {
        reply.note = "ignored: frame longer than " + std::to_string(kRtuMaxFrame) + " bytes";
        return reply;
    }
    if (!crcOk(frame)) {
        reply.note = "ignored: wrong CRC";
        return reply;
    }
    if (frame[0] != address_) {
        reply.note = "ignored: address " + std::to_string(frame[0]);
        return reply;
    }
    if (!model_.reachable()) {
        reply.note = "ignored: restarting";
        return reply;
    }
    const std::span<const std::uint8_t> pdu = frame.first(frame.size() - 2);
    const std::uint8_t function = pdu[1];
    if (faults.exceptionCode != 0) {
        reply = refuse(exception(function, static_cast<std::uint8_t>(faults.exceptionCode)),
                       hexByte(function) + ": exception " + std::to_string(faults.exceptionCode) +
                           " (injected)");
    } else if (function == 0x43) {
        reply = readBlock(pdu, faults);
    } else if (function == 0x44) {
        reply = writeBlock(pdu, faults);
    } else if (function == 0x45) {
        reply = message(pdu);
    } else {
        reply = refuse(exception(function, kIllegalFunction),
                       hexByte(function) + ": unknown function, exception 1");
    }
    if (!reply.send) {
        return reply;
    }
    ++answers_;
    if (faults.dropEvery != 0 && answers_ % faults.dropEvery == 0) {
        reply.send = false;
        reply.note += " [answer dropped]";
    } else if (faults.corruptCrcEvery != 0 && answers_ % faults.corruptCrcEvery == 0) {
        reply.frame[reply.frame.size() - 1] ^= 0xFF;
        reply.frame[reply.frame.size() - 2] ^= 0x5A;
        reply.note += " [CRC corrupted]";
    }
    return reply;
}

RtuReply RtuProtocol::readBlock(std::span<const std::uint8_t> pdu, const Faults& faults) {
    if (pdu.size() != 7 || pdu[2] != kFileAccess) {
        return refuse(exception(0x43, kIllegalValue), "0x43: malformed request, exception 3");
    }
    const std::uint8_t number = pdu[3];
    const unsigned block = (unsigned{pdu[4]} << 8) | pdu[5];
    const unsigned n = pdu[6];
    const std::string what = "0x43 file " + std::to_string(number) + " block " +
                             std::to_string(block) + " n " + std::to_string(n);
    const FileInfo* file = fileByNumber(number);
    if (file == nullptr || !file->readable) {
        return refuse(exception(0x43, kIllegalAddress),
                      what + ": no such readable file, exception 2");
    }
    if (faults.refuseReadsOf == file->name) {
        return refuse(exception(0x43, kIllegalAddress), what + ": reads refused, exception 2");
    }
    if (n == 0 || n > kRtuBlockStride) {
        return refuse(exception(0x43, kIllegalValue), what + ": length not served, exception 3");
    }
    const std::vector<std::uint8_t> image = model_.read(file->id);
    // Blocks are 240-byte units of the file, the last one padded with zeros.
    const std::size_t blocks =
        std::max<std::size_t>(1, (image.size() + kRtuBlockStride - 1) / kRtuBlockStride);
    if (block >= blocks) {
        return refuse(exception(0x43, kIllegalAddress), what + ": no such block, exception 2");
    }
    std::vector<std::uint8_t> f{address_, 0x43, static_cast<std::uint8_t>(n)};
    const std::size_t start = block * kRtuBlockStride;
    for (std::size_t i = 0; i < n; ++i) {
        f.push_back(start + i < image.size() ? image[start + i] : 0);
    }
    appendCrc(f);
    return RtuReply{true, std::move(f), what + " (" + std::string(file->name) + "): ok"};
}

RtuReply RtuProtocol::writeBlock(std::span<const std::uint8_t> pdu, const Faults& faults) {
    if (pdu.size() < 7 || pdu[2] != kFileAccess || pdu.size() != 7u + pdu[6]) {
        return refuse(exception(0x44, kIllegalValue), "0x44: malformed request, exception 3");
    }
    const std::uint8_t number = pdu[3];
    const unsigned block = (unsigned{pdu[4]} << 8) | pdu[5];
    const unsigned n = pdu[6];
    const std::string what = "0x44 file " + std::to_string(number) + " block " +
                             std::to_string(block) + " n " + std::to_string(n);
    const FileInfo* file = fileByNumber(number);
    if (file == nullptr || !file->writable) {
        return refuse(exception(0x44, kIllegalAddress),
                      what + ": no such writable file, exception 2");
    }
    if (block != 0) {
        return refuse(exception(0x44, kIllegalAddress), what + ": no such block, exception 2");
    }
    if (n != file->writeSize) {
        return refuse(exception(0x44, kIllegalValue), what + ": length not served, exception 3");
    }
    std::uint8_t status = 0;
    std::string outcome;
    if (faults.refuseWrites) {
        status = 1;
        outcome = "refused (injected)";
    } else {
        const WriteResult r = model_.write(file->id, pdu.subspan(7, n), !faults.ignoreWrites);
        status = r == WriteResult::Accepted ? 0 : 1;
        outcome = describe(r);
        if (faults.ignoreWrites && r == WriteResult::Accepted) {
            outcome += ", not taken over (injected)";
        }
    }
    std::vector<std::uint8_t> f{address_, 0x44, status};
    appendCrc(f);
    return RtuReply{true, std::move(f), what + " (" + std::string(file->name) + "): " + outcome};
}

RtuReply RtuProtocol::message(std::span<const std::uint8_t> pdu) {
    // The length field itself may be missing from a short frame.
    if (pdu.size() < 4) {
        return refuse(exception(0x45, kIllegalValue), "0x45: malformed message, exception 3");
    }
    const std::size_t length = (std::size_t{pdu[2]} << 8) | pdu[3];
    if (length > 256 || pdu.size() != 4 + length) {
        return refuse(exception(0x45, kIllegalValue), "0x45: malformed message, exception 3");
    }
    const std::span<const std::uint8_t> data = pdu.subspan(4);
    if (data.size() < 3 || data[1] != kIdentify) {
        return refuse(exception(0x45, kIllegalValue), "0x45: unknown message, exception 3");
    }
    const std::uint8_t item = data[2];
    std::array<char, 4> chars{};
    if (!model_.identityItem(item, chars)) {
        return refuse(exception(0x45, kIllegalAddress),
                      "0x45 identify item " + std::to_string(item) + ": unknown item, exception 2");
    }
    std::vector<std::uint8_t> f{address_, 0x45, 0x00, 0x08, address_, kIdentify, item, 0x00};
    for (char c : chars) {
        f.push_back(static_cast<std::uint8_t>(c));
    }
    appendCrc(f);
    return RtuReply{true, std::move(f),
                    "0x45 identify item " + std::to_string(item) + ": \"" +
                        std::string(chars.begin(), chars.end()) + "\""};
}

} // namespace tksim
