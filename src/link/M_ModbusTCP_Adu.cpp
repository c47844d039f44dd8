#include "link/M_ModbusTCP.h"

#include <algorithm>

namespace {

void put16(std::vector<std::uint8_t>& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v >> 8));
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
}

std::uint16_t get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

std::size_t bitBytes(std::size_t bits) {
    return (bits + 7) / 8;
}

} // namespace

bool ModbusIsRead(ModbusFunction f) {
    return static_cast<std::uint8_t>(f) <=
           static_cast<std::uint8_t>(ModbusFunction::ReadInputRegisters);
}

bool ModbusIsBits(ModbusFunction f) {
    return f == ModbusFunction::ReadCoils || f == ModbusFunction::ReadDiscreteInputs ||
           f == ModbusFunction::WriteSingleCoil || f == ModbusFunction::WriteMultipleCoils;
}

std::vector<std::uint8_t> ModbusRequestPdu(const ModbusRequest& request) {
    std::vector<std::uint8_t> pdu{static_cast<std::uint8_t>(request.Function)};
    put16(pdu, request.Address);
    const std::vector<std::uint16_t>& v = request.Values;
    switch (request.Function) {
    case ModbusFunction::ReadCoils:
    case ModbusFunction::ReadDiscreteInputs:
    case ModbusFunction::ReadHoldingRegisters:
    case ModbusFunction::ReadInputRegisters:
        put16(pdu, request.Count);
        break;
    case ModbusFunction::WriteSingleCoil:
        put16(pdu, !v.empty() && v[0] != 0 ? 0xFF00 : 0x0000);
        break;
    case ModbusFunction::WriteSingleRegister:
        put16(pdu, v.empty() ? 0 : v[0]);
        break;
    case ModbusFunction::WriteMultipleCoils: {
        put16(pdu, static_cast<std::uint16_t>(v.size()));
        pdu.push_back(static_cast<std::uint8_t>(bitBytes(v.size())));
        std::vector<std::uint8_t> bits(bitBytes(v.size()), 0);
        for (std::size_t i = 0; i < v.size(); ++i) {
            if (v[i] != 0) {
                bits[i / 8] = static_cast<std::uint8_t>(bits[i / 8] | (1u << (i % 8)));
            }
        }
        pdu.insert(pdu.end(), bits.begin(), bits.end());
        break;
    }
    case ModbusFunction::WriteMultipleRegisters:
        put16(pdu, static_cast<std::uint16_t>(v.size()));
        pdu.push_back(static_cast<std::uint8_t>(v.size() * 2));
        for (std::uint16_t value : v) {
            put16(pdu, value);
        }
        break;
    }
    return pdu;
}

std::vector<std::uint8_t> ModbusTcpAdu(std::uint16_t transaction, std::uint8_t unit,
                                       const std::vector<std::uint8_t>& pdu) {
    std::vector<std::uint8_t> adu;
    adu.reserve(7 + pdu.size());
    put16(adu, transaction);
    put16(adu, 0);
    put16(adu, static_cast<std::uint16_t>(pdu.size() + 1));
    adu.push_back(unit);
    adu.insert(adu.end(), pdu.begin(), pdu.end());
    return adu;
}

ModbusStatus ModbusCheckAnswer(const ModbusRequest& request, const std::uint8_t* adu,
                               std::size_t length, ModbusResult& result) {
    result.Values.clear();
    result.ExceptionCode = 0;
    if (length < 8) {
        return ModbusStatus::MalformedHeader;
    }
    if (get16(adu) != MBTCP_TRANSACTION) {
        return ModbusStatus::WrongTransaction;
    }
    if (get16(adu + 2) != 0 || get16(adu + 4) != length - 6 || adu[6] != request.Unit) {
        return ModbusStatus::MalformedHeader;
    }
    const std::uint8_t* pdu = adu + 7;
    const std::size_t n = length - 7;
    const auto function = static_cast<std::uint8_t>(request.Function);
    if (pdu[0] == (function | 0x80)) {
        if (n != 2) {
            return ModbusStatus::WrongAnswer;
        }
        result.ExceptionCode = pdu[1];
        return ModbusStatus::Exception;
    }
    if (pdu[0] != function) {
        return ModbusStatus::WrongAnswer;
    }
    if (ModbusIsRead(request.Function)) {
        const bool bits = ModbusIsBits(request.Function);
        const std::size_t bytes = bits ? bitBytes(request.Count) : std::size_t{request.Count} * 2;
        if (n != 2 + bytes || pdu[1] != bytes) {
            return ModbusStatus::WrongAnswer;
        }
        for (std::size_t i = 0; i < request.Count; ++i) {
            result.Values.push_back(
                bits ? static_cast<std::uint16_t>((pdu[2 + i / 8] >> (i % 8)) & 1)
                     : get16(pdu + 2 + 2 * i));
        }
        return ModbusStatus::Answered;
    }
    // Writes echo the request's address and value or quantity.
    const std::vector<std::uint8_t> sent = ModbusRequestPdu(request);
    if (n != 5 || !std::equal(pdu, pdu + 5, sent.begin())) {
        return ModbusStatus::WrongAnswer;
    }
    return ModbusStatus::Answered;
}
