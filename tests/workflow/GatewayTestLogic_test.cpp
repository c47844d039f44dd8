// The gateway test's field checks, exception texts, timeout arithmetic, unit
// scan pacing (on a fake clock) and polling summary.
#include "workflow/GatewayTestLogic.h"

#include <gtest/gtest.h>

#include <set>

#include "support/FakeClock.h"

namespace {

constexpr std::int32_t EN = LANG_EN;
constexpr std::int32_t CZ = LANG_CZ;

struct FieldCase {
    GatewayFields fields;
    const char* message; // "" = accepted
    bool repeating = false;
};

GatewayFields read(const char* unit, const char* address, const char* count,
                   std::int32_t position = 2) {
    GatewayFields f;
    f.Unit = unit;
    f.Function = position;
    f.Address = address;
    f.Count = count;
    f.Port = "502";
    f.Interval = "100";
    return f;
}

GatewayFields write(const char* unit, const char* address, const char* values,
                    std::int32_t position) {
    GatewayFields f = read(unit, address, "", position);
    f.Values = values;
    return f;
}

GatewayFields with(GatewayFields f, const char* port, const char* interval = "100",
                   bool oneBased = false) {
    f.Port = port;
    f.Interval = interval;
    f.OneBased = oneBased;
    return f;
}

class FieldChecks : public ::testing::TestWithParam<FieldCase> {};

TEST_P(FieldChecks, FirstRefusalNamesItsRange) {
    const GatewayVerdict v = ValidateGatewayFields(GetParam().fields, GetParam().repeating, EN);
    EXPECT_EQ(v.Message, GetParam().message);
    EXPECT_EQ(v.Accepted, std::string(GetParam().message).empty());
}

constexpr std::int32_t kCoils = 0, kHolding = 2, kWriteCoil = 4, kWriteRegister = 5,
                       kWriteCoils = 6, kWriteRegisters = 7;

INSTANTIATE_TEST_SUITE_P(
    Fields, FieldChecks,
    ::testing::Values(
        FieldCase{read("1", "0", "125"), ""}, FieldCase{read("255", "65535", "1"), ""},
        FieldCase{read("1", "0", "2000", kCoils), ""},
        FieldCase{write("0", "0", "1 2,3", kWriteRegisters), ""},
        FieldCase{read("256", "0", "1"), "Invalid unit id (0-255)"},
        FieldCase{read("-1", "x", "0"), "Invalid unit id (0-255)"},
        FieldCase{read("0", "0", "1"), "Unit id 0 (broadcast) is for writes only (reads: 1-255)"},
        FieldCase{read("1", "65536", "1"), "Invalid start address (0-65535)"},
        FieldCase{with(read("1", "0", "1"), "502", "100", true), "Invalid start address (1-65536)"},
        FieldCase{read("1", "0", "126"), "Invalid count (1-125 registers)"},
        FieldCase{read("1", "0", "0"), "Invalid count (1-125 registers)"},
        FieldCase{read("1", "0", "2001", kCoils), "Invalid count (1-2000 coils or inputs)"},
        FieldCase{read("1", "65535", "2"), "Start address + count exceed 65536"},
        FieldCase{with(read("1", "65536", "2"), "502", "100", true),
                  "Start address + count exceed 65537"},
        FieldCase{write("1", "0", "65536", kWriteRegister), "Invalid value 65536 (0-65535)"},
        FieldCase{write("1", "0", "0x1G", kWriteRegisters), "Invalid value 0x1G (0-65535)"},
        FieldCase{write("1", "0", "2", kWriteCoil), "Invalid coil state 2 (0 or 1)"},
        FieldCase{write("1", "0", "1 2", kWriteRegister), "Invalid number of register values (1)"},
        FieldCase{write("1", "0", "", kWriteCoils), "Invalid number of coil states (1-1968)"},
        FieldCase{with(read("1", "0", "1"), "0"), "Invalid Modbus TCP port (1-65535)"},
        FieldCase{with(read("1", "0", "1"), "502", "9"), "Invalid repeat interval (10-60000 ms)",
                  true},
        FieldCase{with(read("1", "0", "1"), "502", "9"), "", false}));

TEST(FieldChecks, OneBasedAddressesAndHexValuesReachTheWireAsTheyMean) {
    GatewayFields f = write("3", "1", "0x00FF 10", kWriteRegisters);
    f.OneBased = true;
    const GatewayVerdict v = ValidateGatewayFields(f, false, EN);
    ASSERT_TRUE(v.Accepted) << v.Message;
    EXPECT_EQ(v.Request.Address, 0);
    EXPECT_EQ(v.Request.Values, (std::vector<std::uint16_t>{255, 10}));
    EXPECT_EQ(v.Request.Count, 2);
    EXPECT_EQ(ValidateGatewayFields(read("1", "0", "126"), false, CZ).Message,
              "Neplatný počet (1-125 registrů)");
}

TEST(ExceptionTexts, EveryCodeHasANameAndAHintInBothLanguages) {
    std::set<std::string> names;
    for (std::uint8_t code : {1, 2, 3, 4, 5, 6, 7, 8, 10, 11}) {
        for (std::int32_t lang : {EN, CZ}) {
            EXPECT_FALSE(ExceptionHint(code, lang).empty()) << int(code);
            EXPECT_TRUE(names.insert(ExceptionName(code, lang)).second) << int(code);
        }
    }
    EXPECT_EQ(ExceptionName(0x0B, EN), "gateway target device failed to respond");
    EXPECT_EQ(ExceptionName(0x42, EN), "unknown exception");
    ModbusResult r;
    r.Status = ModbusStatus::Exception;
    r.ExceptionCode = 2;
    EXPECT_EQ(GatewayStatusText(r, "", 0, EN),
              "Exception 0x02 (illegal data address): The unit has no data at these addresses; "
              "addresses are "
              "0-based on the wire (register 40001 is address 0).");
}

TEST(GatewayCauses, ShowTheMasterLineAndTheShortestTimeout) {
    ModbusRequest r{7, ModbusFunction::ReadHoldingRegisters, 0, 10, {}};
    // 25 bytes and 3.5 characters of silence, 11 bits each: 313.5 bits.
    EXPECT_EQ(GatewayMinimumTimeoutMs(r, 4, 1), 33u); // 9600 Bd: 32.7 ms
    EXPECT_EQ(GatewayMinimumTimeoutMs(r, 8, 1), 3u);  // 115200 Bd: 2.7 ms
    r.Count = 125;
    EXPECT_EQ(GatewayMinimumTimeoutMs(r, 2, 0), 1078u); // 2400 Bd, no parity: 1077.1 ms
    const TTK7713T_UartmCfg uartm{0, 4, 1, 20, 2};
    r.Count = 10;
    EXPECT_EQ(GatewayCauses(r, &uartm, EN),
              (std::vector<std::string>{"Likely causes:", "unit 7 is not on the master line",
                                        "the slave's speed, parity or address differ from the "
                                        "master line's settings (uartm.cfg: 9600 "
                                        "Bd, even parity, timeout 20 ms, 2 retries)",
                                        "the timeout is too short for the baud rate: this answer "
                                        "needs at least 33 ms at 9600 Bd"}));
    EXPECT_EQ(GatewayCauses(r, nullptr, CZ)[2], "rychlost, parita nebo adresa slave se liší od "
                                                "nastavení linky master (uartm.cfg nelze přečíst)");
}

TEST(GatewayRows, ShowAddressesInTheChosenBaseAndHexForRegistersOnly) {
    const ModbusRequest regs{1, ModbusFunction::ReadInputRegisters, 65534, 2, {}};
    const auto r = GatewayRows(regs, {0, 65535}, true);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[1].Address, "65536");
    EXPECT_EQ(r[1].Value, "65535");
    EXPECT_EQ(r[1].Hex, "0xFFFF");
    const ModbusRequest bits{1, ModbusFunction::ReadCoils, 3, 1, {}};
    EXPECT_EQ(GatewayRows(bits, {1}, false)[0].Hex, "");
}

ModbusResult outcome(ModbusStatus s, std::uint8_t code = 0) {
    ModbusResult r;
    r.Status = s;
    r.ExceptionCode = code;
    r.Request = {0};
    return r;
}

TEST(UnitScan, KeepsItsRateAndCountsExceptionsFromTheSlaveAsPresent) {
    support::FakeClock clock;
    std::vector<std::uint64_t> startedMs;
    const std::vector<ModbusResult> answers{
        outcome(ModbusStatus::Answered),        outcome(ModbusStatus::Exception, 2),
        outcome(ModbusStatus::Exception, 0x0B), outcome(ModbusStatus::Timeout),
        outcome(ModbusStatus::Exception, 0x0A), outcome(ModbusStatus::Answered)};
    UnitScanSettings s;
    s.First = 10;
    s.Last = 15;
    s.RatePerSecond = 3;
    std::vector<std::size_t> progress;
    const UnitScanResult r = ScanUnits(
        s,
        [&](const ModbusRequest& q) {
            startedMs.push_back(clock.monotonicMs());
            EXPECT_EQ(q.Count, 1);
            clock.advance(40); // the request's own time counts towards the spacing
            return answers[q.Unit - 10u];
        },
        [&](std::size_t asked, std::size_t total, std::size_t) {
            EXPECT_EQ(total, 6u);
            progress.push_back(asked);
        },
        nullptr);
    EXPECT_EQ(r.Present, (std::vector<std::uint8_t>{10, 11, 15}));
    EXPECT_FALSE(r.Stopped);
    EXPECT_EQ(progress.size(), 6u);
    // 1/3 s apart, rounded up to whole milliseconds, never less.
    EXPECT_EQ(startedMs, (std::vector<std::uint64_t>{0, 334, 668, 1002, 1336, 1670}));
}

TEST(UnitScan, StopsAtAFailureThatIsNotAboutTheUnit) {
    support::FakeClock clock;
    UnitScanSettings s;
    s.First = 1;
    s.Last = 5;
    int asked = 0;
    const UnitScanResult r = ScanUnits(
        s,
        [&](const ModbusRequest&) {
            return outcome(++asked == 2 ? ModbusStatus::Refused : ModbusStatus::Answered);
        },
        {}, nullptr);
    EXPECT_TRUE(r.Stopped);
    EXPECT_EQ(r.Asked, 2u);
    EXPECT_EQ(r.Failure.Status, ModbusStatus::Refused);
}

TEST(PollSummary, CountsEveryRequestAndTakesTheLowerMiddleRoundTrip) {
    PollSummary s;
    for (std::uint32_t us : {3000u, 1000u, 4000u, 2000u}) {
        ModbusResult r = outcome(ModbusStatus::Answered);
        r.RoundTripUs = us;
        s.add(r);
    }
    s.add(outcome(ModbusStatus::Timeout));
    s.add(outcome(ModbusStatus::Exception, 0x0B));
    EXPECT_EQ(
        PollSummaryText(s, EN),
        "6 sent, 4 answered, 1 exceptions, 1 timeouts; round trip min/median/max 0.0/2.0/4.0 ms");
}

} // namespace
