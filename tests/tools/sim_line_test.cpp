// The simulated master line under a fake clock: wire times, retries,
// answer checks, the counters and utilisation it leaves in the converter's
// files, and the built-in slaves' functions.
#include "sim/LineSlaves.h"
#include "sim/MasterLine.h"
#include "sim/SimBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using tksim::LineOutcome;
using tksim::SimFile;

constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

Bytes withChecksum(Bytes b) {
    b.push_back(tksim::checksumFor(b));
    return b;
}

Bytes frameOf(Bytes b) {
    tksim::appendCrc(b);
    return b;
}

// A far end that only listens; the test puts the answers on the line.
struct ScriptedEnd final : tksim::LineEnd {
    std::vector<Bytes> heard;
    void transmit(std::span<const std::uint8_t> frame, const tksim::LineSettings&,
                  std::uint64_t) override {
        heard.emplace_back(frame.begin(), frame.end());
    }
};

// The line with the model on one fake clock; the model counts milliseconds.
struct Line {
    explicit Line(tksim::LineEnd* end = nullptr, std::size_t queueLimit = 4, unsigned delayMs = 0)
        : slaves(units, delayMs), line(model, end != nullptr ? *end : slaves, queueLimit,
                                       [this](const LineOutcome& o) {
                                           done.push_back({nowUs, o});
                                       },
                                       {}) {}

    struct Done {
        std::uint64_t atUs;
        LineOutcome outcome;
    };

    void setLine(Bytes uartm) {
        ASSERT_EQ(model.write(SimFile::Uartm, withChecksum(std::move(uartm))),
                  tksim::WriteResult::Accepted);
    }
    void submit(std::uint8_t unit, Bytes pdu, std::uint64_t tag = 0) {
        ASSERT_TRUE(line.submit({tag, unit, std::move(pdu)}));
        line.tick(nowUs);
    }
    // Runs what is due at the next event; false when nothing is left.
    bool step() {
        const std::uint64_t next =
            std::min(line.nextEventUs().value_or(kNever), slaves.nextEventUs().value_or(kNever));
        if (next == kNever) {
            return false;
        }
        nowUs = std::max(nowUs, next);
        slaves.deliver(nowUs, line);
        line.tick(nowUs);
        return true;
    }
    // Runs the events in time order until nothing is left or untilUs.
    void run(std::uint64_t untilUs = kNever) {
        for (int guard = 0; guard < 100000; ++guard) {
            const std::uint64_t next = std::min(line.nextEventUs().value_or(kNever),
                                                slaves.nextEventUs().value_or(kNever));
            if (next == kNever || next > untilUs) {
                nowUs = untilUs == kNever ? nowUs : untilUs;
                return;
            }
            nowUs = std::max(nowUs, next);
            slaves.deliver(nowUs, line);
            line.tick(nowUs);
        }
        ADD_FAILURE() << "the line never came to rest";
    }
    Bytes mmrd() { return model.read(SimFile::Mmrd); }

    std::uint64_t nowUs = 0;
    tksim::DeviceModel model{tksim::ModelOptions{}, [this] { return nowUs / 1000; }};
    const Bytes units{1, 2};
    tksim::LineSlaves slaves;
    std::vector<Done> done;
    tksim::MasterLine line;
};

std::uint32_t u32At(const Bytes& b, std::size_t o) {
    return b.at(o) | b.at(o + 1) << 8 | b.at(o + 2) << 16 |
           static_cast<std::uint32_t>(b.at(o + 3)) << 24;
}

TEST(MasterLine, WireTimesFollowRateAndParity) {
    struct Case {
        int baudCode, parityCode;
        std::size_t bytes;
        std::uint64_t wire, silence;
    };
    for (const Case& c : std::vector<Case>{{4, 1, 8, 9167, 4011}, // 9600 Bd, 11 bits
                                           {4, 0, 8, 8334, 3646}, // 9600 Bd, 10 bits
                                           {8, 2, 33, 3152, 335}, // 115200 Bd
                                           {0, 1, 256, 4693334, 64167}}) {
        const tksim::LineSettings s{c.baudCode, c.parityCode, 100, 0};
        EXPECT_EQ(tksim::wireUs(c.bytes, s), c.wire) << c.baudCode;
        EXPECT_EQ(tksim::silenceUs(s), c.silence) << c.baudCode;
    }
}

TEST(MasterLine, ReadTakesTheWireTimeOfBothFramesAndTheirSilences) {
    Line l;
    l.submit(1, {0x03, 0x00, 0x00, 0x00, 0x0A}, 7);
    l.run();
    ASSERT_EQ(l.done.size(), 1u);
    const LineOutcome& o = l.done[0].outcome;
    EXPECT_EQ(o.tag, 7u);
    EXPECT_EQ(o.kind, LineOutcome::Answer);
    Bytes expected{0x03, 20};
    for (int n = 0; n < 10; ++n) {
        expected.push_back(static_cast<std::uint8_t>((1000 + n) >> 8));
        expected.push_back(static_cast<std::uint8_t>((1000 + n) & 0xFF));
    }
    EXPECT_EQ(o.pdu, expected);
    // 9600 Bd even parity: 8 + 25 characters and two silences of 3.5.
    EXPECT_EQ(l.done[0].atUs, 9167u + 4011u + 28646u + 4011u);
    EXPECT_EQ(u32At(l.mmrd(), 0), 1u);
}

TEST(MasterLine, SilentUnitGivesUpAfterTimeoutTimesAttempts) {
    struct Case {
        unsigned retries;
        std::uint16_t timeoutMs;
    };
    for (const Case& c : std::vector<Case>{{0, 330}, {2, 100}, {15, 1}}) {
        Line l;
        l.setLine({4, 1, static_cast<std::uint8_t>(c.timeoutMs & 0xFF),
                   static_cast<std::uint8_t>(c.timeoutMs >> 8),
                   static_cast<std::uint8_t>(c.retries)});
        l.submit(9, {0x03, 0x00, 0x00, 0x00, 0x01});
        l.run();
        ASSERT_EQ(l.done.size(), 1u) << c.retries;
        EXPECT_EQ(l.done[0].outcome.kind, LineOutcome::NoAnswer);
        // Each attempt: the request on the wire, then the timeout; a retry
        // waits at least for the closing silence.
        const std::uint64_t timeout = c.timeoutMs * 1000u;
        const std::uint64_t retry = 9167 + std::max<std::uint64_t>(timeout, 4011);
        EXPECT_EQ(l.done[0].atUs, retry * c.retries + 9167 + timeout) << c.retries;
        const Bytes m = l.mmrd();
        EXPECT_EQ(u32At(m, 0), c.retries + 1);
        EXPECT_EQ(u32At(m, 4), c.retries + 1);
        EXPECT_EQ(u32At(m, 8), 0u);
    }
}

TEST(MasterLine, BroadcastWritesEverySlaveAndWaitsForNoAnswer) {
    Line l;
    l.submit(0, {0x06, 0x00, 0x05, 0xAB, 0xCD});
    l.submit(2, {0x03, 0x00, 0x05, 0x00, 0x01});
    l.run();
    ASSERT_EQ(l.done.size(), 2u);
    EXPECT_EQ(l.done[0].outcome.kind, LineOutcome::Broadcast);
    EXPECT_EQ(l.done[0].atUs, 0u);
    EXPECT_EQ(l.done[1].outcome.pdu, (Bytes{0x03, 0x02, 0xAB, 0xCD}));
    EXPECT_EQ(l.slaves.find(1)->holding[5], 0xABCD);
    // The read starts after the broadcast's frame and silence.
    EXPECT_EQ(l.done[1].atUs, 2 * (9167u + 4011u) + 8021u + 4011u);
}

// The answer's first byte, after the closing silence and the delay, must
// come within the timeout after the request.
TEST(MasterLine, SlaveReplyDelayCountsAgainstTheTimeout) {
    struct Case {
        unsigned delayMs;
        LineOutcome::Kind kind;
        std::uint64_t atUs;
    };
    for (const Case& c :
         std::vector<Case>{{50, LineOutcome::Answer, 9167 + 4011 + 50000 + 8021 + 4011},
                           {325, LineOutcome::Answer, 9167 + 4011 + 325000 + 8021 + 4011},
                           {326, LineOutcome::NoAnswer, 9167 + 330000}}) {
        Line l(nullptr, 4, c.delayMs);
        l.submit(1, {0x03, 0x00, 0x00, 0x00, 0x01});
        l.run();
        ASSERT_EQ(l.done.size(), 1u) << c.delayMs;
        EXPECT_EQ(l.done[0].outcome.kind, c.kind) << c.delayMs;
        EXPECT_EQ(l.done[0].atUs, c.atUs) << c.delayMs;
    }
}

TEST(MasterLine, UnusableAnswerIsAnErrorAndRetried) {
    const Bytes good = frameOf({0x05, 0x03, 0x02, 0x12, 0x34});
    struct Case {
        const char* what;
        Bytes bad;
    };
    for (const Case& c :
         std::vector<Case>{{"wrong CRC",
                            [&] {
                                Bytes b = good;
                                b.back() ^= 1;
                                return b;
                            }()},
                           {"wrong unit", frameOf({0x06, 0x03, 0x02, 0x12, 0x34})},
                           {"wrong function", frameOf({0x05, 0x04, 0x02, 0x12, 0x34})},
                           {"short of its byte count", frameOf({0x05, 0x03, 0x02, 0x12})},
                           {"long exception", frameOf({0x05, 0x83, 0x02, 0x00})},
                           {"fragment", {0x05, 0x03}},
                           {"flood", Bytes(300, 0x55)}}) {
        ScriptedEnd end;
        Line l(&end);
        l.setLine({4, 1, 0x64, 0x00, 1}); // 100 ms, one retry
        l.submit(5, {0x03, 0x00, 0x00, 0x00, 0x01});
        l.line.receive(c.bad, l.nowUs);
        while (end.heard.size() < 2 && l.step()) {
        }
        ASSERT_EQ(end.heard.size(), 2u) << c.what;
        EXPECT_EQ(end.heard[1], end.heard[0]) << c.what;
        l.line.receive(good, l.nowUs);
        l.run();
        ASSERT_EQ(l.done.size(), 1u) << c.what;
        EXPECT_EQ(l.done[0].outcome.pdu, (Bytes{0x03, 0x02, 0x12, 0x34})) << c.what;
        const Bytes m = l.mmrd();
        EXPECT_EQ(u32At(m, 0), 2u) << c.what;
        EXPECT_EQ(u32At(m, 4), 1u) << c.what;
    }
}

TEST(MasterLine, NewLineSettingsCountFromTheNextRequest) {
    Line l;
    l.submit(1, {0x03, 0x00, 0x00, 0x00, 0x01});
    l.setLine({8, 0, 0x4A, 0x01, 0}); // 115200 Bd, no parity, while on the wire
    l.run();
    ASSERT_EQ(l.done.size(), 1u);
    EXPECT_EQ(l.done[0].atUs, 9167u + 4011u + 8021u + 4011u);
    const std::uint64_t start = l.nowUs;
    l.submit(1, {0x03, 0x00, 0x00, 0x00, 0x01});
    l.run();
    ASSERT_EQ(l.done.size(), 2u);
    EXPECT_EQ(l.done[1].atUs - start, 695u + 304u + 608u + 304u);
}

// The loop that drives the line wakes a little late; work that was waiting
// still starts when the line fell free, work that came later when it came.
TEST(MasterLine, LateTicksNeitherStretchNorBackdateTheLine) {
    Line l;
    const Bytes read1{0x03, 0x00, 0x00, 0x00, 0x01};
    l.submit(1, read1);
    ASSERT_TRUE(l.line.submit({0, 2, read1}));
    for (int guard = 0; guard < 100 && l.done.size() < 2; ++guard) {
        const std::uint64_t next = std::min(l.line.nextEventUs().value_or(kNever),
                                            l.slaves.nextEventUs().value_or(kNever));
        l.nowUs = next + 700;
        l.slaves.deliver(l.nowUs, l.line);
        l.line.tick(l.nowUs);
    }
    ASSERT_EQ(l.done.size(), 2u);
    const std::uint64_t exchange = 9167 + 4011 + 8021 + 4011;
    EXPECT_EQ(l.done[1].atUs, 2 * exchange + 700);
    l.nowUs += 5000;
    l.submit(1, read1);
    l.run();
    EXPECT_EQ(l.done[2].atUs, 2 * exchange + 700 + 5000 + exchange);
}

struct SlaveCase {
    const char* what;
    Bytes request;
    Bytes answer;
};

class LineSlaveFunctions : public ::testing::TestWithParam<SlaveCase> {};

TEST_P(LineSlaveFunctions, AnswerAsTheStandardSays) {
    tksim::LineSlave slave(2);
    EXPECT_EQ(slave.handle(GetParam().request), GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineSlaveFunctions,
    ::testing::Values(
        SlaveCase{"coils", {0x01, 0x00, 0x01, 0x00, 0x0A}, {0x01, 0x02, 0x55, 0x01}},
        SlaveCase{"discrete", {0x02, 0x00, 0x00, 0x00, 0x07}, {0x02, 0x01, 0x49}},
        SlaveCase{"holding", {0x03, 0x03, 0xE7, 0x00, 0x01}, {0x03, 0x02, 0x0B, 0xB7}},
        SlaveCase{"input", {0x04, 0x00, 0x10, 0x00, 0x02}, {0x04, 0x04, 0x00, 0x10, 0x00, 0x11}},
        SlaveCase{"write_coil", {0x05, 0x00, 0x02, 0xFF, 0x00}, {0x05, 0x00, 0x02, 0xFF, 0x00}},
        SlaveCase{"write_register", {0x06, 0x00, 0x02, 0x12, 0x34}, {0x06, 0x00, 0x02, 0x12, 0x34}},
        SlaveCase{"write_coils",
                  {0x0F, 0x00, 0x00, 0x00, 0x0A, 0x02, 0xFF, 0x03},
                  {0x0F, 0x00, 0x00, 0x00, 0x0A}},
        SlaveCase{"write_registers",
                  {0x10, 0x03, 0xE6, 0x00, 0x02, 0x04, 0, 1, 0, 2},
                  {0x10, 0x03, 0xE6, 0x00, 0x02}},
        SlaveCase{"unknown_function", {0x07}, {0x87, 0x01}},
        SlaveCase{"past_the_table", {0x03, 0x03, 0xE7, 0x00, 0x02}, {0x83, 0x02}},
        SlaveCase{"no_quantity", {0x04, 0x00, 0x00, 0x00, 0x00}, {0x84, 0x03}},
        SlaveCase{"too_many_registers", {0x03, 0x00, 0x00, 0x00, 0x7E}, {0x83, 0x03}},
        SlaveCase{"coil_value", {0x05, 0x00, 0x00, 0x12, 0x34}, {0x85, 0x03}},
        SlaveCase{"byte_count", {0x10, 0x00, 0x00, 0x00, 0x02, 0x03, 0, 1, 0}, {0x90, 0x03}},
        SlaveCase{"truncated", {0x06, 0x00, 0x02}, {0x86, 0x03}}),
    [](const ::testing::TestParamInfo<SlaveCase>& p) { return std::string(p.param.what); });

TEST(LineSlave, WritesAreReadBack) {
    tksim::LineSlave slave(1);
    slave.handle(Bytes{0x0F, 0x00, 0x00, 0x00, 0x0A, 0x02, 0xFF, 0x03});
    slave.handle(Bytes{0x10, 0x03, 0xE6, 0x00, 0x02, 0x04, 0, 1, 0, 2});
    EXPECT_EQ(slave.handle(Bytes{0x01, 0x00, 0x00, 0x00, 0x0A}), (Bytes{0x01, 0x02, 0xFF, 0x03}));
    EXPECT_EQ(slave.handle(Bytes{0x03, 0x03, 0xE6, 0x00, 0x02}), (Bytes{0x03, 0x04, 0, 1, 0, 2}));
}

} // namespace
