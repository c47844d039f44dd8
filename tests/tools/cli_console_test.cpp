// What tk7713t's main() relies on: UTF-8 turned into the wide text a
// Windows console shows, and no exception leaving the program.
#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "cli/Console.h"

namespace {

// Writes the text in pieces of `step` bytes, as a stream may hand it over.
std::u16string consoleText(const std::string& text, std::size_t step) {
    std::u16string shown;
    tkcli::Utf8ToUtf16Buf buffer([&](std::u16string_view part) { shown += part; });
    std::ostream out(&buffer);
    for (std::size_t i = 0; i < text.size(); i += step) {
        out << text.substr(i, step);
    }
    out.flush();
    return shown;
}

struct TextCase {
    const char* name;
    std::string utf8;
    std::u16string shown;
};

class ConsoleText : public testing::TestWithParam<TextCase> {};

TEST_P(ConsoleText, SameTextWhateverTheWritesCutIt) {
    for (std::size_t step : {1u, 2u, 3u, 1000u}) {
        EXPECT_EQ(consoleText(GetParam().utf8, step), GetParam().shown) << "pieces of " << step;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConsoleText,
    testing::Values(TextCase{"Czech", "Nápověda: žluťoučký kůň\n", u"Nápověda: žluťoučký kůň\n"},
                    TextCase{"OutsideTheBasicPlane", "a\xF0\x9F\x98\x80z", u"a\U0001F600z"},
                    TextCase{"StrayContinuationAndBadLead", "a\x80\xFFz", u"a\uFFFD\uFFFDz"},
                    TextCase{"CutSequenceThenAscii", "\xC5z", u"\uFFFDz"},
                    TextCase{"OverlongAndSurrogate", "\xE0\x80\xAF\xED\xA0\x80.",
                             u"\uFFFD\uFFFD."}),
    [](const auto& i) { return std::string(i.param.name); });

TEST(ConsoleText, IncompleteSequenceWaitsForItsRest) {
    std::u16string shown;
    tkcli::Utf8ToUtf16Buf buffer([&](std::u16string_view part) { shown += part; });
    std::ostream out(&buffer);
    out << "\xC5";
    out.flush();
    EXPECT_EQ(shown, u"");
    out << "\xBE";
    EXPECT_EQ(shown, u"ž");
}

TEST(RunGuarded, ExceptionBecomesMessageAndStatus1) {
    std::ostringstream err;
    EXPECT_EQ(tkcli::RunGuarded([] { return 2; }, err), 2);
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(tkcli::RunGuarded([]() -> int { throw std::runtime_error("cannot convert"); }, err),
              1);
    EXPECT_EQ(err.str(), "tk7713t: cannot convert\n");
    err.str("");
    EXPECT_EQ(tkcli::RunGuarded([]() -> int { throw 42; }, err), 1);
    EXPECT_EQ(err.str(), "tk7713t: unexpected failure\n");
}

} // namespace
