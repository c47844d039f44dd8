#include "link/M_ModbusRTU.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/SerialPort.h"
#include "support/FakeClock.h"
#include "support/PtyPair.h"
#include "support/ScriptedSerialPort.h"
#include "support/Wine.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using support::FakeClock;
using support::ScriptedSerialPort;

Bytes hex(const std::string& text) {
    Bytes out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == ' ') {
            ++pos;
            continue;
        }
        out.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(pos, 2), nullptr, 16)));
        pos += 2;
    }
    return out;
}

Bytes withCrc(Bytes frame) {
    const std::uint16_t crc = MBRTU_CRC16(frame.data(), static_cast<std::uint32_t>(frame.size()));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

ScriptedSerialPort::Answer at(std::uint32_t ms, Bytes bytes) {
    return {{ms, std::move(bytes)}};
}

// --- CRC, baud rates, silence limits ----------------------------------------

TEST(MBRTU_CRC16, MatchesHexVectors) {
    struct Case {
        Bytes data;
        std::uint16_t crc;
    };
    const Case cases[] = {
        {{'a', 'b', 'c'}, 0x5749},
        {{'1', '2', '3', '4', '5', '6', '7', '8', '9'}, 0x4B37},
        {hex("01 03 00 00 00 01"), 0x0A84},
        {hex("01 03 00 00 00 0A"), 0xCDC5},
        {{}, 0xFFFF},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MBRTU_CRC16(c.data.data(), static_cast<std::uint32_t>(c.data.size())), c.crc);
    }
}

TEST(MBRTU_CRC16, HandBuiltFramesCheckOut) {
    // The CRC of a whole frame including its own CRC, low byte first, is 0.
    for (const char* frame : {"01 43 FE 17 00 00 06 A9 51", "01 C3 02 F1 31", "01 44 01 D2 C0",
                              "01 45 00 08 01 C8 00 00 00 00 00 00 32 0C", "61 62 63 49 57"}) {
        const Bytes b = hex(frame);
        EXPECT_EQ(MBRTU_CRC16(b.data(), static_cast<std::uint32_t>(b.size())), 0) << frame;
    }
}

TEST(MBRTU_Rychlost, MapsCodesAndFallsBackTo9600) {
    const std::pair<std::int32_t, std::int32_t> cases[] = {
        {0, 600},   {1, 1200},  {2, 2400},   {3, 4800}, {4, 9600},  {5, 19200},
        {6, 38400}, {7, 57600}, {8, 115200}, {9, 9600}, {-1, 9600}, {1000, 9600},
    };
    for (const auto& [code, rate] : cases) {
        EXPECT_EQ(MBRTU_Rychlost(code), rate) << code;
    }
}

// --- Time base ---------------------------------------------------------------

TEST(MBRTU_Time, CasMsCountsFromLocalMidnight) {
    FakeClock clock;
    clock.set(13, 45, 30, 250);
    EXPECT_EQ(MBRTU_CasMs(), 49530250u);
    clock.set(0, 0, 0, 0);
    EXPECT_EQ(MBRTU_CasMs(), 0u);
}

TEST(MBRTU_Time, UplynuloMsWrapsAtMidnightAndCapsLeapSecond) {
    struct Case {
        std::uint32_t t0;
        std::uint32_t now; // ms since midnight; past the day's end is the leap second
        std::uint32_t elapsed;
    };
    const Case cases[] = {
        {1000, 1500, 500},       {86399990, 5, 15},
        {86399999, 0, 1},        {86399000, 86400500, 1000}, // 23:59:60.500 counts as the day's end
        {0, 86400999, 86400000},
    };
    FakeClock clock;
    for (const auto& c : cases) {
        clock.setMs(c.now);
        EXPECT_EQ(MBRTU_UplynuloMs(c.t0), c.elapsed) << c.t0 << " -> " << c.now;
    }
}

// --- Opening and closing -----------------------------------------------------

TEST(MBRTU_Init, MissingPortReturns1AndKeepsEarlierSettings) {
    FakeClock clock;
    ScriptedSerialPort port(clock);
    port.setOpenable(false);
    TMBRTU mb;
    mb.CFG = {5, 6, 2, 777, 0x21};
    const std::uint32_t requests = platform::timerResolutionRequests();
    for (std::int32_t com : {3, 0, 256, -1}) {
        EXPECT_EQ(MBRTU_Init(com, 4, 1, 1000, mb), 1);
        EXPECT_EQ(mb.ID.HNDL, 0u);
        EXPECT_EQ(mb.CFG.CisloCOM, 5);
        EXPECT_EQ(mb.CFG.KodBaud, 6);
        EXPECT_EQ(mb.CFG.KodParita, 2);
        EXPECT_EQ(mb.CFG.Timeout, 777u);
        EXPECT_EQ(mb.CFG.Adresa, 0x21);
    }
    EXPECT_EQ(platform::timerResolutionRequests(), requests);
    EXPECT_EQ(port.openCount(), 0);
}

TEST(MBRTU_Init, OpensWithLineSettingsAndAddress1) {
    FakeClock clock;
    ScriptedSerialPort port(clock);
    TMBRTU mb;
    mb.CFG.Adresa = 9;
    ASSERT_EQ(MBRTU_Init(12, 5, 2, 300, mb), 0);
    EXPECT_NE(mb.ID.HNDL, 0u);
    EXPECT_EQ(mb.CFG.CisloCOM, 12);
    EXPECT_EQ(mb.CFG.KodBaud, 5);
    EXPECT_EQ(mb.CFG.KodParita, 2);
    EXPECT_EQ(mb.CFG.Timeout, 300u);
    EXPECT_EQ(mb.CFG.Adresa, 1);
    EXPECT_EQ(port.lastComNumber(), 12);
    EXPECT_EQ(port.lastSettings().baudRate, 19200);
    EXPECT_EQ(port.lastSettings().parityCode, 2);
    MBRTU_Zavri(mb);
    EXPECT_FALSE(port.isOpen());
}

TEST(MBRTU_Zavri, TimerResolutionStaysBalanced) {
    FakeClock clock;
    ScriptedSerialPort port(clock);
    const std::uint32_t base = platform::timerResolutionRequests();
    TMBRTU mb;
    MBRTU_Zavri(mb); // closed record: must not give back a request it never made
    EXPECT_EQ(platform::timerResolutionRequests(), base);
    ASSERT_EQ(MBRTU_Init(1, 4, 0, 100, mb), 0);
    EXPECT_EQ(platform::timerResolutionRequests(), base + 1);
    MBRTU_Zavri(mb);
    MBRTU_Zavri(mb);
    EXPECT_EQ(mb.ID.HNDL, 0u);
    EXPECT_EQ(platform::timerResolutionRequests(), base);
    EXPECT_EQ(port.closeCount(), 1);
    // Two copies of one opened record: only the first close gives back.
    ASSERT_EQ(MBRTU_Init(1, 4, 0, 100, mb), 0);
    TMBRTU copy = mb;
    MBRTU_Zavri(copy);
    MBRTU_Zavri(mb);
    EXPECT_EQ(platform::timerResolutionRequests(), base);
    EXPECT_EQ(port.closeCount(), 2);
}

// --- Transactions on the scripted port ----------------------------------------

int pumpCalls = 0;
void countPump() {
    ++pumpCalls;
}

class Link : public ::testing::Test {
  protected:
    void SetUp() override { open(4, 1000); }
    void TearDown() override {
        MBRTU_Zavri(mb);
        platform::setEventPump(nullptr);
    }
    void open(std::int32_t baudCode, std::uint32_t timeout) {
        MBRTU_Zavri(mb);
        ASSERT_EQ(MBRTU_Init(2, baudCode, 0, timeout, mb), 0);
    }
    std::int32_t transact(const Bytes& request) {
        return MBRTU_Transakce(mb, request.data(), static_cast<std::uint16_t>(request.size()),
                               length, answer);
    }
    // Fake milliseconds since the request was written.
    std::uint64_t took() const { return clock.monotonicMs() - startMs; }
    void markStart() { startMs = clock.monotonicMs(); }

    FakeClock clock;
    ScriptedSerialPort port{clock};
    TMBRTU mb;
    std::uint16_t length = 0xFFFF;
    std::array<std::uint8_t, MBRTU_MAX_ODPOVED> answer{};
    std::uint64_t startMs = 0;
};

TEST_F(Link, AnswerShapesGiveTheirCodes) {
    Bytes body(258, 0x03);
    body[0] = 0x01;
    body[1] = 0x43;
    const Bytes long259 = withCrc(Bytes(body.begin(), body.end() - 1));
    const Bytes long260 = withCrc(body);
    struct Case {
        const char* name;
        Bytes bytes;
        std::int32_t code;
        std::uint16_t length; // checked when the code is 0 or 4
    };
    const Case cases[] = {
        {"exactly 4 bytes", hex("01 43 41 D1"), 0, 2},
        {"3 bytes", hex("01 43 41"), 2, 0},
        {"nothing", {}, 2, 0},
        {"wrong crc", hex("01 43 41 D2"), 3, 0},
        {"exception", hex("01 C3 02 F1 31"), 4, 3},
        {"259 bytes", long259, 0, 257},
        {"260 bytes", long260, 2, 0},
        {"2000 bytes at once", Bytes(2000, 0x55), 2, 0},
        // The function must be the request's; the address is not judged.
        {"another function", withCrc(hex("01 03 02 00 00")), 2, 0},
        {"exception of another function", withCrc(hex("01 83 02")), 2, 0},
        {"another address", withCrc(hex("07 43 41")), 0, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        open(4, 1000);
        length = 0xFFFF;
        if (!c.bytes.empty()) {
            port.queueAnswer(at(3, c.bytes));
        }
        EXPECT_EQ(transact(hex("01 43 FE 17 00 00 06")), c.code);
        if (c.code == 0 || c.code == 4) {
            EXPECT_EQ(length, c.length);
            EXPECT_TRUE(std::equal(answer.begin(), answer.begin() + c.length, c.bytes.begin()));
        } else {
            EXPECT_EQ(length, 0xFFFF); // untouched
        }
    }
}

TEST_F(Link, RequestLengthLimitsAndClosedPort) {
    Bytes request(261, 0x5A);
    request[0] = 0x01;
    request[1] = 0x43;
    port.setResponder([](const Bytes&) { return at(1, hex("01 43 41 D1")); });

    EXPECT_EQ(transact(Bytes(request.begin(), request.begin() + 260)), 0);
    ASSERT_EQ(port.writes().size(), 1u);
    EXPECT_EQ(port.writes()[0], withCrc(Bytes(request.begin(), request.begin() + 260)));

    EXPECT_EQ(transact(request), 1);
    EXPECT_EQ(transact({}), 1);
    TMBRTU closed;
    EXPECT_EQ(MBRTU_Transakce(closed, request.data(), 7, length, answer), 1);
    // A copy whose port was closed through the other copy is not open either.
    TMBRTU copy = mb;
    MBRTU_Zavri(copy);
    EXPECT_EQ(transact(hex("01 43")), 1);
    EXPECT_EQ(port.writes().size(), 1u);
}

TEST_F(Link, SilenceLimitPerBaudCodeEndsOnlyFramesThatCheck) {
    struct Case {
        std::int32_t baudCode;
        std::uint32_t silence;
    };
    const Case cases[] = {{0, 4}, {1, 4}, {2, 19}, {3, 13}, {4, 10}, {5, 7},
                          {6, 4}, {7, 4}, {8, 4},  {9, 4},  {-3, 4}};
    const Bytes frame = hex("01 43 FE 10 20 30 40 50 60 ED 21");
    const Bytes head(frame.begin(), frame.begin() + 4); // its last two bytes are no CRC
    const Bytes tail(frame.begin() + 4, frame.end());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.baudCode);
        EXPECT_EQ(MBRTU_TichoMs(c.baudCode), c.silence);
        // The request "01 43" fixes no length: silence ends a frame that checks.
        open(c.baudCode, 1000);
        port.queueAnswer(at(2, hex("01 43 41 D1")));
        markStart();
        EXPECT_EQ(transact(hex("01 43")), 0);
        EXPECT_EQ(took(), 2 + c.silence + 1);
        // A fragment waits for its rest however long the gap.
        for (std::uint32_t gap : {c.silence - 1, c.silence + 1, c.silence + 2, 3 * c.silence}) {
            open(c.baudCode, 1000);
            port.queueAnswer({{2, head}, {2 + gap, tail}});
            markStart();
            EXPECT_EQ(transact(hex("01 43")), 0) << "gap " << gap;
            EXPECT_EQ(length, 9) << "gap " << gap;
            EXPECT_EQ(took(), 2 + gap + c.silence + 1) << "gap " << gap;
        }
    }
}

// Requests whose answer length is fixed end as soon as that answer is in.
TEST_F(Link, AnswerEndsWhenCompleteOrOnSilenceAfterAFrameThatChecks) {
    const Bytes read6 = hex("01 43 FE 17 00 00 06"); // answer: 9 bytes and CRC
    const Bytes write1 = hex("01 44 FE 16 00 00 01 AA");
    const Bytes message = hex("01 45 00 04 01 C8 00 00");
    const Bytes block = hex("01 43 FE 10 20 30 40 50 60 ED 21");
    const Bytes ident = withCrc(hex("01 45 00 04 54 4B 2D 37"));
    const Bytes exception = hex("01 C3 02 F1 31");
    auto part = [](const Bytes& b, std::size_t from, std::size_t to) {
        return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from),
                     b.begin() + static_cast<std::ptrdiff_t>(to));
    };
    Bytes blockAndMore = block;
    blockAndMore.insert(blockAndMore.end(), {0xAA, 0xBB});
    struct Case {
        const char* name;
        Bytes request;
        ScriptedSerialPort::Answer answer;
        std::int32_t code;
        std::uint16_t length; // checked when the code is 0 or 4
        std::uint64_t returnsAt;
    };
    const Case cases[] = {
        {"block at once", read6, at(3, block), 0, 9, 3},
        {"block in chunks, gaps over S",
         read6,
         {{2, part(block, 0, 4)}, {30, part(block, 4, 8)}, {60, part(block, 8, 11)}},
         0,
         9,
         60},
        {"bytes after the block in the same read", read6, at(3, blockAndMore), 0, 9, 3},
        {"short block that checks: silence", read6, at(3, withCrc(hex("01 43 FE 10 20"))), 0, 5,
         14},
        {"fragment that never checks: timeout", read6, at(2, part(block, 0, 6)), 3, 0, 1001},
        {"fragment under 4 bytes: timeout", read6, at(2, part(block, 0, 3)), 2, 0, 1001},
        {"exception at once", read6, at(3, exception), 4, 3, 3},
        {"exception in chunks",
         read6,
         {{2, part(exception, 0, 2)}, {40, part(exception, 2, 5)}},
         4,
         3,
         40},
        {"write answer at once", write1, at(3, hex("01 44 00 13 00")), 0, 3, 3},
        {"message: silence", message, at(2, ident), 0, 8, 13},
        {"message in chunks, gap over S",
         message,
         {{2, part(ident, 0, 5)}, {40, part(ident, 5, ident.size())}},
         0,
         8,
         51},
        {"message exception at once", message, at(2, withCrc(hex("01 C5 01"))), 4, 3, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        open(4, 1000);
        length = 0xFFFF;
        port.queueAnswer(c.answer);
        markStart();
        EXPECT_EQ(transact(c.request), c.code);
        EXPECT_EQ(took(), c.returnsAt);
        if (c.code == 0 || c.code == 4) {
            EXPECT_EQ(length, c.length);
        }
    }
}

TEST_F(Link, BytesAfterACompleteAnswerAreDroppedBeforeTheNextRequest) {
    const Bytes read6 = hex("01 43 FE 17 00 00 06");
    port.queueAnswer({{3, hex("01 43 FE 10 20 30 40 50 60 ED 21")}, {5, hex("01 43 FE")}});
    EXPECT_EQ(transact(read6), 0);
    clock.advance(10);
    ASSERT_EQ(port.unreadBytes(), 3u);
    port.queueAnswer(at(3, withCrc(hex("01 43 FE 01 02 03 04 05 06"))));
    EXPECT_EQ(transact(read6), 0);
    EXPECT_EQ(Bytes(answer.begin(), answer.begin() + length), hex("01 43 FE 01 02 03 04 05 06"));
}

TEST_F(Link, LeftoversOfATimedOutAnswerAreDroppedBeforeTheNextRequest) {
    open(4, 100);
    port.queueAnswer(at(150, hex("01 43 41 D1"))); // arrives after the timeout
    EXPECT_EQ(transact(hex("01 43")), 2);
    clock.advance(100);
    ASSERT_EQ(port.unreadBytes(), 4u);
    port.queueAnswer(at(3, hex("01 43 41 D1")));
    EXPECT_EQ(transact(hex("01 43")), 0);
    EXPECT_EQ(length, 2);
}

TEST_F(Link, AnswerEndsAfterMoreThan10MsOfSilenceAt9600) {
    port.queueAnswer(at(5, hex("01 43 41 D1")));
    markStart();
    EXPECT_EQ(transact(hex("01 43")), 0);
    EXPECT_EQ(took(), 5u + 11u);
}

TEST_F(Link, TimeoutPassRefusesJustCompletedAnswer) {
    struct Case {
        std::uint32_t arrivesAt;
        std::int32_t code;
        std::uint64_t returnsAt;
    };
    // Timeout 100, S 10: silence is judged at arrival + 11.
    const Case cases[] = {{0, 0, 11}, {89, 0, 100}, {90, 2, 101}, {100, 2, 101}, {101, 2, 101}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arrivesAt);
        open(4, 100);
        port.queueAnswer(at(c.arrivesAt, hex("01 43 41 D1")));
        markStart();
        EXPECT_EQ(transact(hex("01 43")), c.code);
        EXPECT_EQ(took(), c.returnsAt);
    }
}

TEST_F(Link, ElapsedTimeContinuesAcrossMidnight) {
    struct Case {
        std::uint32_t startMs;
        std::uint32_t arrivesAt; // 0 = no answer
        std::int32_t code;
        std::uint64_t returnsAt;
    };
    const Case cases[] = {
        {86399990, 20, 0, 31}, // answer after midnight
        {86399995, 0, 2, 101}, // timeout runs on past midnight
        {86399999, 80, 0, 91},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.startMs);
        open(4, 100);
        clock.setMs(c.startMs);
        if (c.arrivesAt != 0) {
            port.queueAnswer(at(c.arrivesAt, hex("01 43 41 D1")));
        }
        markStart();
        EXPECT_EQ(transact(hex("01 43")), c.code);
        EXPECT_EQ(took(), c.returnsAt);
    }
}

// The wall clock set back or forward while an answer arrives (time sync,
// daylight saving) moves neither silence nor timeout.
FakeClock* jumpingClock = nullptr;
std::uint32_t jumpTo = 0;
void jumpWallClock() {
    if (++pumpCalls == 2) {
        jumpingClock->setMs(jumpTo);
    }
}

TEST_F(Link, WallClockJumpsMoveNeitherSilenceNorTimeout) {
    jumpingClock = &clock;
    platform::setEventPump(jumpWallClock);
    for (const std::uint32_t to : {0u, 23u * 3600u * 1000u}) {
        SCOPED_TRACE(to);
        jumpTo = to;
        open(4, 100);
        pumpCalls = 0;
        port.queueAnswer(at(5, hex("01 43 41 D1")));
        markStart();
        EXPECT_EQ(transact(hex("01 43")), 0);
        EXPECT_EQ(took(), 5u + 11u);
    }
}

TEST_F(Link, ReceiveLoopPumpsEventsAndWaitsWithoutSpinning) {
    open(4, 100);
    pumpCalls = 0;
    platform::setEventPump(countPump);
    markStart();
    EXPECT_EQ(transact(hex("01 43")), 2);
    EXPECT_EQ(took(), 101u);
    // Waits of 10 ms until the last, which ends exactly at the timeout.
    EXPECT_EQ(pumpCalls, 12); // passes at 0, 10, .., 100, 101 ms
    EXPECT_EQ(port.waitCalls(), 11u);
    EXPECT_EQ(port.waitedMs(), 101u);
}

// A window closing during a transaction: the pump that handles the close
// aborts the link; a second transaction started from the pump is refused.
TMBRTU* abortTarget = nullptr;
int nestedResult = -1;
void abortOnThirdPump() {
    if (++pumpCalls == 3) {
        const Bytes nested = hex("01 43");
        std::uint16_t n = 0;
        std::array<std::uint8_t, MBRTU_MAX_ODPOVED> a{};
        nestedResult = MBRTU_Transakce(*abortTarget, nested.data(), 2, n, a);
        MBRTU_Abort(*abortTarget);
    }
}

TEST_F(Link, AbortFromThePumpEndsTheWaitAtOnceAndRefusesNesting) {
    open(4, 1000);
    MBRTU_Abort(mb); // nothing runs: no effect on the next transaction
    pumpCalls = 0;
    abortTarget = &mb;
    platform::setEventPump(abortOnThirdPump);
    markStart();
    EXPECT_EQ(transact(hex("01 43")), 2);
    EXPECT_EQ(took(), 20u); // pumps at 0, 10 and 20 ms
    EXPECT_EQ(nestedResult, 1);
    EXPECT_EQ(port.writes().size(), 1u);
    EXPECT_FALSE(mb.ID.Transfer.Busy);
    EXPECT_FALSE(mb.ID.Transfer.AbortRequested);

    // The next transaction is not touched by the earlier abort.
    platform::setEventPump(nullptr);
    port.queueAnswer(at(5, withCrc(hex("01 43 01 07"))));
    EXPECT_EQ(transact(hex("01 43")), 0);
}

TEST_F(Link, EndlessTalkerEndsAtOverrunOrTimeout) {
    open(4, 1000);
    port.talkEndlessly(0x55, 1);
    markStart();
    EXPECT_EQ(transact(hex("01 43")), 2);
    EXPECT_EQ(took(), 260u); // the 260th byte ends it

    open(4, 100);
    markStart();
    EXPECT_EQ(transact(hex("01 43")), 2);
    EXPECT_EQ(took(), 101u); // 101 bytes: under 260, so the timeout ends it
}

// A port the system reports gone is opened again under the same handle and
// the request sent once more; a silent port or a bad answer is not.
TEST_F(Link, GonePortIsOpenedAgainOnceAndTheRequestRetried) {
    const Bytes read6 = hex("01 43 FE 17 00 00 06");
    const Bytes block = hex("01 43 FE 10 20 30 40 50 60 ED 21");
    struct Case {
        const char* name;
        bool gone;      // the system reports the device gone
        bool comesBack; // the device can be opened again
        Bytes answer;
        std::int32_t code;
        std::uint64_t returnsAt;
        int reopens;
        std::size_t requestsHeard;
    };
    const Case cases[] = {
        {"device re-created", true, true, block, 0, 3, 1, 1},
        {"device not back", true, false, {}, 2, 0, 1, 0},
        {"silent port", false, true, {}, 2, 1001, 0, 1},
        {"bad answer", false, true, hex("01 43 FE 10 20 30 40 50 60 ED 22"), 3, 1001, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        port.setOpenable(true);
        open(4, 1000);
        const platform::SerialHandle handle = mb.ID.HNDL;
        const std::uint32_t timerRequests = platform::timerResolutionRequests();
        const int attempts = port.openAttempts();
        const std::size_t writes = port.writes().size();
        if (c.gone) {
            port.hangUp();
        }
        port.setOpenable(c.comesBack);
        if (!c.answer.empty()) {
            port.queueAnswer(at(3, c.answer));
        }
        markStart();
        EXPECT_EQ(transact(read6), c.code);
        EXPECT_EQ(took(), c.returnsAt);
        EXPECT_EQ(port.openAttempts() - attempts, c.reopens);
        EXPECT_EQ(port.writes().size() - writes, c.requestsHeard);
        EXPECT_EQ(mb.ID.HNDL, handle); // copies of the record follow
        EXPECT_EQ(platform::timerResolutionRequests(), timerRequests);
        EXPECT_EQ(port.lastComNumber(), 2);
    }
    // The device not back then comes back: the next request reopens it.
    port.setOpenable(true);
    port.queueAnswer(at(3, block));
    EXPECT_EQ(transact(read6), 0);
    EXPECT_EQ(length, 9);
    EXPECT_EQ(port.openCount() - port.closeCount(), 1);
}

TEST_F(Link, VanishedPortEndsAtTimeout) {
    open(4, 100);
    port.vanish();
    markStart();
    EXPECT_EQ(transact(hex("01 43")), 2);
    EXPECT_EQ(took(), 101u);
}

// --- Block read, block write, message ------------------------------------------

TEST_F(Link, PrectiBlokFramesRequestAndCopiesBlock) {
    port.queueAnswer(at(4, hex("01 43 FE 10 20 30 40 50 60 ED 21")));
    std::array<std::uint8_t, 6> block{};
    EXPECT_EQ(MBRTU_PrectiBlok(mb, 23, 0x0102, 6, block.data()), 0);
    EXPECT_EQ(port.writes().at(0), hex("01 43 FE 17 01 02 06 F9 F1"));
    EXPECT_EQ(Bytes(block.begin(), block.end()), hex("10 20 30 40 50 60"));
}

TEST_F(Link, PrectiBlokFailuresLeaveBufferUntouched) {
    struct Case {
        const char* name;
        Bytes answer;
        std::int32_t code;
    };
    const Case cases[] = {
        {"exception", hex("01 C3 02 F1 31"), 1},
        {"no answer", {}, 1},
        {"wrong crc", hex("01 43 FE 10 20 30 40 50 60 ED 22"), 1},
        {"one byte short", withCrc(hex("01 43 FE 10 20 30 40 50")), 2},
        {"one byte long", withCrc(hex("01 43 FE 10 20 30 40 50 60 70")), 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        open(4, 200);
        if (!c.answer.empty()) {
            port.queueAnswer(at(1, c.answer));
        }
        std::array<std::uint8_t, 6> block;
        block.fill(0xEE);
        EXPECT_EQ(MBRTU_PrectiBlok(mb, 23, 0, 6, block.data()), c.code);
        EXPECT_EQ(Bytes(block.begin(), block.end()), Bytes(6, 0xEE));
    }
}

TEST_F(Link, ZapisBlokFramesRequestAndJudgesStatus) {
    struct Case {
        const char* name;
        Bytes answer;
        std::int32_t code;
    };
    const Case cases[] = {
        {"accepted", hex("01 44 00 13 00"), 0},
        {"status 1", hex("01 44 01 D2 C0"), 3},
        {"4 bytes before crc", withCrc(hex("01 44 00 00")), 2},
        {"2 bytes before crc", withCrc(hex("01 44")), 2},
        {"exception", withCrc(hex("01 C4 04")), 1},
        {"no answer", {}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        open(4, 200);
        mb.CFG.Adresa = 5;
        if (!c.answer.empty()) {
            port.queueAnswer(at(1, c.answer));
        }
        const Bytes data = hex("AA BB CC");
        EXPECT_EQ(MBRTU_ZapisBlok(mb, 0x16, 1, 3, data.data()), c.code);
        EXPECT_EQ(port.writes().back(), hex("05 44 FE 16 00 01 03 AA BB CC F5 1C"));
    }
}

TEST_F(Link, ZapisBlokBeyondRequestLimitIsRefusedWithoutTraffic) {
    const Bytes data(255, 0x77);
    port.setResponder([](const Bytes&) { return at(1, hex("01 44 00 13 00")); });
    EXPECT_EQ(MBRTU_ZapisBlok(mb, 1, 0, 253, data.data()), 0); // 260 request bytes
    EXPECT_EQ(port.writes().back().size(), 262u);
    EXPECT_EQ(MBRTU_ZapisBlok(mb, 1, 0, 254, data.data()), 1);
    EXPECT_EQ(MBRTU_ZapisBlok(mb, 1, 0, 255, data.data()), 1);
    EXPECT_EQ(port.writes().size(), 1u);
}

TEST_F(Link, ZpravaFramesIdentificationAndCopiesAnswer) {
    TMBRTU_Zprava z;
    const Bytes ident = hex("01 C8 00 00 00 00 00 00");
    std::copy(ident.begin(), ident.end(), z.Data.begin());
    z.DelkaDat = 8;
    port.queueAnswer(at(2, hex("01 45 00 08 54 4B 2D 37 48 62")));
    EXPECT_EQ(MBRTU_Zprava(&mb, z), 0);
    EXPECT_EQ(port.writes().at(0), hex("01 45 00 08 01 C8 00 00 00 00 00 00 32 0C"));
    EXPECT_EQ(z.DelkaOdpovedi, 4);
    EXPECT_EQ(Bytes(z.Odpoved.begin(), z.Odpoved.begin() + 4), hex("54 4B 2D 37"));
}

TEST_F(Link, ZpravaResultCodes) {
    TMBRTU_Zprava z;
    z.DelkaDat = 8;

    z.DelkaOdpovedi = 99;
    EXPECT_EQ(MBRTU_Zprava(nullptr, z), 1);
    EXPECT_EQ(z.DelkaOdpovedi, 0);

    TMBRTU closed;
    z.DelkaOdpovedi = 99;
    EXPECT_EQ(MBRTU_Zprava(&closed, z), 2);
    EXPECT_EQ(z.DelkaOdpovedi, 0);

    z.DelkaDat = 257;
    EXPECT_EQ(MBRTU_Zprava(&mb, z), 3);
    EXPECT_TRUE(port.writes().empty());

    z.DelkaDat = 256;
    port.queueAnswer(at(1, withCrc(hex("01 C5 01"))));
    EXPECT_EQ(MBRTU_Zprava(&mb, z), 3); // exception
    EXPECT_EQ(port.writes().back().size(), 262u);

    z.DelkaDat = 0;
    port.queueAnswer(at(1, withCrc(hex("01 45")))); // answer of 2 bytes: nothing to copy
    z.DelkaOdpovedi = 99;
    EXPECT_EQ(MBRTU_Zprava(&mb, z), 0);
    EXPECT_EQ(z.DelkaOdpovedi, 0);
    EXPECT_EQ(port.writes().back(), withCrc(hex("01 45 00 00")));
}

// --- End to end over a pseudo-terminal --------------------------------------------

// Answers 0x43, 0x44 and 0x45 requests on the master side until stopped.
class PtyResponder {
  public:
    explicit PtyResponder(support::PtyPair& pty) : pty_(pty), thread_([this] { run(); }) {}
    ~PtyResponder() {
        stop_ = true;
        thread_.join();
    }
    Bytes lastWritten() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lastWritten_;
    }

  private:
    void run() {
        Bytes buffer;
        while (!stop_) {
            const Bytes got = pty_.readMaster(1, 20);
            buffer.insert(buffer.end(), got.begin(), got.end());
            std::size_t need = 0;
            if (buffer.size() >= 2 && buffer[1] == 0x43) {
                need = 9;
            } else if (buffer.size() >= 7 && buffer[1] == 0x44) {
                need = 7u + buffer[6] + 2u;
            } else if (buffer.size() >= 4 && buffer[1] == 0x45) {
                need = 4u + (buffer[2] << 8 | buffer[3]) + 2u;
            }
            if (need == 0 || buffer.size() < need) {
                continue;
            }
            const Bytes request(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(need));
            buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(need));
            {
                std::lock_guard<std::mutex> lock(mutex_);
                lastWritten_ = request;
            }
            pty_.writeMaster(answerTo(request));
        }
    }

    static Bytes answerTo(const Bytes& r) {
        if (r[1] == 0x43) {
            Bytes a = {r[0], 0x43, 0xFE};
            for (std::uint8_t i = 0; i < r[6]; ++i) {
                a.push_back(static_cast<std::uint8_t>(r[3] + r[5] + i));
            }
            return withCrc(a);
        }
        if (r[1] == 0x44) {
            return withCrc({r[0], 0x44, 0x00});
        }
        return withCrc({r[0], 0x45, 0x00, 0x08, 'T', 'K', '-', '7'});
    }

    support::PtyPair& pty_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    Bytes lastWritten_;
    std::thread thread_;
};

TEST(MBRTU_EndToEnd, TalksToAResponderOverAPseudoTerminal) {
    support::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    pty.mapAsCom(7);
    PtyResponder responder(pty);
    TMBRTU mb;
    ASSERT_EQ(MBRTU_Init(7, 8, 1, 1000, mb), 0); // a pty may drop parity: still opened
    mb.CFG.Adresa = 0x11;

    std::array<std::uint8_t, 200> block{};
    ASSERT_EQ(MBRTU_PrectiBlok(mb, 23, 2, 200, block.data()), 0);
    for (std::size_t i = 0; i < block.size(); ++i) {
        ASSERT_EQ(block[i], static_cast<std::uint8_t>(23 + 2 + i)) << i;
    }
    EXPECT_EQ(responder.lastWritten(), withCrc(hex("11 43 FE 17 00 02 C8")));

    const Bytes data(100, 0x3C);
    EXPECT_EQ(MBRTU_ZapisBlok(mb, 24, 7, 100, data.data()), 0);

    TMBRTU_Zprava z;
    z.DelkaDat = 8;
    EXPECT_EQ(MBRTU_Zprava(&mb, z), 0);
    EXPECT_EQ(Bytes(z.Odpoved.begin(), z.Odpoved.begin() + z.DelkaOdpovedi), hex("54 4B 2D 37"));

    // The port is ours alone until closed.
    if (support::underWine()) {
        MBRTU_Zavri(mb);
        GTEST_SKIP()
            << "under Wine: Wine does not enforce exclusive COM opens (the exchange above passed)";
    }
    TMBRTU second;
    EXPECT_EQ(MBRTU_Init(7, 8, 0, 1000, second), 1);
    MBRTU_Zavri(mb);
    EXPECT_EQ(MBRTU_Init(7, 8, 0, 1000, second), 0);
    MBRTU_Zavri(second);
}

} // namespace
