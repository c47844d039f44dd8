#include "workflow/DiagnostikaLogika.h"

#include <gtest/gtest.h>

#include "workflow/TextyOken.h"

namespace {

struct RunTime {
    std::uint32_t seconds;
    const char* text;
};

class RunTimeFormat : public ::testing::TestWithParam<RunTime> {};

TEST_P(RunTimeFormat, DaysInFullThenTwoDigitFields) {
    EXPECT_EQ(RunTimeText(GetParam().seconds), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Values, RunTimeFormat,
                         ::testing::Values(RunTime{0, "0 (0:00:00:00)"},
                                           RunTime{45, "45 (0:00:00:45)"},
                                           RunTime{3599, "3599 (0:00:59:59)"},
                                           RunTime{86399, "86399 (0:23:59:59)"},
                                           RunTime{86400, "86400 (1:00:00:00)"},
                                           RunTime{4294967295u, "4294967295 (49710:06:28:15)"}));

TEST(InfoRows, LabelsAndValuesInWindowOrder) {
    TTK7713T_SysBin sys;
    sys.TypFW = std::string("FW\0x", 4);
    sys.TypLoader = "LD";
    sys.VyrCislo = "";
    sys.MAC = {0x00, 0x1A, 0x2B, 0x0A, 0xFF, 0x05};
    sys.IP4_Adresa = {10, 0, 0, 5};
    sys.UptimeS = 86400;
    const auto rows = InfoRows(sys);
    EXPECT_EQ(rows[0].Value, std::string("FW\0x", 4)) << "converter texts keep every byte";
    EXPECT_EQ(rows[2].Value, "");
    EXPECT_EQ(rows[3].Value, "00:1A:2B:0A:FF:05");
    EXPECT_EQ(rows[4].Value, "10.0.0.5");
    EXPECT_EQ(rows[5].Value, "86400 (1:00:00:00)");
    EXPECT_EQ(DiagSystem::Text(rows[3].LabelId, LANG_EN), "MAC address");
    EXPECT_EQ(DiagSystem::Text(rows[5].LabelId, LANG_CZ), "Doba běhu [s]");
}

} // namespace
