#include "workflow/FieldText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
    std::string text;
    bool ok;
    std::int32_t value;
};

class WholeNumber : public ::testing::TestWithParam<Case> {};

TEST_P(WholeNumber, AcceptsBlanksSignDigitsOnly) {
    const Case& c = GetParam();
    std::int32_t v = 12345;
    EXPECT_EQ(ParseWholeNumber(c.text, v), c.ok) << '"' << c.text << '"';
    EXPECT_EQ(v, c.ok ? c.value : 12345) << "a refused text must leave the output alone";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, WholeNumber,
    ::testing::Values(
        Case{"5", true, 5}, Case{"   5", true, 5}, Case{"+5", true, 5}, Case{"-5", true, -5},
        Case{"  -0", true, 0}, Case{"007", true, 7}, Case{"2147483647", true, 2147483647},
        Case{"-2147483648", true, -2147483647 - 1}, Case{"", false, 0}, Case{"   ", false, 0},
        Case{"+", false, 0}, Case{"-", false, 0}, Case{"+-5", false, 0}, Case{"5 ", false, 0},
        Case{"\t5", false, 0}, Case{"5\n", false, 0}, Case{"0x10", false, 0}, Case{"1e3", false, 0},
        Case{"1.0", false, 0}, Case{"1 2", false, 0}, Case{"- 5", false, 0},
        Case{"2147483648", false, 0}, Case{"-2147483649", false, 0},
        Case{"99999999999999999999999", false, 0}, Case{std::string("5\0", 2), false, 0}));

TEST(WholeNumberIn, BoundsAreInclusive) {
    std::int32_t v = -1;
    EXPECT_TRUE(ParseWholeNumberIn("1", 1, 255, v));
    EXPECT_EQ(v, 1);
    EXPECT_TRUE(ParseWholeNumberIn("255", 1, 255, v));
    EXPECT_EQ(v, 255);
    v = -1;
    EXPECT_FALSE(ParseWholeNumberIn("0", 1, 255, v));
    EXPECT_FALSE(ParseWholeNumberIn("256", 1, 255, v));
    EXPECT_EQ(v, -1);
}

} // namespace
