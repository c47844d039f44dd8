#include "app/Dekl.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

struct SplitCase {
    std::string info;
    std::string typ;
    std::string verze;
    std::string vyrCislo;
};

TEST(RozdelInfoText, SplitsTypeVersionAndSerialNumber) {
    const SplitCase cases[] = {
        {"TK-7713T (v.1.00.12345)", "TK-7713T", "1.00", "12345"},
        {"TK-7713T v.2.05 s.n.000123) tail", "TK-7713T", "2.05", "n.000123"},
        // No blank: everything is the type.
        {"TK-7713T.1.00.5", "TK-7713T.1.00.5", "", ""},
        // A blank but no full stop after it.
        {"TK-7713T version one", "TK-7713T", "", ""},
        // The text ends while the version is collected.
        {"TK-7713T v.1.", "TK-7713T", "1.", ""},
        // Full stops and blanks among the four characters belong to the version.
        {"TK-7713T ..1. .77)", "TK-7713T", ".1. ", "77"},
        // The serial number runs to the end, line breaks included.
        {"TK-7713T v.1.00 s.n.42\r\n", "TK-7713T", "1.00", "n.42\r\n"},
        // Only code 32 is a blank; a tab stays in the type.
        {"TK\t7713T v.1.00.1)", "TK\t7713T", "1.00", "1"},
        // Zero bytes are characters like any other.
        {"TK\0 v.1\0\0\0.9\0)"s, "TK\0"s, "1\0\0\0"s, "9\0"s},
        {"", "", "", ""},
        {" v.1.00.7)", "", "1.00", "7"},
        {"A B.1234.)rest", "A", "1234", ""},
    };
    for (const SplitCase& c : cases) {
        std::string typ = "old", verze = "old", vyrCislo = "old";
        RozdelInfoText(c.info, typ, verze, vyrCislo);
        EXPECT_EQ(typ, c.typ) << c.info;
        EXPECT_EQ(verze, c.verze) << c.info;
        EXPECT_EQ(vyrCislo, c.vyrCislo) << c.info;
    }
}

struct SupportCase {
    std::string typ;
    std::string verze;
    bool typOk;
    bool verzeOk;
};

TEST(Podporovany, TypeAndVersionSeries) {
    const SupportCase cases[] = {
        {"TK-7713T", "1.00", true, true},    {"TK-7713T", "1.0x", true, true},
        {"TK-7713T", "1.09", true, true},    {"TK-7713T", "2.05", true, true},
        {"TK-7713T", "2.0", true, true},     {"TK-7713T", "0.08", true, true},
        {"TK-7713T", "0.09", true, false},   {"TK-7713T", "0.080", true, false},
        {"TK-7713T", "1.10", true, false},   {"TK-7713T", "3.00", true, false},
        {"TK-7713T", "1.", true, false},     {"TK-7713T", "", true, false},
        {"TK-7713T", " 1.0", true, false},   {"tk-7713t", "1.00", false, false},
        {"TK-7713T ", "1.00", false, false}, {"TK-7713T\0"s, "1.00", false, false},
        {" TK-7713T", "1.00", false, false}, {"TK-7713", "1.00", false, false},
        {"", "1.00", false, false},
    };
    for (const SupportCase& c : cases) {
        EXPECT_EQ(PodporovanyTyp(c.typ), c.typOk) << '"' << c.typ << '"';
        EXPECT_EQ(PodporovanaVerze(c.typ, c.verze), c.verzeOk)
            << '"' << c.typ << "\" \"" << c.verze << '"';
    }
}

TEST(TypeAndVersionText, TypeTwoBlanksVThenVersion) {
    EXPECT_EQ(TypeAndVersionText("TK-7713T", "1.00"), "TK-7713T  v.1.00");
    EXPECT_EQ(TypeAndVersionText("", ""), "  v.");
    EXPECT_EQ(TypeAndVersionText("TK\0"s, "1\0"s), "TK\0  v.1\0"s);
}

} // namespace
