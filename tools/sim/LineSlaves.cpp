#include "sim/LineSlaves.h"

#include "sim/SimBytes.h"

namespace tksim {

namespace {

enum : std::uint8_t { kIllegalFunction = 1, kIllegalAddress = 2, kIllegalValue = 3 };

std::uint16_t get16(std::span<const std::uint8_t> p, std::size_t at) {
    return static_cast<std::uint16_t>(p[at] << 8 | p[at + 1]);
}

void add16(std::vector<std::uint8_t>& v, std::uint16_t x) {
    v.push_back(static_cast<std::uint8_t>(x >> 8));
    v.push_back(static_cast<std::uint8_t>(x & 0xFF));
}

std::vector<std::uint8_t> exception(std::uint8_t function, std::uint8_t code) {
    return {static_cast<std::uint8_t>(function | 0x80), code};
}

bool inTable(unsigned address, unsigned count) {
    return address + count <= kSlaveTableSize;
}

// The standard's quantity limits of each function.
constexpr unsigned kMaxReadBits = 2000;
constexpr unsigned kMaxReadRegisters = 125;
constexpr unsigned kMaxWriteBits = 1968;
constexpr unsigned kMaxWriteRegisters = 123;

} // namespace

LineSlave::LineSlave(std::uint8_t unit) : unit_(unit) {
    for (std::size_t n = 0; n < kSlaveTableSize; ++n) {
        input[n] = static_cast<std::uint16_t>(n);
        holding[n] = static_cast<std::uint16_t>(unit * 1000u + n);
        coils[n] = n % 2 == 1;
        discrete[n] = n % 3 == 0;
    }
}

std::vector<std::uint8_t> LineSlave::handle(std::span<const std::uint8_t> pdu) {
    const std::uint8_t fn = pdu.empty() ? 0 : pdu[0];
    const bool known =
        fn == 1 || fn == 2 || fn == 3 || fn == 4 || fn == 5 || fn == 6 || fn == 15 || fn == 16;
    if (!known) {
        return exception(fn, kIllegalFunction);
    }
    if (pdu.size() < 5) {
        return exception(fn, kIllegalValue);
    }
    const unsigned address = get16(pdu, 1);
    const unsigned value = get16(pdu, 3); // the quantity, or the value written
    std::vector<std::uint8_t> answer{fn};
    switch (fn) {
    case 1:
    case 2: {
        if (pdu.size() != 5 || value < 1 || value > kMaxReadBits) {
            return exception(fn, kIllegalValue);
        }
        if (!inTable(address, value)) {
            return exception(fn, kIllegalAddress);
        }
        const auto& bits = fn == 1 ? coils : discrete;
        answer.push_back(static_cast<std::uint8_t>((value + 7) / 8));
        answer.resize(2 + (value + 7) / 8, 0);
        for (unsigned i = 0; i < value; ++i) {
            if (bits[address + i]) {
                answer[2 + i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));
            }
        }
        return answer;
    }
    case 3:
    case 4: {
        if (pdu.size() != 5 || value < 1 || value > kMaxReadRegisters) {
            return exception(fn, kIllegalValue);
        }
        if (!inTable(address, value)) {
            return exception(fn, kIllegalAddress);
        }
        const auto& table = fn == 3 ? holding : input;
        answer.push_back(static_cast<std::uint8_t>(2 * value));
        for (unsigned i = 0; i < value; ++i) {
            add16(answer, table[address + i]);
        }
        return answer;
    }
    case 5:
        if (pdu.size() != 5 || (value != 0xFF00 && value != 0x0000)) {
            return exception(fn, kIllegalValue);
        }
        if (!inTable(address, 1)) {
            return exception(fn, kIllegalAddress);
        }
        coils[address] = value == 0xFF00;
        return {pdu.begin(), pdu.end()};
    case 6:
        if (pdu.size() != 5) {
            return exception(fn, kIllegalValue);
        }
        if (!inTable(address, 1)) {
            return exception(fn, kIllegalAddress);
        }
        holding[address] = static_cast<std::uint16_t>(value);
        return {pdu.begin(), pdu.end()};
    default:
        break;
    }
    // 15 and 16: address, quantity, byte count, data.
    const unsigned limit = fn == 15 ? kMaxWriteBits : kMaxWriteRegisters;
    const unsigned bytes = fn == 15 ? (value + 7) / 8 : 2 * value;
    if (pdu.size() < 6 || value < 1 || value > limit || pdu[5] != bytes ||
        pdu.size() != 6 + bytes) {
        return exception(fn, kIllegalValue);
    }
    if (!inTable(address, value)) {
        return exception(fn, kIllegalAddress);
    }
    for (unsigned i = 0; i < value; ++i) {
        if (fn == 15) {
            coils[address + i] = (pdu[6 + i / 8] >> (i % 8) & 1) != 0;
        } else {
            holding[address + i] = get16(pdu, 6 + 2 * i);
        }
    }
    answer.insert(answer.end(), pdu.begin() + 1, pdu.begin() + 5);
    return answer;
}

LineSlaves::LineSlaves(std::span<const std::uint8_t> units, unsigned delayMs) : delayMs_(delayMs) {
    for (const std::uint8_t unit : units) {
        if (find(unit) == nullptr) {
            slaves_.emplace_back(unit);
        }
    }
}

LineSlave* LineSlaves::find(std::uint8_t unit) {
    for (LineSlave& s : slaves_) {
        if (s.unit() == unit) {
            return &s;
        }
    }
    return nullptr;
}

void LineSlaves::transmit(std::span<const std::uint8_t> frame, const LineSettings& line,
                          std::uint64_t startUs) {
    if (frame.size() < 4 || !crcOk(frame)) {
        return;
    }
    const std::span<const std::uint8_t> pdu = frame.subspan(1, frame.size() - 3);
    if (frame[0] == 0) {
        // Broadcast: writes reach every slave, nobody answers.
        if (pdu[0] == 5 || pdu[0] == 6 || pdu[0] == 15 || pdu[0] == 16) {
            for (LineSlave& s : slaves_) {
                s.handle(pdu);
            }
        }
        return;
    }
    LineSlave* slave = find(frame[0]);
    if (slave == nullptr) {
        return;
    }
    const std::vector<std::uint8_t> reply = slave->handle(pdu);
    std::vector<std::uint8_t> answer;
    answer.reserve(reply.size() + 3);
    answer.push_back(frame[0]);
    answer.insert(answer.end(), reply.begin(), reply.end());
    appendCrc(answer);
    // A later request (after a timeout) talks over an answer not yet sent.
    pending_ = Pending{std::move(answer), startUs + wireUs(frame.size(), line) + silenceUs(line) +
                                              std::uint64_t{delayMs_} * 1000};
}

std::optional<std::uint64_t> LineSlaves::nextEventUs() const {
    if (!pending_) {
        return std::nullopt;
    }
    return pending_->atUs;
}

void LineSlaves::deliver(std::uint64_t nowUs, MasterLine& line) {
    if (!pending_ || nowUs < pending_->atUs) {
        return;
    }
    const Pending due = std::move(*pending_);
    pending_.reset();
    line.receive(due.frame, due.atUs);
}

} // namespace tksim
