// The tool's JSON: converter texts keep every byte, control characters are
// escaped, and the reader refuses what is not strict JSON.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "cli/CliZaznamy.h"
#include "cli/Json.h"

namespace {

using tkcli::json::Value;

TEST(JsonWrite, ConverterTextsKeepEveryByte) {
    const std::string bytes("A\0\x01\x1F\x7F\x80\x9F\xA0\xE9\xFF\"\\\n", 13);
    Value o = Value::object();
    o.add("Text", Value::bytes(bytes));
    EXPECT_EQ(
        tkcli::json::write(o),
        "{\n  \"Text\": "
        "\"A\\u0000\\u0001\\u001f\\u007f\\u0080\\u009f\xC2\xA0\xC3\xA9\xC3\xBF\\\"\\\\\\n\"\n}\n");
    Value back;
    std::string error;
    ASSERT_TRUE(tkcli::json::read(tkcli::json::write(o), back, error)) << error;
    EXPECT_EQ(back.find("Text")->text, tkcli::json::latin1ToUtf8(bytes));
}

TEST(JsonWrite, Numbers) {
    EXPECT_EQ(Value::number(std::uint32_t{4294967295u}).text, "4294967295");
    EXPECT_EQ(Value::number(std::int32_t{-5}).text, "-5");
    EXPECT_EQ(Value::real(1.0).text, "1");
    EXPECT_EQ(Value::real(0.1f).text, "0.10000000149011612");
    EXPECT_EQ(Value::real(std::numeric_limits<double>::infinity()).text, "1e999");
    EXPECT_EQ(Value::real(-std::numeric_limits<double>::infinity()).text, "-1e999");
    EXPECT_EQ(Value::real(std::numeric_limits<double>::quiet_NaN()).kind, Value::Kind::Null);
}

TEST(JsonWrite, UnicodeTextPassesThrough) {
    EXPECT_EQ(tkcli::json::write(Value::string("Neplatná adresa")), "\"Neplatná adresa\"\n");
}

TEST(JsonRead, EscapesAndSurrogates) {
    Value v;
    std::string error;
    ASSERT_TRUE(
        tkcli::json::read(R"(["\u00e9\ud83d\ude00\/\t", -0.5e+3, true, null, {}])", v, error))
        << error;
    EXPECT_EQ(v.items[0].text, "\xC3\xA9\xF0\x9F\x98\x80/\t");
    EXPECT_EQ(v.items[1].text, "-0.5e+3");
    EXPECT_TRUE(v.items[2].boolean);
    EXPECT_EQ(v.items[3].kind, Value::Kind::Null);
    ASSERT_TRUE(tkcli::json::read("\xEF\xBB\xBF{\"a\": 1}", v, error))
        << "a byte order mark is tolerated";
}

struct Bad {
    const char* text;
    const char* error;
};

class JsonReadRefuses : public ::testing::TestWithParam<Bad> {};

TEST_P(JsonReadRefuses, WithLineAndColumn) {
    Value v = Value::string("untouched");
    std::string error;
    EXPECT_FALSE(tkcli::json::read(GetParam().text, v, error));
    EXPECT_EQ(error.substr(0, error.find(':') + 2), GetParam().error) << error;
    EXPECT_NE(error.find("syntax error"), std::string::npos) << error;
    EXPECT_EQ(v.text, "untouched");
}

// The library's messages, behind the position of the fault.
INSTANTIATE_TEST_SUITE_P(
    Texts, JsonReadRefuses,
    ::testing::Values(Bad{"", "line 1, column 1: "}, Bad{"[1,]", "line 1, column 4: "},
                      Bad{"{\"a\":1,}", "line 1, column 8: "},
                      Bad{"{\"a\":1}\n x", "line 2, column 2: "}, Bad{"01", "line 1, column 2: "},
                      Bad{"\"a\nb\"", "line 2, column 0: "},
                      Bad{"\"\\ud800\"", "line 1, column 8: "},
                      Bad{"\"\\x41\"", "line 1, column 3: "}, Bad{"[1.]", "line 1, column 4: "},
                      Bad{"tru", "line 1, column 4: "}, Bad{"\"open", "line 1, column 6: "},
                      Bad{"\"\xC3\x28\"", "line 1, column 3: "}));

TEST(JsonRead, DuplicateKeysAreRefusedAtAnyDepth) {
    Value v;
    std::string error;
    EXPECT_FALSE(tkcli::json::read(R"({"a": {"b": 1, "b": 2}})", v, error));
    EXPECT_EQ(error, "duplicate key \"b\"");
    EXPECT_TRUE(tkcli::json::read(R"({"a": {"b": 1}, "b": {"b": 2}})", v, error))
        << "each object has its own keys";
}

TEST(JsonRead, DepthIsBounded) {
    Value v;
    std::string error;
    EXPECT_FALSE(tkcli::json::read(std::string(100, '[') + std::string(100, ']'), v, error));
    EXPECT_NE(error.find("nested too deeply"), std::string::npos);
    EXPECT_TRUE(tkcli::json::read(std::string(60, '[') + std::string(60, ']'), v, error)) << error;
}

TEST(DisplayText, TrailingZerosDroppedControlsEscaped) {
    EXPECT_EQ(tkcli::DisplayText(std::string("FW 1.05\0\0\0", 10)), "FW 1.05");
    EXPECT_EQ(tkcli::DisplayText(std::string("a\0b\x1B\xE9\x85", 6)), "a\\x00b\\x1B\xC3\xA9\\x85");
}

} // namespace
