// TFTP packets on the wire: opcodes, big-endian 16-bit fields,
// zero-terminated strings and option pairs. Building and parsing only, no
// sockets, so the client, the trace, the simulator and the tests share one
// reading of the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tftpwire {

using Bytes = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

// A packet may carry any 16-bit value here; the named ones are the known.
enum class Opcode : std::uint16_t { Rrq = 1, Wrq = 2, Data = 3, Ack = 4, Error = 5, Oack = 6 };

enum ErrorCode : std::uint16_t {
    NotDefined = 0,
    FileNotFound = 1,
    AccessViolation = 2,
    DiskFull = 3,
    IllegalOperation = 4,
    UnknownTransferId = 5,
    FileExists = 6,
    NoSuchUser = 7,
    OptionRefused = 8
};

struct Option {
    std::string name;
    std::string value;
    bool operator==(const Option&) const = default;
};
using Options = std::vector<Option>;

// 16-bit fields, high byte first. `read16` needs two readable bytes.
std::uint16_t read16(const std::uint8_t* p);
void append16(Bytes& packet, std::uint16_t value);
// The text and its terminating zero.
void appendString(Bytes& packet, std::string_view text);

Bytes requestPacket(Opcode opcode, std::string_view fileName, std::string_view mode,
                    const Options& options = {});
Bytes dataPacket(std::uint16_t block, ByteSpan payload);
Bytes ackPacket(std::uint16_t block);
Bytes errorPacket(std::uint16_t code, std::string_view message);
Bytes oackPacket(const Options& options);

// The opcode field; 0 (no opcode) when the packet has fewer than 2 bytes.
Opcode opcodeOf(ByteSpan packet);

// How well a packet follows its opcode's layout. Fields are filled as far
// as the bytes go, whatever the shape, so a lenient reader may still use them.
enum class Shape {
    Ok,
    TooShort,      // the opcode, block number or error code is cut off
    Unterminated,  // a string runs to the end without its zero
    NoMode,        // a request ends before its file name or mode
    LoneOption,    // an option name without its value
    TrailingBytes, // bytes after an acknowledgement or error message
    UnknownOpcode
};

struct Packet {
    Opcode opcode = Opcode{0};
    Shape shape = Shape::Ok;
    std::uint16_t number = 0; // block of DATA and ACK, code of ERROR
    std::string fileName;     // RRQ, WRQ
    std::string mode;         // RRQ, WRQ
    std::string message;      // ERROR: up to its zero, or all that follows the code
    Options options;          // RRQ, WRQ, OACK: the whole pairs, in order, before any fault
    ByteSpan payload;         // DATA: into the parsed bytes
};

// Reads within `packet` only; never fails otherwise.
Packet parse(ByteSpan packet);

} // namespace tftpwire
