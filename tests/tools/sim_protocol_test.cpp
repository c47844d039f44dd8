// The simulator's Modbus RTU answers, byte for byte. Expected frames were
// worked out independently of the simulator's CRC code.
#include "sim/DeviceModel.h"
#include "sim/RtuProtocol.h"
#include "sim/SimBytes.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> hex(const std::string& text) {
    std::vector<std::uint8_t> out;
    std::istringstream in(text);
    std::string byte;
    while (in >> byte) {
        out.push_back(static_cast<std::uint8_t>(std::stoul(byte, nullptr, 16)));
    }
    return out;
}

std::string hexText(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    char buf[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", b);
        out += buf;
    }
    if (!out.empty()) {
        out.pop_back();
    }
    return out;
}

struct FrameCase {
    const char* what;
    const char* request;
    const char* answer; // empty: the slave stays silent
};

class RtuFrames : public ::testing::TestWithParam<FrameCase> {};

TEST_P(RtuFrames, AnswerIsExact) {
    const FrameCase& c = GetParam();
    std::uint64_t clock = 5000;
    tksim::DeviceModel model(tksim::ModelOptions{}, [&] { return clock; });
    tksim::RtuProtocol protocol(model, 247);
    const tksim::RtuReply reply = protocol.handle(hex(c.request), tksim::Faults{});
    if (std::string(c.answer).empty()) {
        EXPECT_FALSE(reply.send) << reply.note;
    } else {
        ASSERT_TRUE(reply.send) << reply.note;
        EXPECT_EQ(hexText(reply.frame), c.answer) << reply.note;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, RtuFrames,
    ::testing::Values(
        FrameCase{"read mbtcp.cfg", "F7 43 FE 16 00 00 03 FE A1", "F7 43 03 FF 05 FC 63 F6"},
        FrameCase{"read lan4.cfg", "F7 43 FE 14 00 00 10 BE D4",
                  "F7 43 10 C0 A8 00 63 FF FF FF 00 C0 A8 00 C8 00 00 00 08 E2 20"},
        FrameCase{"read uartm.cfg", "F7 43 FE 17 00 00 06 3F 5E",
                  "F7 43 06 04 01 4A 01 00 B0 70 C9"},
        FrameCase{"read uarts.cfg", "F7 43 FE 18 00 00 05 7C 4B", "F7 43 05 F7 04 01 00 04 D8 DE"},
        FrameCase{"identify type 1-4", "F7 45 00 08 F7 C8 00 00 00 00 00 00 F6 6B",
                  "F7 45 00 08 F7 C8 00 00 54 4B 2D 37 CA CB"},
        FrameCase{"identify type 5-8", "F7 45 00 08 F7 C8 01 00 00 00 00 00 F7 BA",
                  "F7 45 00 08 F7 C8 01 00 37 31 33 54 BD 0E"},
        FrameCase{"identify version", "F7 45 00 08 F7 C8 02 00 00 00 00 00 F7 89",
                  "F7 45 00 08 F7 C8 02 00 31 2E 30 35 4D 6B"},
        FrameCase{"identify serial 1-4", "F7 45 00 08 F7 C8 0A 00 00 00 00 00 F6 C1",
                  "F7 45 00 08 F7 C8 0A 00 32 34 30 37 EC 61"},
        FrameCase{"identify serial 5-8", "F7 45 00 08 F7 C8 0B 00 00 00 00 00 F7 10",
                  "F7 45 00 08 F7 C8 0B 00 30 30 30 31 2D CB"},
        FrameCase{"identify unknown item", "F7 45 00 08 F7 C8 03 00 00 00 00 00 F6 58",
                  "F7 C5 02 12 A3"},
        FrameCase{"write mbtcp.cfg", "F7 44 FE 16 00 00 03 01 02 FD AF 71", "F7 44 00 F3 32"},
        FrameCase{"write with wrong checksum", "F7 44 FE 16 00 00 03 01 02 FE EF 70",
                  "F7 44 01 32 F2"},
        FrameCase{"read unused file number", "F7 43 FE 01 00 00 10 BA D8", "F7 C3 02 11 03"},
        FrameCase{"read ctrl.bin (write only)", "F7 43 FE 03 00 00 17 FA A2", "F7 C3 02 11 03"},
        FrameCase{"read zero bytes", "F7 43 FE 14 00 00 00 BF 18", "F7 C3 03 D0 C3"},
        FrameCase{"read 241 bytes", "F7 43 FE 14 00 00 F1 7E 9C", "F7 C3 03 D0 C3"},
        FrameCase{"read sys.bin block 2", "F7 43 FE 02 00 02 F0 BA 74", "F7 C3 02 11 03"},
        FrameCase{"read without 0xFE", "F7 43 FF 14 00 00 10 83 14", "F7 C3 03 D0 C3"},
        FrameCase{"read request too short", "F7 43 FE 14 00 00 21 7F", "F7 C3 03 D0 C3"},
        FrameCase{"unknown function", "F7 47 01 02 02 14", "F7 C7 01 53 C2"},
        FrameCase{"write read-only sys.bin", "F7 44 FE 02 00 00 03 01 02 FD FB 70",
                  "F7 C4 02 13 33"},
        FrameCase{"write block 1", "F7 44 FE 16 00 01 03 01 02 FD 92 B1", "F7 C4 02 13 33"},
        FrameCase{"write wrong length", "F7 44 FE 16 00 00 02 01 FF D0 2E", "F7 C4 03 D2 F3"},
        FrameCase{"write fewer data than announced", "F7 44 FE 16 00 00 03 01 02 40 6F",
                  "F7 C4 03 D2 F3"},
        FrameCase{"message length mismatch", "F7 45 00 09 F7 C8 00 00 00 00 00 00 FB FB",
                  "F7 C5 03 D3 63"},
        FrameCase{"message without length", "F7 45 86 73", "F7 C5 03 D3 63"},
        FrameCase{"message with half a length", "F7 45 00 F2 A2", "F7 C5 03 D3 63"},
        FrameCase{"message not an identification", "F7 45 00 03 F7 01 00 23 7C", "F7 C5 03 D3 63"},
        FrameCase{"wrong CRC", "F7 43 FE 16 00 00 03 FE A2", ""},
        FrameCase{"other address", "F6 43 FE 14 00 00 10 AE 14", ""},
        FrameCase{"broadcast address", "00 43 FE 14 00 00 10 38 1B", ""},
        FrameCase{"three bytes", "F7 43 FE", ""}, FrameCase{"empty", "", ""}),
    [](const ::testing::TestParamInfo<FrameCase>& p) {
        std::string name = p.param.what;
        for (char& ch : name) {
            if (!std::isalnum(static_cast<unsigned char>(ch))) {
                ch = '_';
            }
        }
        return name;
    });

TEST(RtuCrc, KnownVector) {
    const std::vector<std::uint8_t> abc{'a', 'b', 'c'};
    EXPECT_EQ(tksim::crc16(abc), 0x5749);
}

TEST(RtuBlocks, SysBinComesInTwoBlocksOf240And152) {
    std::uint64_t clock = 7000;
    tksim::DeviceModel model(tksim::ModelOptions{}, [&] { return clock; });
    tksim::RtuProtocol protocol(model, 247);
    std::vector<std::uint8_t> b0{0xF7, 0x43, 0xFE, 0x02, 0x00, 0x00, 240};
    std::vector<std::uint8_t> b1{0xF7, 0x43, 0xFE, 0x02, 0x00, 0x01, 152};
    tksim::appendCrc(b0);
    tksim::appendCrc(b1);
    const auto r0 = protocol.handle(b0, {});
    const auto r1 = protocol.handle(b1, {});
    ASSERT_EQ(r0.frame.size(), 3u + 240 + 2);
    ASSERT_EQ(r1.frame.size(), 3u + 152 + 2);
    std::vector<std::uint8_t> joined(r0.frame.begin() + 3, r0.frame.end() - 2);
    joined.insert(joined.end(), r1.frame.begin() + 3, r1.frame.end() - 2);
    EXPECT_EQ(joined, model.read(tksim::SimFile::Sys));
}

TEST(RtuBlocks, ShortFilesArePaddedToTheAskedLength) {
    std::uint64_t clock = 7000;
    tksim::DeviceModel model(tksim::ModelOptions{}, [&] { return clock; });
    tksim::RtuProtocol protocol(model, 247);
    std::vector<std::uint8_t> req{0xF7, 0x43, 0xFE, 0x06, 0x00, 0x00, 240};
    tksim::appendCrc(req);
    const auto r = protocol.handle(req, {});
    ASSERT_EQ(r.frame.size(), 245u);
    const auto image = model.read(tksim::SimFile::Mmrd);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), r.frame.begin() + 3));
    EXPECT_TRUE(std::all_of(r.frame.begin() + 3 + 16, r.frame.end() - 2,
                            [](std::uint8_t b) { return b == 0; }));
}

struct FaultCase {
    const char* what;
    tksim::Faults faults;
    std::vector<bool> sent;      // per answer, in order
    std::vector<bool> crcIntact; // per answer that was sent
};

class RtuFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(RtuFaults, CountsAnswers) {
    const FaultCase& c = GetParam();
    std::uint64_t clock = 1000;
    tksim::DeviceModel model(tksim::ModelOptions{}, [&] { return clock; });
    tksim::RtuProtocol protocol(model, 247);
    const auto req = hex("F7 43 FE 16 00 00 03 FE A1");
    std::size_t sentIndex = 0;
    for (std::size_t i = 0; i < c.sent.size(); ++i) {
        const auto r = protocol.handle(req, c.faults);
        EXPECT_EQ(r.send, c.sent[i]) << "answer " << i;
        if (r.send) {
            EXPECT_EQ(tksim::crcOk(r.frame), c.crcIntact.at(sentIndex++)) << "answer " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Injected, RtuFaults,
    ::testing::Values(
        FaultCase{"none", {}, {true, true, true}, {true, true, true}},
        FaultCase{"drop_every_2", {.dropEvery = 2}, {true, false, true, false}, {true, true}},
        FaultCase{"drop_every_1", {.dropEvery = 1}, {false, false}, {}},
        FaultCase{"corrupt_every_3",
                  {.corruptCrcEvery = 3},
                  {true, true, true, true},
                  {true, true, false, true}},
        FaultCase{"corrupt_every_1", {.corruptCrcEvery = 1}, {true, true}, {false, false}}),
    [](const ::testing::TestParamInfo<FaultCase>& p) { return std::string(p.param.what); });

TEST(RtuFaultsMore, InjectedExceptionAnswersEveryFunction) {
    std::uint64_t clock = 1000;
    tksim::DeviceModel model(tksim::ModelOptions{}, [&] { return clock; });
    tksim::RtuProtocol protocol(model, 247);
    tksim::Faults f;
    f.exceptionCode = 4;
    EXPECT_EQ(hexText(protocol.handle(hex("F7 43 FE 16 00 00 03 FE A1"), f).frame),
              "F7 C3 04 91 01");
    const auto r = protocol.handle(hex("F7 45 00 08 F7 C8 00 00 00 00 00 00 F6 6B"), f);
    ASSERT_EQ(r.frame.size(), 5u);
    EXPECT_EQ(r.frame[1], 0xC5);
    EXPECT_EQ(r.frame[2], 4);
}

TEST(RtuFaultsMore, RefusedAndIgnoredWritesLeaveTheFileAlone) {
    std::uint64_t clock = 1000;
    tksim::DeviceModel model(tksim::ModelOptions{}, [&] { return clock; });
    tksim::RtuProtocol protocol(model, 247);
    const auto write = hex("F7 44 FE 16 00 00 03 01 02 FD AF 71");
    tksim::Faults refuse;
    refuse.refuseWrites = true;
    EXPECT_EQ(hexText(protocol.handle(write, refuse).frame), "F7 44 01 32 F2");
    tksim::Faults ignore;
    ignore.ignoreWrites = true;
    EXPECT_EQ(hexText(protocol.handle(write, ignore).frame), "F7 44 00 F3 32");
    EXPECT_EQ(hexText(model.read(tksim::SimFile::Mbtcp)), "FF 05 FC");
    EXPECT_EQ(hexText(protocol.handle(write, {}).frame), "F7 44 00 F3 32");
    EXPECT_EQ(hexText(model.read(tksim::SimFile::Mbtcp)), "01 02 FD");
}

TEST(RtuRestart, SilentWhileRestartingThenAnswersAgain) {
    std::uint64_t clock = 1000;
    tksim::ModelOptions options;
    options.restartMs = 2000;
    tksim::DeviceModel model(options, [&] { return clock; });
    tksim::RtuProtocol protocol(model, 247);
    std::vector<std::uint8_t> restart{0xF7, 0x44, 0xFE, 0x03, 0x00, 0x00,
                                      23,   0x00, 0xFF, 0x01, 0x00, 0xFF};
    restart.resize(7 + 22, 0);
    restart.push_back(0x01); // checksum of the restart command
    tksim::appendCrc(restart);
    const auto ack = protocol.handle(restart, {});
    ASSERT_TRUE(ack.send) << ack.note;
    EXPECT_EQ(hexText(ack.frame), "F7 44 00 F3 32");
    const auto read = hex("F7 43 FE 16 00 00 03 FE A1");
    clock += 1999;
    EXPECT_FALSE(protocol.handle(read, {}).send);
    clock += 1;
    EXPECT_TRUE(protocol.handle(read, {}).send);
}

} // namespace
