#include "link/TftpWire.h"

#include <algorithm>

namespace tftpwire {

namespace {

// One zero-terminated string at `pos`. A string that would start at the end
// is missing; one without its zero takes the rest of the packet.
enum class Field { Read, Missing, Unterminated };

Field readString(ByteSpan packet, std::size_t& pos, std::string& out) {
    if (pos >= packet.size()) {
        return Field::Missing;
    }
    const auto start = packet.begin() + static_cast<std::ptrdiff_t>(pos);
    const auto zero = std::find(start, packet.end(), std::uint8_t{0});
    out.assign(start, zero);
    if (zero == packet.end()) {
        pos = packet.size();
        return Field::Unterminated;
    }
    pos += out.size() + 1;
    return Field::Read;
}

// Name and value pairs from `pos` to the end.
Shape readOptions(ByteSpan packet, std::size_t pos, Options& options) {
    while (pos < packet.size()) {
        Option option;
        if (readString(packet, pos, option.name) != Field::Read) {
            return Shape::Unterminated;
        }
        const Field value = readString(packet, pos, option.value);
        if (value != Field::Read) {
            return value == Field::Missing ? Shape::LoneOption : Shape::Unterminated;
        }
        options.push_back(std::move(option));
    }
    return Shape::Ok;
}

Shape readRequest(ByteSpan packet, Packet& out) {
    std::size_t pos = 2;
    for (std::string* text : {&out.fileName, &out.mode}) {
        const Field field = readString(packet, pos, *text);
        if (field != Field::Read) {
            return field == Field::Missing ? Shape::NoMode : Shape::Unterminated;
        }
    }
    return readOptions(packet, pos, out.options);
}

Shape readError(ByteSpan packet, Packet& out) {
    std::size_t pos = 4;
    const Field field = readString(packet, pos, out.message);
    if (field != Field::Read) {
        return Shape::Unterminated;
    }
    return pos == packet.size() ? Shape::Ok : Shape::TrailingBytes;
}

void appendOptions(Bytes& packet, const Options& options) {
    for (const Option& option : options) {
        appendString(packet, option.name);
        appendString(packet, option.value);
    }
}

} // namespace

std::uint16_t read16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

void append16(Bytes& packet, std::uint16_t value) {
    packet.push_back(static_cast<std::uint8_t>(value >> 8));
    packet.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

void appendString(Bytes& packet, std::string_view text) {
    packet.insert(packet.end(), text.begin(), text.end());
    packet.push_back(0);
}

Bytes requestPacket(Opcode opcode, std::string_view fileName, std::string_view mode,
                    const Options& options) {
    Bytes packet;
    append16(packet, static_cast<std::uint16_t>(opcode));
    appendString(packet, fileName);
    appendString(packet, mode);
    appendOptions(packet, options);
    return packet;
}

Bytes dataPacket(std::uint16_t block, ByteSpan payload) {
    Bytes packet;
    packet.reserve(payload.size() + 4);
    append16(packet, static_cast<std::uint16_t>(Opcode::Data));
    append16(packet, block);
    packet.insert(packet.end(), payload.begin(), payload.end());
    return packet;
}

Bytes ackPacket(std::uint16_t block) {
    Bytes packet;
    append16(packet, static_cast<std::uint16_t>(Opcode::Ack));
    append16(packet, block);
    return packet;
}

Bytes errorPacket(std::uint16_t code, std::string_view message) {
    Bytes packet;
    append16(packet, static_cast<std::uint16_t>(Opcode::Error));
    append16(packet, code);
    appendString(packet, message);
    return packet;
}

Bytes oackPacket(const Options& options) {
    Bytes packet;
    append16(packet, static_cast<std::uint16_t>(Opcode::Oack));
    appendOptions(packet, options);
    return packet;
}

Opcode opcodeOf(ByteSpan packet) {
    return packet.size() < 2 ? Opcode{0} : Opcode{read16(packet.data())};
}

Packet parse(ByteSpan packet) {
    Packet out;
    out.opcode = opcodeOf(packet);
    if (packet.size() < 2) {
        out.shape = Shape::TooShort;
        return out;
    }
    switch (out.opcode) {
    case Opcode::Rrq:
    case Opcode::Wrq:
        out.shape = readRequest(packet, out);
        return out;
    case Opcode::Oack:
        out.shape = readOptions(packet, 2, out.options);
        return out;
    case Opcode::Data:
    case Opcode::Ack:
    case Opcode::Error:
        break;
    default:
        out.shape = Shape::UnknownOpcode;
        return out;
    }
    if (packet.size() < 4) {
        out.shape = Shape::TooShort;
        return out;
    }
    out.number = read16(packet.data() + 2);
    if (out.opcode == Opcode::Data) {
        out.payload = packet.subspan(4);
    } else if (out.opcode == Opcode::Ack) {
        out.shape = packet.size() == 4 ? Shape::Ok : Shape::TrailingBytes;
    } else {
        out.shape = readError(packet, out);
    }
    return out;
}

} // namespace tftpwire
