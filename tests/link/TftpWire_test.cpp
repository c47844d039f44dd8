// The TFTP wire codec on its own: packets it builds as hex, and what it
// reads from hex, well-formed or not.
#include "link/TftpWire.h"

#include <gtest/gtest.h>

#include <string>

#include "support/TestTftpPeer.h"

using namespace tftpwire;
using tftptest::fromHex;
using tftptest::toHex;

namespace {

struct BuildCase {
    const char* name;
    Bytes built;
    const char* hex;
};

class Build : public ::testing::TestWithParam<BuildCase> {};

TEST_P(Build, GivesTheExactBytes) {
    EXPECT_EQ(toHex(GetParam().built), toHex(fromHex(GetParam().hex)));
}

Bytes fieldsInOrder() {
    Bytes b;
    append16(b, 0xABCD);
    appendString(b, "x");
    append16(b, 1);
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Build,
    ::testing::Values(
        BuildCase{"HighByteFirstAndZeroAfterText", fieldsInOrder(), "abcd 7800 0001"},
        BuildCase{
            "ReadRequestWithOptions",
            requestPacket(Opcode::Rrq, "sys.bin", "octet", {{"blksize", "1500"}, {"tsize", "0"}}),
            "0001 7379732e62696e00 6f6374657400 626c6b73697a6500 3135303000 7473697a6500 3000"},
        BuildCase{"WriteRequestWithoutOptions", requestPacket(Opcode::Wrq, "a", "netascii"),
                  "0002 6100 6e6574617363696900"},
        BuildCase{"Data", dataPacket(0x0102, fromHex("00ff41")), "0003 0102 00ff41"},
        BuildCase{"EmptyDataBlock65535", dataPacket(65535, {}), "0003 ffff"},
        BuildCase{"Ack0", ackPacket(0), "0004 0000"},
        BuildCase{"Ack258", ackPacket(258), "0004 0102"},
        BuildCase{"Error", errorPacket(FileNotFound, "File not found"),
                  "0005 0001 46696c65206e6f7420666f756e6400"},
        BuildCase{"ErrorWithoutMessage", errorPacket(IllegalOperation, ""), "0005 0004 00"},
        BuildCase{"OackWithoutOptions", oackPacket({}), "0006"},
        BuildCase{"OackKeepsEmptyPairsAndOrder", oackPacket({{"", ""}, {"tsize", "392"}}),
                  "0006 0000 7473697a6500 33393200"}),
    [](const auto& p) { return std::string(p.param.name); });

struct ParseCase {
    const char* name;
    const char* hex;
    Opcode opcode;
    Shape shape = Shape::Ok;
    std::uint16_t number = 0;
    std::string fileName = {};
    std::string mode = {};
    std::string message = {};
    Options options = {};
    const char* payload = "";
};

class Parse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(Parse, ReadsTheFieldsAndJudgesTheShape) {
    const ParseCase& c = GetParam();
    const Bytes bytes = fromHex(c.hex);
    const Packet p = parse(bytes);
    EXPECT_EQ(p.opcode, c.opcode);
    EXPECT_EQ(p.shape, c.shape);
    EXPECT_EQ(p.number, c.number);
    EXPECT_EQ(p.fileName, c.fileName);
    EXPECT_EQ(p.mode, c.mode);
    EXPECT_EQ(p.message, c.message);
    EXPECT_EQ(p.options, c.options);
    EXPECT_EQ(toHex(Bytes(p.payload.begin(), p.payload.end())), toHex(fromHex(c.payload)));
    EXPECT_EQ(opcodeOf(bytes), c.opcode);
}

// Every shorter piece of each packet, in a buffer of exactly its size, is
// read without reaching past it (the sanitizer build checks the reads).
TEST_P(Parse, EveryPrefixStaysInsideItsBytes) {
    const Bytes whole = fromHex(GetParam().hex);
    for (std::size_t n = 0; n < whole.size(); ++n) {
        const Bytes prefix(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
        const Packet p = parse(prefix);
        EXPECT_LE(p.payload.size(), n);
        EXPECT_TRUE(p.payload.empty() || p.payload.data() == prefix.data() + 4);
        EXPECT_LE(p.fileName.size() + p.mode.size() + p.message.size(), n);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Parse,
    ::testing::Values(
        ParseCase{.name = "ReadRequest",
                  .hex = "0001 6100 6f6374657400 626c6b73697a6500 3800",
                  .opcode = Opcode::Rrq,
                  .fileName = "a",
                  .mode = "octet",
                  .options = {{"blksize", "8"}}},
        ParseCase{.name = "WriteRequestEmptyNameAnyBytes",
                  .hex = "0002 00 ff00",
                  .opcode = Opcode::Wrq,
                  .mode = "\xff"},
        ParseCase{.name = "Data",
                  .hex = "0003 0001 414243",
                  .opcode = Opcode::Data,
                  .number = 1,
                  .payload = "414243"},
        ParseCase{"EmptyData", "0003 ffff", Opcode::Data, Shape::Ok, 65535},
        ParseCase{"Ack", "0004 fffe", Opcode::Ack, Shape::Ok, 65534},
        ParseCase{.name = "Error",
                  .hex = "0005 0008 6e6f00",
                  .opcode = Opcode::Error,
                  .number = 8,
                  .message = "no"},
        ParseCase{"ErrorWithoutMessage", "0005 0000 00", Opcode::Error},
        ParseCase{"OackWithoutOptions", "0006", Opcode::Oack},
        ParseCase{.name = "OackEmptyPairKept",
                  .hex = "0006 0000 626c6b00 3100",
                  .opcode = Opcode::Oack,
                  .options = {{"", ""}, {"blk", "1"}}},
        // Malformed: the fields as far as they go, and why.
        ParseCase{"Empty", "", Opcode{0}, Shape::TooShort},
        ParseCase{"OneByte", "00", Opcode{0}, Shape::TooShort},
        ParseCase{"DataWithoutBlock", "0003 00", Opcode::Data, Shape::TooShort},
        ParseCase{"AckWithoutBlock", "0004 00", Opcode::Ack, Shape::TooShort},
        ParseCase{"ErrorWithoutCode", "0005", Opcode::Error, Shape::TooShort},
        ParseCase{"AckWithMore", "0004 0001 00", Opcode::Ack, Shape::TrailingBytes, 1},
        ParseCase{.name = "ErrorMessageWithoutZero",
                  .hex = "0005 0001 6f6f7073",
                  .opcode = Opcode::Error,
                  .shape = Shape::Unterminated,
                  .number = 1,
                  .message = "oops"},
        ParseCase{"ErrorWithoutMessage4Bytes", "0005 0001", Opcode::Error, Shape::Unterminated, 1},
        ParseCase{.name = "ErrorWithMoreAfterZero",
                  .hex = "0005 0002 6100 62",
                  .opcode = Opcode::Error,
                  .shape = Shape::TrailingBytes,
                  .number = 2,
                  .message = "a"},
        ParseCase{"RequestWithoutName", "0001", Opcode::Rrq, Shape::NoMode},
        ParseCase{"RequestWithoutMode", "0002 6100", Opcode::Wrq, Shape::NoMode, 0, "a"},
        ParseCase{"NameWithoutZero", "0001 61", Opcode::Rrq, Shape::Unterminated, 0, "a"},
        ParseCase{"ModeWithoutZero", "0001 6100 6f63", Opcode::Rrq, Shape::Unterminated, 0, "a",
                  "oc"},
        ParseCase{"OptionNameWithoutZero", "0001 6100 6f6300 74", Opcode::Rrq, Shape::Unterminated,
                  0, "a", "oc"},
        ParseCase{"RequestOptionWithoutValue", "0001 6100 6f6300 7400", Opcode::Rrq,
                  Shape::LoneOption, 0, "a", "oc"},
        ParseCase{.name = "OackPairsBeforeALoneName",
                  .hex = "0006 6100 3100 6200",
                  .opcode = Opcode::Oack,
                  .shape = Shape::LoneOption,
                  .options = {{"a", "1"}}},
        ParseCase{"OackValueWithoutZero", "0006 6100 31", Opcode::Oack, Shape::Unterminated},
        ParseCase{"OpcodeZero", "0000", Opcode{0}, Shape::UnknownOpcode},
        ParseCase{"OpcodeSeven", "0007 0001", Opcode{7}, Shape::UnknownOpcode}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
