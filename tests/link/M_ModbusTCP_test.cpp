// Modbus TCP frames: the request PDUs of every function and the checks an
// answer ADU must pass, as hex vectors.
#include "link/M_ModbusTCP.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes hex(const std::string& text) {
    Bytes b;
    std::istringstream in(text);
    unsigned v = 0;
    while (in >> std::hex >> v) {
        b.push_back(static_cast<std::uint8_t>(v));
    }
    return b;
}

ModbusRequest req(ModbusFunction f, std::uint16_t address, std::uint16_t count,
                  std::vector<std::uint16_t> values = {}, std::uint8_t unit = 1) {
    return {unit, f, address, count, std::move(values)};
}

struct PduCase {
    ModbusRequest request;
    const char* pdu;
};

class RequestPdu : public ::testing::TestWithParam<PduCase> {};

TEST_P(RequestPdu, IsTheFunctionsLayout) {
    EXPECT_EQ(ModbusRequestPdu(GetParam().request), hex(GetParam().pdu));
}

INSTANTIATE_TEST_SUITE_P(
    Functions, RequestPdu,
    ::testing::Values(
        PduCase{req(ModbusFunction::ReadCoils, 0x0013, 0x0025), "01 00 13 00 25"},
        PduCase{req(ModbusFunction::ReadDiscreteInputs, 0, 2000), "02 00 00 07 D0"},
        PduCase{req(ModbusFunction::ReadHoldingRegisters, 0xFFFF, 1), "03 FF FF 00 01"},
        PduCase{req(ModbusFunction::ReadInputRegisters, 8, 125), "04 00 08 00 7D"},
        PduCase{req(ModbusFunction::WriteSingleCoil, 0xAC, 1, {1}), "05 00 AC FF 00"},
        PduCase{req(ModbusFunction::WriteSingleCoil, 0xAC, 1, {0}), "05 00 AC 00 00"},
        PduCase{req(ModbusFunction::WriteSingleRegister, 1, 1, {0xABCD}), "06 00 01 AB CD"},
        // 10 coils: the first byte's bit 0 is the first coil.
        PduCase{req(ModbusFunction::WriteMultipleCoils, 0x13, 10, {1, 0, 1, 1, 0, 0, 1, 1, 1, 0}),
                "0F 00 13 00 0A 02 CD 01"},
        PduCase{req(ModbusFunction::WriteMultipleRegisters, 1, 2, {0x000A, 0x0102}),
                "10 00 01 00 02 04 00 0A 01 02"}));

TEST(ModbusTcpAdu, PutsTheMbapHeaderBeforeThePdu) {
    EXPECT_EQ(ModbusTcpAdu(0x1234, 17, hex("03 00 00 00 0A")),
              hex("12 34 00 00 00 06 11 03 00 00 00 0A"));
}

struct AnswerCase {
    const char* name;
    ModbusRequest request;
    const char* answer;
    ModbusStatus status;
    std::vector<std::uint16_t> values;
    std::uint8_t exception = 0;
};

class AnswerCheck : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(AnswerCheck, AcceptsOnlyTheAnswerTheRequestAskedFor) {
    const AnswerCase& c = GetParam();
    const Bytes adu = hex(c.answer);
    ModbusResult r;
    r.Values = {99}; // left from an earlier answer: must not survive a failed check
    EXPECT_EQ(ModbusCheckAnswer(c.request, adu.data(), adu.size(), r), c.status);
    EXPECT_EQ(r.Values, c.values);
    EXPECT_EQ(r.ExceptionCode, c.exception);
}

const ModbusRequest kRead2 = req(ModbusFunction::ReadHoldingRegisters, 0, 2);
const ModbusRequest kCoils10 = req(ModbusFunction::ReadCoils, 0, 10);
const ModbusRequest kWrite = req(ModbusFunction::WriteSingleRegister, 5, 1, {7});

INSTANTIATE_TEST_SUITE_P(
    Answers, AnswerCheck,
    ::testing::Values(
        AnswerCase{"Registers",
                   kRead2,
                   "00 00 00 00 00 07 01 03 04 03 E8 FF FF",
                   ModbusStatus::Answered,
                   {1000, 65535}},
        AnswerCase{"Coils",
                   kCoils10,
                   "00 00 00 00 00 05 01 01 02 CD 01",
                   ModbusStatus::Answered,
                   {1, 0, 1, 1, 0, 0, 1, 1, 1, 0}},
        AnswerCase{
            "WriteEcho", kWrite, "00 00 00 00 00 06 01 06 00 05 00 07", ModbusStatus::Answered, {}},
        AnswerCase{
            "Exception", kRead2, "00 00 00 00 00 03 01 83 0B", ModbusStatus::Exception, {}, 0x0B},
        AnswerCase{"OtherTransaction",
                   kRead2,
                   "00 01 00 00 00 07 01 03 04 03 E8 FF FF",
                   ModbusStatus::WrongTransaction,
                   {}},
        AnswerCase{"ProtocolId",
                   kRead2,
                   "00 00 00 01 00 07 01 03 04 03 E8 FF FF",
                   ModbusStatus::MalformedHeader,
                   {}},
        AnswerCase{"LengthTooLong",
                   kRead2,
                   "00 00 00 00 00 08 01 03 04 03 E8 FF FF",
                   ModbusStatus::MalformedHeader,
                   {}},
        AnswerCase{"OtherUnit",
                   kRead2,
                   "00 00 00 00 00 07 02 03 04 03 E8 FF FF",
                   ModbusStatus::MalformedHeader,
                   {}},
        AnswerCase{"Truncated", kRead2, "00 00 00 00 00 01 01", ModbusStatus::MalformedHeader, {}},
        AnswerCase{"OtherFunction",
                   kRead2,
                   "00 00 00 00 00 07 01 04 04 03 E8 FF FF",
                   ModbusStatus::WrongAnswer,
                   {}},
        AnswerCase{
            "ByteCount", kRead2, "00 00 00 00 00 05 01 03 02 03 E8", ModbusStatus::WrongAnswer, {}},
        AnswerCase{"LongException",
                   kRead2,
                   "00 00 00 00 00 04 01 83 02 00",
                   ModbusStatus::WrongAnswer,
                   {}},
        AnswerCase{"WrongEcho",
                   kWrite,
                   "00 00 00 00 00 06 01 06 00 05 00 08",
                   ModbusStatus::WrongAnswer,
                   {}}),
    [](const ::testing::TestParamInfo<AnswerCase>& p) { return std::string(p.param.name); });

} // namespace
