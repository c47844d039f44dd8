#include "app/Dekl.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

namespace {

TEST(DeklText, SharedTextsInBothLanguages) {
    struct Case {
        Dekl::TextId id;
        const char* cz;
        const char* en;
    };
    const Case cases[] = {
        {static_cast<Dekl::TextId>(0), "", ""},
        {Dekl::TEXT_OK, "OK", "OK"},
        // "ř" is C5 99 and "í" C3 AD in UTF-8: the bytes must arrive unchanged.
        {Dekl::TEXT_NOT_INITIALIZED, "P\xC5\x99ipojen\xC3\xAD neinicializov\xC3\xA1no",
         "Connection not initialized"},
        {Dekl::TEXT_CONNECTION_ERROR, "Chyba spojen\xC3\xAD s konvertorem",
         "Converter connection error"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Dekl::Text(c.id, LANG_CZ), c.cz) << c.id;
        EXPECT_EQ(Dekl::Text(c.id, LANG_EN), c.en) << c.id;
    }
    EXPECT_EQ(Dekl::Texty().size(), 4u);
}

TEST(DeklText, IdsOutsideTheTableGiveTheEmptyText) {
    for (std::int32_t id : {-1, 4, 1000, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(Dekl::Text(static_cast<Dekl::TextId>(id), LANG_CZ), "") << id;
        EXPECT_EQ(Dekl::Text(static_cast<Dekl::TextId>(id), LANG_EN), "") << id;
    }
}

TEST(DeklText, UnknownLanguageFallsBackToEnglish) {
    EXPECT_EQ(Dekl::Text(Dekl::TEXT_CONNECTION_ERROR, 2), "Converter connection error");
    EXPECT_EQ(Dekl::Text(Dekl::TEXT_CONNECTION_ERROR, -1), "Converter connection error");
}

constexpr TTextPolozka GoodTable[] = {{0, "", ""}, {1, "Okno", "Window"}};
constexpr TTextPolozka NonEmptyZero[] = {{0, "x", ""}, {1, "a", "b"}};
constexpr TTextPolozka IdsOutOfOrder[] = {{0, "", ""}, {2, "a", "b"}, {1, "c", "d"}};
constexpr TTextPolozka MissingText[] = {{0, "", ""}, {1, nullptr, "b"}};
static_assert(TextTabulkaPlatna(GoodTable));
static_assert(!TextTabulkaPlatna(NonEmptyZero));
static_assert(!TextTabulkaPlatna(IdsOutOfOrder));
static_assert(!TextTabulkaPlatna(MissingText));
static_assert(!TextTabulkaPlatna(TTextTabulka{}));

// A unit's lookup takes its own ids only: another table's ids and plain
// numbers do not compile.
enum GoodId : std::int32_t { GOOD_WINDOW = 1 };
enum OtherId : std::int32_t { OTHER_WINDOW = 1 };
TTextTabulka goodTable() {
    return GoodTable;
}
constexpr TextLookup<GoodId, &goodTable> GoodText{};
static_assert(std::is_invocable_v<decltype(GoodText), GoodId, std::int32_t>);
static_assert(!std::is_invocable_v<decltype(GoodText), OtherId, std::int32_t>);
static_assert(!std::is_invocable_v<decltype(GoodText), std::int32_t, std::int32_t>);
static_assert(!std::is_invocable_v<decltype(Dekl::Text), OtherId, std::int32_t>);

TEST(TextLookup, WorksOnAnyUnitsTable) {
    EXPECT_EQ(GoodText(GOOD_WINDOW, LANG_EN), "Window");
    EXPECT_EQ(Text(GoodTable, 1, LANG_CZ), "Okno");
    EXPECT_EQ(Text(GoodTable, 1, LANG_EN), "Window");
    EXPECT_EQ(Text(GoodTable, 2, LANG_EN), "");
    EXPECT_EQ(Text(TTextTabulka{}, 0, LANG_EN), "");
}

struct Ip4Case {
    const char* text;
    bool ok;
    TAdresa4B bytes;
};

TEST(TextNaIP4, AcceptsFourPartsOfZeroTo255Only) {
    const Ip4Case cases[] = {
        {"192.168.0.99", true, {0xC0, 0xA8, 0x00, 0x63}},
        {"0.0.0.0", true, {0, 0, 0, 0}},
        {"255.255.255.255", true, {0xFF, 0xFF, 0xFF, 0xFF}},
        {" 10 . 1 .2. 3 ", true, {10, 1, 2, 3}},
        {"010.001.0.7", true, {10, 1, 0, 7}},
        {"127.0.0.1", true, {127, 0, 0, 1}},
        {"256.1.1.1", false, {}},
        {"1.2.3.256", false, {}},
        {"1.2.3", false, {}},
        {"1.2.3.4.5", false, {}},
        {"1..3.4", false, {}},
        {"", false, {}},
        {"1.2.3.4.", false, {}},
        {".1.2.3", false, {}},
        {"1.2.3.-4", false, {}},
        {"1.2.3.+4", false, {}},
        {"1.2.3.0x4", false, {}},
        {"a.b.c.d", false, {}},
        {"1.2.3.4x", false, {}},
        {"1 2.3.4.5", false, {}},
        {"99999999999999999999.1.1.1", false, {}},
        {"...", false, {}},
    };
    for (const Ip4Case& c : cases) {
        TAdresa4B out{9, 9, 9, 9};
        EXPECT_EQ(TextNaIP4(c.text, out), c.ok) << '"' << c.text << '"';
        // Refused texts leave zeros, never a half-parsed address.
        EXPECT_EQ(out, c.bytes) << '"' << c.text << '"';
    }
}

TEST(IP4NaText, DecimalWithoutLeadingZerosAndBack) {
    const std::vector<std::pair<TAdresa4B, const char*>> cases = {
        {{0xC0, 0xA8, 0x00, 0x63}, "192.168.0.99"},
        {{0, 0, 0, 0}, "0.0.0.0"},
        {{255, 255, 255, 255}, "255.255.255.255"},
        {{10, 0, 100, 9}, "10.0.100.9"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(IP4NaText(bytes), text);
        TAdresa4B back{};
        EXPECT_TRUE(TextNaIP4(IP4NaText(bytes), back));
        EXPECT_EQ(back, bytes);
    }
}

TEST(IP6NaText, EightFullUpperCaseGroups) {
    const std::vector<std::pair<TPole16B, const char*>> cases = {
        {TPole16B{}, "0000:0000:0000:0000:0000:0000:0000:0000"},
        {{0xFE, 0x80, 0, 0, 0, 0, 0, 0, 0x02, 0x11, 0x22, 0xFF, 0xFE, 0x33, 0x44, 0x55},
         "FE80:0000:0000:0000:0211:22FF:FE33:4455"},
        {{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01},
         "2001:0DB8:0000:0000:0000:0000:0000:0001"},
        {{0xab, 0xcd, 0xef, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0xff, 0xff, 0xff, 0xff,
          0xff},
         "ABCD:EF01:2345:6789:ABCD:EFFF:FFFF:FFFF"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(IP6NaText(bytes), text);
    }
}

} // namespace
