#include "workflow/NastaveniLogika.h"

#include <gtest/gtest.h>

#include <string>

#include "workflow/TextyOken.h"

namespace {

constexpr std::int32_t EN = LANG_EN;
constexpr std::int32_t CZ = LANG_CZ;

// ---- Modbus TCP server ----

struct MbtcpCase {
    const char* address;
    const char* timeout;
    const char* status;      // expected status line
    std::uint8_t unitId;     // expected afterwards (start value 77)
    std::uint8_t tcpTimeout; // expected afterwards (start value 88)
};

class MbtcpValidation : public ::testing::TestWithParam<MbtcpCase> {};

TEST_P(MbtcpValidation, OrderRangesMessagesAndPartialStore) {
    const MbtcpCase& c = GetParam();
    TCFGTK cfg = VychoziCFGTK();
    cfg.MBTCP = {77, 88};
    const TCFGTK before = cfg;
    const Verdict v = PrectiOkno(MbtcpControls{c.address, c.timeout}, cfg, EN);
    EXPECT_EQ(v.StatusLine, c.status);
    EXPECT_EQ(v.Accepted, std::string(c.status) == " ");
    EXPECT_EQ(cfg.MBTCP.UnitID, c.unitId);
    EXPECT_EQ(cfg.MBTCP.Timeout, c.tcpTimeout);
    cfg.MBTCP = before.MBTCP;
    EXPECT_EQ(cfg, before) << "only the dialog's part may change";
}

constexpr const char* kBadAddress = " Invalid converter address (1-255)";
constexpr const char* kBadTcpTimeout = " Invalid TCP timeout (1-255)";

INSTANTIATE_TEST_SUITE_P(
    Fields, MbtcpValidation,
    ::testing::Values(MbtcpCase{"255", "5", " ", 255, 5}, MbtcpCase{"1", "1", " ", 1, 1},
                      MbtcpCase{"1", "255", " ", 1, 255}, MbtcpCase{" +9", "  10", " ", 9, 10},
                      MbtcpCase{"0", "5", kBadAddress, 77, 88},
                      MbtcpCase{"256", "5", kBadAddress, 77, 88},
                      MbtcpCase{"abc", "5", kBadAddress, 77, 88},
                      MbtcpCase{"", "5", kBadAddress, 77, 88},
                      MbtcpCase{"0", "0", kBadAddress, 77, 88}, // first failing field wins
                      MbtcpCase{"12", "0", kBadTcpTimeout, 12, 88},
                      MbtcpCase{"12", "256", kBadTcpTimeout, 12, 88},
                      MbtcpCase{"12", "5s", kBadTcpTimeout, 12, 88}));

// ---- Modbus RTU master ----

struct UartmCase {
    UartmControls controls;
    const char* status;
    TCFG_UARTM expected; // start value {5, 2, 999, 9}
};

class UartmValidation : public ::testing::TestWithParam<UartmCase> {};

TEST_P(UartmValidation, OrderRangesMessagesAndPartialStore) {
    const UartmCase& c = GetParam();
    TCFGTK cfg = VychoziCFGTK();
    cfg.UARTM = {5, 2, 999, 9};
    const Verdict v = PrectiOkno(c.controls, cfg, EN);
    EXPECT_EQ(v.StatusLine, c.status);
    EXPECT_EQ(cfg.UARTM.KodBaud, c.expected.KodBaud);
    EXPECT_EQ(cfg.UARTM.KodParita, c.expected.KodParita);
    EXPECT_EQ(cfg.UARTM.Timeout, c.expected.Timeout);
    EXPECT_EQ(cfg.UARTM.Opakovani, c.expected.Opakovani);
}

constexpr const char* kBadExtTimeout = " Invalid External module timeout (1-65535)";
constexpr const char* kBadRetries = " Invalid Number of retries on communication error (0-15)";

INSTANTIATE_TEST_SUITE_P(
    Fields, UartmValidation,
    ::testing::Values(UartmCase{{0, 0, "1", "0"}, " ", {2, 0, 1, 0}},
                      UartmCase{{6, 2, "65535", "15"}, " ", {8, 2, 65535, 15}},
                      UartmCase{{2, 1, "330", "0"}, " ", {4, 1, 330, 0}},
                      // Lists without a choice keep the stored codes.
                      UartmCase{{-1, -1, "330", "0"}, " ", {5, 2, 330, 0}},
                      UartmCase{{7, 3, "330", "0"}, " ", {5, 2, 330, 0}},
                      UartmCase{{0, 0, "0", "0"}, kBadExtTimeout, {5, 2, 999, 9}},
                      UartmCase{{0, 0, "65536", "0"}, kBadExtTimeout, {5, 2, 999, 9}},
                      UartmCase{{0, 0, "", "0"}, kBadExtTimeout, {5, 2, 999, 9}},
                      UartmCase{{0, 0, "abc", "0"}, kBadExtTimeout, {5, 2, 999, 9}},
                      UartmCase{{0, 0, "0", "16"}, kBadExtTimeout, {5, 2, 999, 9}},
                      UartmCase{{0, 0, "500", "-1"}, kBadRetries, {5, 2, 500, 9}},
                      UartmCase{{0, 0, "500", "16"}, kBadRetries, {5, 2, 500, 9}},
                      UartmCase{{0, 0, "500", "x"}, kBadRetries, {5, 2, 500, 9}}));

// ---- Modbus RTU slave (RS-485) ----

struct UartsCase {
    UartsControls controls;
    const char* status;
    TCFG_UARTS expected; // start value {9, 6, 0, 1}
};

class UartsValidation : public ::testing::TestWithParam<UartsCase> {};

TEST_P(UartsValidation, AddressThenLists) {
    const UartsCase& c = GetParam();
    TCFGTK cfg = VychoziCFGTK();
    cfg.UARTS = {9, 6, 0, 1};
    const Verdict v = PrectiOkno(c.controls, cfg, EN);
    EXPECT_EQ(v.StatusLine, c.status);
    EXPECT_EQ(cfg.UARTS, c.expected);
}

constexpr const char* kBadSlaveAddress = " Invalid converter address (1-255)";

INSTANTIATE_TEST_SUITE_P(
    Fields, UartsValidation,
    ::testing::Values(UartsCase{{"1", 0, 0, 0}, " ", {1, 2, 0, 0}},
                      UartsCase{{"247", 2, 1, 0}, " ", {247, 4, 1, 0}},
                      UartsCase{{"255", 6, 2, 1}, " ", {255, 8, 2, 1}},
                      UartsCase{{"255", -1, -1, -1}, " ", {255, 6, 0, 1}},
                      UartsCase{{"0", 0, 2, 0}, kBadSlaveAddress, {9, 6, 0, 1}},
                      UartsCase{{"256", 0, 2, 0}, kBadSlaveAddress, {9, 6, 0, 1}},
                      UartsCase{{"ab", 0, 2, 0}, kBadSlaveAddress, {9, 6, 0, 1}}));

// ---- LAN parameters ----

struct LanCase {
    Lan4Controls controls;
    const char* status;
    TCFG_LAN4 expected; // start value 10.0.0.1 / 255.0.0.0 / 10.0.0.254, DHCP 1
};

class LanValidation : public ::testing::TestWithParam<LanCase> {};

TEST_P(LanValidation, AddressMaskGatewayInOrder) {
    const LanCase& c = GetParam();
    TCFGTK cfg = VychoziCFGTK();
    cfg.LAN4 = {{10, 0, 0, 1}, {255, 0, 0, 0}, {10, 0, 0, 254}, 1};
    const TCFG_LAN6 lan6 = cfg.LAN6;
    const Verdict v = PrectiOkno(c.controls, cfg, EN);
    EXPECT_EQ(v.StatusLine, c.status);
    EXPECT_EQ(cfg.LAN4, c.expected);
    EXPECT_EQ(cfg.LAN6, lan6);
}

constexpr const char* kBadIp4 = " Invalid IP4 address";
constexpr const char* kBadMask = " Invalid IP4 mask";
constexpr const char* kBadGateway = " Invalid IP4 gateway";
const TCFG_LAN4 kLanStart{{10, 0, 0, 1}, {255, 0, 0, 0}, {10, 0, 0, 254}, 1};

INSTANTIATE_TEST_SUITE_P(
    Fields, LanValidation,
    ::testing::Values(LanCase{{"192.168.0.99", "255.255.255.0", "192.168.0.200", 0},
                              " ",
                              {{192, 168, 0, 99}, {255, 255, 255, 0}, {192, 168, 0, 200}, 0}},
                      LanCase{{"0.0.0.0", "255.255.255.255", "1.2.3.4", -1},
                              " ",
                              {{0, 0, 0, 0}, {255, 255, 255, 255}, {1, 2, 3, 4}, 1}},
                      LanCase{{"1.2.3", "255.255.255.0", "1.2.3.4", 0}, kBadIp4, kLanStart},
                      LanCase{{"1.2.x.4", "255.255.255.0", "1.2.3.4", 0}, kBadIp4, kLanStart},
                      LanCase{{"1.2.3.4.", "bad", "bad", 0}, kBadIp4, kLanStart},
                      LanCase{{"1.2.3.4", "255.255.256.0", "bad", 0},
                              kBadMask,
                              {{1, 2, 3, 4}, {255, 0, 0, 0}, {10, 0, 0, 254}, 1}},
                      LanCase{{"1.2.3.4", "255.255.255.0", "", 0},
                              kBadGateway,
                              {{1, 2, 3, 4}, {255, 255, 255, 0}, {10, 0, 0, 254}, 1}}));

TEST(ValidationLanguage, CzechMessagesKeepTheirLetters) {
    TCFGTK cfg = VychoziCFGTK();
    EXPECT_EQ(PrectiOkno(Lan4Controls{"x", "", "", 0}, cfg, CZ).StatusLine, " Neplatná IP4 adresa");
    EXPECT_EQ(PrectiOkno(MbtcpControls{"1", "0"}, cfg, CZ).StatusLine,
              " Neplatný TCP timeout (1-255)");
    EXPECT_EQ(PrectiOkno(UartmControls{2, 1, "1", "99"}, cfg, CZ).StatusLine,
              " Neplatný Počet opakování při chybě komunikace (0-15)");
    EXPECT_EQ(PrectiOkno(UartsControls{"0", 2, 1, 0}, cfg, CZ).StatusLine,
              " Neplatná adresa konvertoru (1-255)");
}

// ---- What the controls show, and defaults ----

TEST(ControlsOfConfiguration, DefaultsEqualTheDefaultConfiguration) {
    const TCFGTK d = VychoziCFGTK();
    EXPECT_EQ(ZapisOkno(d.LAN4), DefaultLan4Controls());
    EXPECT_EQ(ZapisOkno(d.MBTCP), DefaultMbtcpControls());
    EXPECT_EQ(ZapisOkno(d.UARTM), DefaultUartmControls());
    EXPECT_EQ(ZapisOkno(d.UARTS), DefaultUartsControls());
}

TEST(ControlsOfConfiguration, CodesWithoutListEntrySelectNothingAndSurviveValidation) {
    TCFGTK cfg = VychoziCFGTK();
    cfg.UARTM = {1, 7, 1000, 3}; // 1200 Bd and a parity outside the list
    cfg.UARTS = {10, 0, 3, 2};
    cfg.LAN4.IP4_DHCP = 5;
    const UartmControls m = ZapisOkno(cfg.UARTM);
    EXPECT_EQ(m.Baud, -1);
    EXPECT_EQ(m.Parity, -1);
    const UartsControls s = ZapisOkno(cfg.UARTS);
    EXPECT_EQ(s.Baud, -1);
    EXPECT_EQ(s.Parity, -1);
    EXPECT_EQ(s.Routing, -1);
    EXPECT_EQ(ZapisOkno(cfg.LAN4).Mode, -1);

    const TCFGTK before = cfg;
    EXPECT_TRUE(PrectiOkno(m, cfg, EN).Accepted);
    EXPECT_TRUE(PrectiOkno(s, cfg, EN).Accepted);
    EXPECT_TRUE(PrectiOkno(ZapisOkno(cfg.LAN4), cfg, EN).Accepted);
    EXPECT_EQ(cfg, before) << "values the operator did not choose must not turn into other codes";
}

TEST(ControlsOfConfiguration, BaudCodesAtTheEdgesOfTheList) {
    // Code -> position: only 2-8 have an entry.
    const std::pair<std::int32_t, std::int32_t> cases[] = {{-1, -1}, {0, -1}, {1, -1}, {2, 0},
                                                           {4, 2},   {8, 6},  {9, -1}, {255, -1}};
    for (const auto& [code, position] : cases) {
        EXPECT_EQ(BaudListPosition(code), position) << code;
        TCFG_UARTM m{static_cast<std::uint8_t>(code), 1, 330, 0};
        if (code >= 0 && code <= 255) {
            EXPECT_EQ(ZapisOkno(m).Baud, position) << code;
        }
    }
}

TEST(ControlsOfConfiguration, ShowsNumbersInDecimal) {
    TCFG_UARTM m{8, 0, 65535, 15};
    const UartmControls c = ZapisOkno(m);
    EXPECT_EQ(c.Baud, 6);
    EXPECT_EQ(c.Timeout, "65535");
    EXPECT_EQ(c.Retries, "15");
    EXPECT_EQ(ZapisOkno(TCFG_LAN4{{192, 168, 0, 99}, {255, 255, 255, 0}, {0, 0, 0, 0}, 1}),
              (Lan4Controls{"192.168.0.99", "255.255.255.0", "0.0.0.0", 1}));
}

// ---- Transfers refused without a connection ----

TEST(TransfersWithoutConnection, NothingShownNothingChanged) {
    TData dat;
    InitData(&dat);
    TTK7713T tk; // not initialised: any transfer would fail
    TCFGTK cfg = VychoziCFGTK();
    cfg.MBTCP.UnitID = 3;
    const TCFGTK before = cfg;
    int shown = 0;
    DialogHooks hooks;
    hooks.showStatus = [&](const std::string&) { ++shown; };
    hooks.pause = [](std::uint32_t) {};
    for (ConfigDialog d :
         {ConfigDialog::Lan4, ConfigDialog::Mbtcp, ConfigDialog::Uartm, ConfigDialog::Uarts}) {
        EXPECT_EQ(PrectiData(d, cfg, &dat, tk, EN, hooks).Outcome, ReadOutcome::NotRun);
        EXPECT_EQ(ZapisData(d, cfg, &dat, tk, EN, hooks).Outcome, WriteOutcome::NotRun);
        EXPECT_EQ(PrectiData(d, cfg, nullptr, tk, EN, hooks).Outcome, ReadOutcome::NotRun);
        EXPECT_EQ(ZapisData(d, cfg, nullptr, tk, EN, hooks).Outcome, WriteOutcome::NotRun);
    }
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(cfg, before);
}

TEST(TransfersWithoutConnection, LinkNotSetUpGivesConnectionError) {
    TData dat;
    InitData(&dat);
    dat.Init = true; // the program thinks it is connected, the access record is not set up
    TTK7713T tk;
    TCFGTK cfg = VychoziCFGTK();
    std::vector<std::string> shown;
    std::vector<std::uint32_t> pauses;
    DialogHooks hooks;
    hooks.showStatus = [&](const std::string& s) { shown.push_back(s); };
    hooks.pause = [&](std::uint32_t ms) { pauses.push_back(ms); };
    const WriteResult w = ZapisData(ConfigDialog::Uartm, cfg, &dat, tk, EN, hooks);
    EXPECT_EQ(w.Outcome, WriteOutcome::ConnectionError);
    EXPECT_EQ(shown,
              (std::vector<std::string>{" Write in progress ...", " Converter connection error"}));
    EXPECT_EQ(pauses, std::vector<std::uint32_t>{32})
        << "the dialog's pause to repaint before the transfer";
    EXPECT_EQ(w.StatusLines, shown);
}

} // namespace
