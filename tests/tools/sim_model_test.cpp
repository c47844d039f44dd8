// The simulated converter's files: layouts, factory values, run time,
// master line statistics, utilisation ring, writes, restart.
#include "sim/DeviceModel.h"
#include "sim/SimBytes.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

using tksim::DeviceModel;
using tksim::SimFile;
using tksim::WriteResult;
using Bytes = std::vector<std::uint8_t>;

std::uint32_t u32At(const Bytes& b, std::size_t o) {
    return std::uint32_t{b.at(o)} | std::uint32_t{b.at(o + 1)} << 8 |
           std::uint32_t{b.at(o + 2)} << 16 | std::uint32_t{b.at(o + 3)} << 24;
}

float f32At(const Bytes& b, std::size_t o) {
    return std::bit_cast<float>(u32At(b, o));
}

std::string textAt(const Bytes& b, std::size_t o, std::size_t n) {
    return std::string(b.begin() + static_cast<std::ptrdiff_t>(o),
                       b.begin() + static_cast<std::ptrdiff_t>(o + n));
}

Bytes sliceOf(const Bytes& b, std::size_t o, std::size_t n) {
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(o),
                 b.begin() + static_cast<std::ptrdiff_t>(o + n));
}

Bytes ctrlCommand(std::uint8_t command, Bytes params) {
    Bytes image{command};
    params.resize(21, 0);
    image.insert(image.end(), params.begin(), params.end());
    image.push_back(tksim::checksumFor(image));
    return image;
}

struct ModelFixture : ::testing::Test {
    std::uint64_t clock = 0;
    tksim::ModelOptions options;
    std::unique_ptr<DeviceModel> model;

    void make() {
        model = std::make_unique<DeviceModel>(options, [this] { return clock; });
    }
    void SetUp() override { make(); }
};

struct FactoryCase {
    SimFile file;
    Bytes image;
};

class FactoryImages : public ::testing::TestWithParam<FactoryCase> {};

TEST_P(FactoryImages, MatchTheConverterDefaults) {
    std::uint64_t clock = 0;
    DeviceModel model(tksim::ModelOptions{}, [&] { return clock; });
    EXPECT_EQ(model.read(GetParam().file), GetParam().image);
}

INSTANTIATE_TEST_SUITE_P(
    Cfg, FactoryImages,
    ::testing::Values(FactoryCase{SimFile::Lan4,
                                  {0xC0, 0xA8, 0x00, 0x63, 0xFF, 0xFF, 0xFF, 0x00, 0xC0, 0xA8, 0x00,
                                   0xC8, 0x00, 0x00, 0x00, 0x08}},
                      FactoryCase{SimFile::Mbtcp, {0xFF, 0x05, 0xFC}},
                      FactoryCase{SimFile::Uarts, {0xF7, 0x04, 0x01, 0x00, 0x04}},
                      FactoryCase{SimFile::Uartm, {0x04, 0x01, 0x4A, 0x01, 0x00, 0xB0}}));

TEST_F(ModelFixture, InfoTextSplitsIntoTypeVersionAndSerial) {
    const Bytes info = model->read(SimFile::Info);
    EXPECT_EQ(std::string(info.begin(), info.end()), "TK-7713T (v.1.05 sn.24070001)\r\n");
    // 31 bytes: the whole text fits the single block read over a serial port.
    EXPECT_EQ(info.size(), 31u);
}

TEST_F(ModelFixture, IdentityItemsArePaddedToFourCharacters) {
    options.identity = {"TK-77", "2", "123"};
    make();
    struct Item {
        std::uint8_t item;
        std::string chars;
    };
    for (const Item& c :
         std::vector<Item>{{0, "TK-7"}, {1, "7   "}, {2, "2   "}, {10, "123 "}, {11, "    "}}) {
        std::array<char, 4> out{};
        ASSERT_TRUE(model->identityItem(c.item, out)) << int(c.item);
        EXPECT_EQ(std::string(out.begin(), out.end()), c.chars) << int(c.item);
    }
    std::array<char, 4> out{};
    for (std::uint8_t unknown : {3, 9, 12, 255}) {
        EXPECT_FALSE(model->identityItem(unknown, out)) << int(unknown);
    }
}

TEST_F(ModelFixture, AnotherReportedIdentityChangesInfoAndItems) {
    model->setIdentity({"TK-7713T", "1.10", "00000042"});
    const Bytes info = model->read(SimFile::Info);
    EXPECT_EQ(std::string(info.begin(), info.end()), "TK-7713T (v.1.10 sn.00000042)\r\n");
    std::array<char, 4> out{};
    ASSERT_TRUE(model->identityItem(2, out));
    EXPECT_EQ(std::string(out.begin(), out.end()), "1.10");
}

TEST_F(ModelFixture, SysBinFieldsSitAtTheirOffsets) {
    clock = 123456789;
    const Bytes sys = model->read(SimFile::Sys);
    ASSERT_EQ(sys.size(), 392u);
    EXPECT_EQ(textAt(sys, 0, 24), std::string("TK-7713T FW 1.05") + std::string(8, '\0'));
    EXPECT_EQ(textAt(sys, 24, 15) + textAt(sys, 42, 6), "TK-7713T loader v1.02");
    EXPECT_EQ(textAt(sys, 48, 8), "24070001");
    EXPECT_EQ(textAt(sys, 82, 20).substr(0, 17), "tk7713t_1.05.hbin");
    EXPECT_EQ(sliceOf(sys, 120, 6), (Bytes{0x02, 0x54, 0x4B, 0x77, 0x13, 0x01}));
    EXPECT_EQ(sliceOf(sys, 128, 4), (Bytes{0xC0, 0xA8, 0x00, 0x63}));
    EXPECT_EQ(sliceOf(sys, 132, 4), (Bytes{0xFF, 0xFF, 0xFF, 0x00}));
    EXPECT_EQ(sliceOf(sys, 136, 4), (Bytes{0xC0, 0xA8, 0x00, 0xC8}));
    EXPECT_EQ(u32At(sys, 140), 0u);
    EXPECT_EQ(sliceOf(sys, 144, 2), (Bytes{0xFE, 0x80}));
    EXPECT_EQ(u32At(sys, 228), 123456789u);
    EXPECT_EQ(u32At(sys, 232), 0u);
    EXPECT_EQ(u32At(sys, 236), 12345678u);
    EXPECT_EQ(u32At(sys, 240), 123456u);
    EXPECT_EQ(u32At(sys, 280), 0u); // no restart yet
    struct Single {
        std::size_t offset;
        float lo, hi;
    };
    for (const Single& s : std::vector<Single>{{292, 30, 60},
                                               {296, 30, 60},
                                               {300, 30, 60},
                                               {324, 15, 50},
                                               {356, 20, 30},
                                               {360, 20, 30},
                                               {364, 20, 30},
                                               {368, 20, 30}}) {
        const float v = f32At(sys, s.offset);
        EXPECT_TRUE(std::isfinite(v) && v >= s.lo && v <= s.hi)
            << "offset " << s.offset << " value " << v;
    }
    EXPECT_LE(f32At(sys, 296), f32At(sys, 292));
    EXPECT_GE(f32At(sys, 300), f32At(sys, 292));
}

TEST_F(ModelFixture, RunTimeBeyond32BitsOfMillisecondsCarriesIntoTheHighWord) {
    options.initialUptimeS = 5000000; // 5e9 ms = 0x1_2A05_F200
    make();
    const Bytes sys = model->read(SimFile::Sys);
    EXPECT_EQ(u32At(sys, 228), 0x2A05F200u);
    EXPECT_EQ(u32At(sys, 232), 1u);
    EXPECT_EQ(u32At(sys, 236), 500000000u);
    EXPECT_EQ(u32At(sys, 240), 5000000u);
    // A device that has run this long has a full history.
    const Bytes ring = model->read(SimFile::Mmrgv);
    EXPECT_EQ(u32At(ring, 0), 180u);
}

TEST_F(ModelFixture, RingGainsOneSamplePerSecondAndWraps) {
    options.masterLoad = 42;
    make();
    struct Step {
        std::uint64_t atMs;
        std::uint32_t count, index;
    };
    for (const Step& s : std::vector<Step>{{0, 0, 0},
                                           {999, 0, 0},
                                           {1000, 1, 1},
                                           {2500, 2, 2},
                                           {179000, 179, 179},
                                           {180000, 180, 0},
                                           {181999, 180, 1},
                                           {400000, 180, 400 % 180}}) {
        clock = s.atMs;
        const Bytes ring = model->read(SimFile::Mmrgv);
        ASSERT_EQ(ring.size(), 192u);
        EXPECT_EQ(u32At(ring, 0), s.count) << s.atMs;
        EXPECT_EQ(u32At(ring, 4), 180u) << s.atMs;
        EXPECT_EQ(u32At(ring, 8), s.index) << s.atMs;
    }
    const Bytes ring = model->read(SimFile::Mmrgv);
    EXPECT_TRUE(std::all_of(ring.begin() + 12, ring.end(), [](std::uint8_t b) { return b == 42; }));
}

TEST_F(ModelFixture, WithoutTrafficEveryFigureIsZero) {
    clock = 600000;
    const Bytes ring = model->read(SimFile::Mmrgv);
    EXPECT_EQ(u32At(ring, 0), 180u);
    EXPECT_TRUE(std::all_of(ring.begin() + 12, ring.end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(model->read(SimFile::Mmrd), Bytes(16, 0));
}

TEST_F(ModelFixture, CountedTrafficFillsCountersAndRingPerSecond) {
    // Second 0: 0.5 s and 0.1 s busy, one message; second 1: 0.3 s, one
    // message; second 2: 0.004 s (rounds to 0 %), then nothing.
    model->lineMessage(100000);
    model->lineBusy(100000, 600000);
    model->lineBusy(900000, 1300000);
    model->lineMessage(1200000);
    model->lineBusy(2000000, 2004000);
    model->lineError();
    model->lineError();
    model->lineNegative();
    struct Step {
        std::uint64_t atMs;
        Bytes mmrd;
        Bytes ring; // the samples stored so far, oldest first
    };
    for (const Step& s : std::vector<Step>{
             {999, {2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}, {}},
             {1000, {2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 60, 0}, {60}},
             {2000, {2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 30, 0}, {60, 30}},
             {4000, {2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}, {60, 30, 0, 0}}}) {
        clock = s.atMs;
        EXPECT_EQ(model->read(SimFile::Mmrd), s.mmrd) << s.atMs;
        const Bytes ring = model->read(SimFile::Mmrgv);
        EXPECT_EQ(u32At(ring, 0), s.ring.size()) << s.atMs;
        EXPECT_EQ(sliceOf(ring, 12, s.ring.size()), s.ring) << s.atMs;
    }
    // A clear zeroes the totals; the last second's figures stay.
    model->lineMessage(4100000);
    model->lineBusy(4000000, 5000000);
    clock = 5000;
    model->clearStatistics();
    EXPECT_EQ(model->read(SimFile::Mmrd),
              (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 100, 0}));
    // A second already stored takes no more time.
    model->lineBusy(4500000, 4900000);
    clock = 6000;
    EXPECT_EQ(model->read(SimFile::Mmrgv)[12 + 4], 100);
    EXPECT_EQ(model->read(SimFile::Mmrgv)[12 + 5], 0);
}

TEST_F(ModelFixture, FixedLoadIgnoresCountedTraffic) {
    options.masterLoad = 0;
    make();
    model->lineMessage(0);
    model->lineBusy(0, 900000);
    model->lineError();
    model->lineNegative();
    clock = 1000;
    EXPECT_EQ(model->read(SimFile::Mmrd), Bytes(16, 0));
    EXPECT_EQ(model->read(SimFile::Mmrgv)[12], 0);
}

TEST_F(ModelFixture, LineAndServerSettingsFollowTheirFiles) {
    EXPECT_EQ(model->lineSettings().baudCode, 4);
    EXPECT_EQ(model->lineSettings().timeoutMs, 330u);
    ASSERT_EQ(model->write(SimFile::Uartm, Bytes{0x08, 0x00, 0xE8, 0x03, 0x0F, 0xFE}),
              WriteResult::Accepted);
    const tksim::LineSettings line = model->lineSettings();
    EXPECT_EQ(line.baudCode, 8);
    EXPECT_EQ(line.parityCode, 0);
    EXPECT_EQ(line.timeoutMs, 1000u);
    EXPECT_EQ(line.retries, 15u);
    ASSERT_EQ(model->write(SimFile::Mbtcp, Bytes{0x11, 0x3C, 0xB3}), WriteResult::Accepted);
    EXPECT_EQ(model->tcpSettings().alternativeUnit, 0x11);
    EXPECT_EQ(model->tcpSettings().idleTimeoutS, 60u);
}

struct LoadCase {
    int load;
    std::uint64_t atMs;
    std::uint32_t messages, errors, negatives;
    std::uint16_t perSecond;
    std::uint8_t utilisation;
};

class MasterCounters : public ::testing::TestWithParam<LoadCase> {};

TEST_P(MasterCounters, GrowWithTheLineLoad) {
    const LoadCase& c = GetParam();
    std::uint64_t clock = 0;
    tksim::ModelOptions options;
    options.masterLoad = c.load;
    DeviceModel model(options, [&] { return clock; });
    clock = c.atMs;
    const Bytes m = model.read(SimFile::Mmrd);
    ASSERT_EQ(m.size(), 16u);
    EXPECT_EQ(u32At(m, 0), c.messages);
    EXPECT_EQ(u32At(m, 4), c.errors);
    EXPECT_EQ(u32At(m, 8), c.negatives);
    EXPECT_EQ(m[12] | m[13] << 8, c.perSecond);
    EXPECT_EQ(m[14], c.utilisation);
    EXPECT_EQ(m[15], 0);
}

// 9600 Bd with parity: 872 characters a second, 40 per exchange: 21 a second at 100 %.
INSTANTIATE_TEST_SUITE_P(Loads, MasterCounters,
                         ::testing::Values(LoadCase{0, 60000, 0, 0, 0, 0, 0},
                                           LoadCase{100, 500, 10, 0, 0, 0, 0},
                                           LoadCase{100, 10000, 210, 2, 5, 21, 100},
                                           LoadCase{100, 10500, 220, 2, 5, 21, 100},
                                           LoadCase{50, 100000, 1000, 10, 24, 10, 50}));

TEST_F(ModelFixture, ClearStatisticsStartsTheCountAgain) {
    options.masterLoad = 100;
    make();
    clock = 20000;
    EXPECT_EQ(model->masterStats().messages, 420u);
    EXPECT_EQ(model->write(SimFile::Ctrl, ctrlCommand(1, {0x01})), WriteResult::Accepted);
    EXPECT_EQ(model->masterStats().messages, 0u);
    clock = 30000;
    EXPECT_EQ(model->masterStats().messages, 210u);
    EXPECT_EQ(model->restartCount(), 0u);
}

TEST_F(ModelFixture, RestartZeroesRunTimeAndIsUnreachableForItsTime) {
    options.masterLoad = 100;
    options.restartMs = 2000;
    make();
    clock = 50000;
    ASSERT_TRUE(model->reachable());
    EXPECT_EQ(model->write(SimFile::Ctrl, ctrlCommand(0, {0xFF, 0x01, 0x00, 0xFF})),
              WriteResult::Accepted);
    EXPECT_FALSE(model->reachable());
    EXPECT_EQ(model->uptimeMs(), 0u);
    EXPECT_EQ(model->masterStats().messages, 0u);
    clock = 51999;
    EXPECT_FALSE(model->reachable());
    clock = 52000;
    EXPECT_TRUE(model->reachable());
    const Bytes sys = model->read(SimFile::Sys);
    EXPECT_EQ(u32At(sys, 240), 2u);
    EXPECT_EQ(u32At(sys, 280), 1u);
    const Bytes ring = model->read(SimFile::Mmrgv);
    EXPECT_EQ(u32At(ring, 0), 2u);
    EXPECT_EQ(u32At(ring, 8), 2u);
}

TEST_F(ModelFixture, NewAddressIsInForceOnlyAfterARestart) {
    Bytes lan4{10, 0, 0, 7, 255, 255, 0, 0, 10, 0, 0, 1, 1, 0, 0};
    lan4.push_back(tksim::checksumFor(lan4));
    ASSERT_EQ(model->write(SimFile::Lan4, lan4), WriteResult::Accepted);
    EXPECT_EQ(model->read(SimFile::Lan4), lan4);
    EXPECT_EQ(sliceOf(model->read(SimFile::Sys), 128, 4), (Bytes{0xC0, 0xA8, 0x00, 0x63}));
    model->restart();
    const Bytes sys = model->read(SimFile::Sys);
    EXPECT_EQ(sliceOf(sys, 128, 4), (Bytes{10, 0, 0, 7}));
    EXPECT_EQ(sliceOf(sys, 132, 4), (Bytes{255, 255, 0, 0}));
    EXPECT_EQ(sliceOf(sys, 136, 4), (Bytes{10, 0, 0, 1}));
    EXPECT_EQ(u32At(sys, 140), 1u);
}

struct WriteCase {
    const char* what;
    SimFile file;
    Bytes image;
    WriteResult result;
};

class Writes : public ::testing::TestWithParam<WriteCase> {};

TEST_P(Writes, AreCheckedBeforeTakenOver) {
    const WriteCase& c = GetParam();
    std::uint64_t clock = 0;
    DeviceModel model(tksim::ModelOptions{}, [&] { return clock; });
    const Bytes before = model.read(c.file);
    EXPECT_EQ(model.write(c.file, c.image), c.result);
    if (c.result == WriteResult::Accepted && c.file != SimFile::Ctrl) {
        EXPECT_EQ(model.read(c.file), c.image);
    } else {
        EXPECT_EQ(model.read(c.file), before);
    }
    EXPECT_TRUE(model.reachable());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Writes,
    ::testing::Values(
        WriteCase{"mbtcp_good", SimFile::Mbtcp, {0x01, 0x02, 0xFD}, WriteResult::Accepted},
        WriteCase{
            "mbtcp_bad_checksum", SimFile::Mbtcp, {0x01, 0x02, 0xFE}, WriteResult::BadChecksum},
        WriteCase{
            "mbtcp_too_long", SimFile::Mbtcp, {0x01, 0x02, 0xFD, 0x00}, WriteResult::BadLength},
        WriteCase{
            "uarts_good", SimFile::Uarts, {0x05, 0x08, 0x00, 0x01, 0xF2}, WriteResult::Accepted},
        WriteCase{"uartm_good",
                  SimFile::Uartm,
                  {0x08, 0x02, 0xE8, 0x03, 0x0F, 0xFC},
                  WriteResult::Accepted},
        WriteCase{
            "uartm_short", SimFile::Uartm, {0x08, 0x02, 0xE8, 0x03, 0x0D}, WriteResult::BadLength},
        WriteCase{"lan4_reserved_kept",
                  SimFile::Lan4,
                  {0xC0, 0xA8, 0x00, 0x63, 0xFF, 0xFF, 0xFF, 0x00, 0xC0, 0xA8, 0x00, 0xC8, 0x00,
                   0x01, 0x02, 0x05},
                  WriteResult::Accepted},
        WriteCase{"sys_read_only", SimFile::Sys, {0x00}, WriteResult::NotWritable},
        WriteCase{"info_read_only", SimFile::Info, {0x00}, WriteResult::NotWritable},
        WriteCase{"ctrl_unknown_command", SimFile::Ctrl, ctrlCommand(7, {}),
                  WriteResult::UnknownCommand},
        WriteCase{"ctrl_bad_checksum", SimFile::Ctrl,
                  [] {
                      Bytes b = ctrlCommand(1, {1});
                      b.back() ^= 1;
                      return b;
                  }(),
                  WriteResult::BadChecksum},
        WriteCase{"empty", SimFile::Lan4, {}, WriteResult::BadLength}),
    [](const ::testing::TestParamInfo<WriteCase>& p) { return std::string(p.param.what); });

TEST_F(ModelFixture, UncommittedWriteIsCheckedButChangesNothing) {
    EXPECT_EQ(model->write(SimFile::Mbtcp, Bytes{0x01, 0x02, 0xFE}, false),
              WriteResult::BadChecksum);
    EXPECT_EQ(model->write(SimFile::Mbtcp, Bytes{0x01, 0x02, 0xFD}, false), WriteResult::Accepted);
    EXPECT_EQ(model->read(SimFile::Mbtcp), (Bytes{0xFF, 0x05, 0xFC}));
    EXPECT_EQ(model->write(SimFile::Ctrl, ctrlCommand(0, {0xFF, 0x01, 0x00, 0xFF}), false),
              WriteResult::Accepted);
    EXPECT_TRUE(model->reachable());
    EXPECT_EQ(model->restartCount(), 0u);
}

TEST(Catalogue, NamesAndNumbers) {
    struct Entry {
        const char* name;
        int number;
        bool readable, writable;
    };
    const std::vector<Entry> expected{{"info.txt", 0, true, false},  {"sys.bin", 2, true, false},
                                      {"ctrl.bin", 3, false, true},  {"mmrd.bin", 6, true, false},
                                      {"mmrgv.bin", 7, true, false}, {"lan4.cfg", 20, true, true},
                                      {"mbtcp.cfg", 22, true, true}, {"uartm.cfg", 23, true, true},
                                      {"uarts.cfg", 24, true, true}};
    for (const Entry& e : expected) {
        const tksim::FileInfo* byName = tksim::fileByName(e.name);
        ASSERT_NE(byName, nullptr) << e.name;
        EXPECT_EQ(byName, tksim::fileByNumber(static_cast<std::uint8_t>(e.number))) << e.name;
        EXPECT_EQ(byName->readable, e.readable) << e.name;
        EXPECT_EQ(byName->writable, e.writable) << e.name;
    }
    for (int unused : {1, 4, 5, 21, 25, 255}) {
        EXPECT_EQ(tksim::fileByNumber(static_cast<std::uint8_t>(unused)), nullptr) << unused;
    }
    for (const char* name : {"INFO.TXT", "info.txt ", "", "sys", "./sys.bin"}) {
        EXPECT_EQ(tksim::fileByName(name), nullptr) << name;
    }
}

} // namespace
