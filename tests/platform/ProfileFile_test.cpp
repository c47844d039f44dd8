#include "platform/ProfileFile.h"

#include "support/FileBytes.h"
#include "support/TempFolder.h"
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using platform::ProfileFile;
using platform::ProfileLoadResult;

namespace {

using namespace std::string_literals;

class ScratchFolder {
  public:
    std::string file(const std::string& name) const { return folder_.path() + "/" + name; }
    // UTF-8 names of the folder's entries.
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(folder_.path())) {
            const std::u8string name = e.path().filename().u8string();
            out.emplace_back(name.begin(), name.end());
        }
        return out;
    }
    const std::string& path() const { return folder_.path(); }

  private:
    support::TempFolder folder_{"profilefile"};
};

using support::readBytes;
using support::writeBytes;

ProfileFile parsed(const std::string& bytes) {
    ProfileFile f;
    f.parse(bytes);
    return f;
}

struct ReadCase {
    const char* name;
    std::string file;
    const char* section;
    const char* key;
    std::optional<std::string> expected;
};

class ProfileRead : public testing::TestWithParam<ReadCase> {};

TEST_P(ProfileRead, FindsTheValueTheFirstMatchingLineGives) {
    const ReadCase& c = GetParam();
    EXPECT_EQ(parsed(c.file).value(c.section, c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileRead,
    testing::Values(
        ReadCase{"Plain", "[A]\nk=v\n", "A", "k", "v"},
        ReadCase{"NamesIgnoreCase", "[usb com]\ncom PORT=3\n", "USB COM", "COM port", "3"},
        ReadCase{"BlanksAroundNamesAndValue", "  [ USB COM ]  \r\n  COM port  =  7 8 \t\r\n",
                 "USB COM", "COM port", "7 8"},
        ReadCase{"EmptyValue", "[LAN]\nIP address=\n", "LAN", "IP address", ""},
        ReadCase{"ValueWithEquals", "[A]\nk=a=b\n", "A", "k", "a=b"},
        ReadCase{"NoFinalLineBreak", "[A]\nk=v", "A", "k", "v"},
        ReadCase{"ByteOrderMark", "\xEF\xBB\xBF[A]\nk=1\n", "A", "k", "1"},
        ReadCase{"KeyBeforeAnySection", "k=1\n[A]\nx=2\n", "A", "k", std::nullopt},
        ReadCase{"KeyWithoutEquals", "[A]\nk\nk 5\n", "A", "k", std::nullopt},
        ReadCase{"CommentedKey", "[A]\n;k=1\n  ; k=2\n", "A", "k", std::nullopt},
        ReadCase{"EmptyKeyName", "[A]\n=1\n", "A", "", std::nullopt},
        ReadCase{"KeyOfAnotherSection", "[A]\n[B]\nk=1\n", "A", "k", std::nullopt},
        ReadCase{"HeaderWithoutBracketIsNoSection", "[A\nk=1\n", "A", "k", std::nullopt},
        ReadCase{"LineAfterBrokenHeaderStaysInSection", "[A]\n[B\nk=1\n", "A", "k", "1"},
        ReadCase{"FirstDuplicateKeyWins", "[A]\nk=1\nK=2\n", "A", "k", "1"},
        ReadCase{"FirstDuplicateSectionWins", "[A]\nk=1\n[a]\nk=2\n", "A", "k", "1"},
        ReadCase{"LaterDuplicateSectionIsNotSearched", "[A]\nx=1\n[A]\nk=2\n", "A", "k",
                 std::nullopt},
        ReadCase{"GarbageAround", "\x01\x02garbage\n\xFF\xFE\n[A]\n###\nk=1\n]]]\n", "A", "k", "1"},
        ReadCase{"InvalidUtf8KeptAsBytes", "[A]\nk=\xC3\x28\xFF\n", "A", "k", "\xC3\x28\xFF"},
        ReadCase{"ZeroBytes", "[A]\nk=a\0b\n"s, "A", "k", "a\0b"s},
        ReadCase{"CzechLetters", "[Převodník]\nNázev=Příliš žluťoučký\n", "Převodník", "Název",
                 "Příliš žluťoučký"},
        ReadCase{"EmptyFile", "", "A", "k", std::nullopt}),
    [](const testing::TestParamInfo<ReadCase>& i) { return std::string(i.param.name); });

struct WriteCase {
    const char* name;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

class ProfileWrite : public testing::TestWithParam<WriteCase> {};

TEST_P(ProfileWrite, ChangesOnlyTheLinesItMust) {
    const WriteCase& c = GetParam();
    ProfileFile f = parsed(c.before);
    ASSERT_TRUE(f.write(c.section, c.key, c.value));
    EXPECT_EQ(f.bytes(), c.after);
    EXPECT_EQ(f.value(c.section, c.key), std::string(c.value));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileWrite,
    testing::Values(
        WriteCase{"NewFile", "", "A", "k", "v", support::withNativeLineBreaks("[A]\nk=v\n")},
        WriteCase{"ReplaceKeepsSpellingSpacingAndLineBreak",
                  "; top\r\n[a]\r\nTIMEOUT =  1\r\n\r\n[B]\r\nx=y\r\n", "A", "Timeout", "250",
                  "; top\r\n[a]\r\nTIMEOUT =  250\r\n\r\n[B]\r\nx=y\r\n"},
        WriteCase{"SameValueKeepsLineUntouched", "[A]\nk = 1   \n", "A", "k", "1",
                  "[A]\nk = 1   \n"},
        WriteCase{"EmptyValue", "[A]\nk=1\n", "A", "k", "", "[A]\nk=\n"},
        WriteCase{"MissingKeyGoesAfterLastKey", "[A]\nx=1\n\n; about B\n[B]\ny=2\n", "A", "k", "3",
                  "[A]\nx=1\nk=3\n\n; about B\n[B]\ny=2\n"},
        WriteCase{"MissingKeyInSectionWithoutKeys", "[A]\n\n[B]\n", "A", "k", "v",
                  "[A]\nk=v\n\n[B]\n"},
        WriteCase{"MissingKeyAfterUnterminatedLastLine", "[A]\nx=1", "A", "k", "v",
                  "[A]\nx=1\nk=v\n"},
        WriteCase{"MissingSectionAfterUnterminatedLastLine", "[A]\nx=1", "B", "k", "v",
                  "[A]\nx=1\n\n[B]\nk=v\n"},
        WriteCase{"MissingSectionFollowsWindowsLineBreaks", "[A]\r\nx=1\r\n", "B", "k", "v",
                  "[A]\r\nx=1\r\n\r\n[B]\r\nk=v\r\n"},
        WriteCase{"MissingSectionAfterBlankLastLine", "[A]\nx=1\n\n", "B", "k", "v",
                  "[A]\nx=1\n\n[B]\nk=v\n"},
        WriteCase{"OnlyByteOrderMark", "\xEF\xBB\xBF", "A", "k", "v",
                  support::withNativeLineBreaks("\xEF\xBB\xBF[A]\nk=v\n")},
        WriteCase{"ByteOrderMarkKept", "\xEF\xBB\xBF[A]\nk=1\n", "A", "k", "2",
                  "\xEF\xBB\xBF[A]\nk=2\n"},
        WriteCase{"FirstDuplicateReplaced", "[A]\nk=1\nk=2\n[A]\nk=3\n", "A", "k", "9",
                  "[A]\nk=9\nk=2\n[A]\nk=3\n"},
        WriteCase{"KeyBeforeSectionsIsNotTheKey", "k=1\n[A]\nx=2\n", "A", "k", "5",
                  "k=1\n[A]\nx=2\nk=5\n"},
        WriteCase{"GarbageWithoutSectionsKept", "garbage\x01\n\xFF more", "A", "k", "v",
                  "garbage\x01\n\xFF more\n\n[A]\nk=v\n"},
        WriteCase{"CzechValue", "[A]\nk=x\n", "A", "k", "Připojení", "[A]\nk=Připojení\n"}),
    [](const testing::TestParamInfo<WriteCase>& i) { return std::string(i.param.name); });

// Values read back trimmed: writing one with blanks around it again must
// not add the blanks once more each time.
TEST(ProfileWrite, RepeatedValueWithBlanksAroundChangesNothing) {
    ProfileFile f = parsed("[A]\nk=1\n");
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(f.write("A", "k", " 1\t"));
        EXPECT_EQ(f.bytes(), "[A]\nk=1\n");
    }
    ASSERT_TRUE(f.write("A", "k", " 2"));
    ASSERT_TRUE(f.write("A", "k", " 2"));
    EXPECT_EQ(f.bytes(), "[A]\nk= 2\n");
}

struct RefusedCase {
    const char* section;
    const char* key;
    const char* value;
};

TEST(ProfileWrite, RefusesWhatTheFileCannotHoldAndChangesNothing) {
    const RefusedCase cases[] = {
        {"", "k", "v"},     {" A", "k", "v"},     {"A ", "k", "v"},  {"A]", "k", "v"},
        {"A\nB", "k", "v"}, {"A", "", "v"},       {"A", "k=x", "v"}, {"A", ";k", "v"},
        {"A", "[k", "v"},   {"A", "k\r", "v"},    {"A", " k", "v"},  {"A", "k", "a\nb"},
        {"A", "k", "a\rb"}, {"A", "k", "1\n[B]"},
    };
    const std::string before = "[A]\nk=1\n";
    for (const RefusedCase& c : cases) {
        ProfileFile f = parsed(before);
        EXPECT_FALSE(f.write(c.section, c.key, c.value))
            << c.section << "|" << c.key << "|" << c.value;
        EXPECT_EQ(f.bytes(), before);
    }
}

TEST(ProfileParse, GivesBackEveryByteItWasGiven) {
    const std::string inputs[] = {
        "",
        "\n\n\n",
        "[A]\r\nk=1\nx\r\r\n;c\n  \n",
        "\xEF\xBB\xBF",
        "\xEF\xBB\xBF\n[A]\nk=1",
        "no sections at all\nk=v\n",
        "a\0b\n[\0]\n"s,
        "\xC3\x28\xA0\xA1\xF0\x28\x8C\xBC\n[A]\nk=\xFE\n",
        "\r",
        std::string(300000, 'x') + "\n[A]\nk=" + std::string(200000, 'y'),
    };
    for (const std::string& in : inputs) {
        EXPECT_EQ(parsed(in).bytes(), in);
    }
}

TEST(ProfileParse, VeryLongLinesAroundTheKey) {
    const std::string longValue(1 << 20, 'v');
    const std::string file = std::string(1 << 20, 'g') + "\n[A]\nlong=" + longValue + "\nk=1\n";
    ProfileFile f = parsed(file);
    EXPECT_EQ(f.value("A", "long"), longValue);
    ASSERT_TRUE(f.write("A", "k", "2"));
    EXPECT_EQ(f.bytes(), std::string(1 << 20, 'g') + "\n[A]\nlong=" + longValue + "\nk=2\n");
}

TEST(ProfileFileOnDisk, MissingFileReadsEmpty) {
    ScratchFolder dir;
    ProfileFile f;
    f.parse("[A]\nk=1\n");
    EXPECT_EQ(f.load(dir.file("none.ini")), ProfileLoadResult::Missing);
    EXPECT_EQ(f.bytes(), "");
    EXPECT_EQ(f.readString("A", "k", "jkl"), "jkl");
}

TEST(ProfileFileOnDisk, FolderThatIsAFileReadsEmptyAndCannotBeSaved) {
    ScratchFolder dir;
    writeBytes(dir.file("plain"), "x");
    ProfileFile f;
    EXPECT_EQ(f.load(dir.file("plain/a.ini")), ProfileLoadResult::Missing);
    ASSERT_TRUE(f.write("A", "k", "v"));
    EXPECT_FALSE(f.save(dir.file("plain/a.ini")));
    EXPECT_EQ(readBytes(dir.file("plain")), "x");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"plain"});
}

TEST(ProfileFileOnDisk, DirectoryInPlaceOfTheFileIsUnreadableAndSurvivesASave) {
    ScratchFolder dir;
    fs::create_directory(dir.file("a.ini"));
    writeBytes(dir.file("a.ini/keep"), "k");
    ProfileFile f;
    EXPECT_EQ(f.load(dir.file("a.ini")), ProfileLoadResult::Unreadable);
    ASSERT_TRUE(f.write("A", "k", "v"));
    EXPECT_FALSE(f.save(dir.file("a.ini")));
    EXPECT_EQ(readBytes(dir.file("a.ini/keep")), "k");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"a.ini"});
}

TEST(ProfileFileOnDisk, FilesUpTo1MiBLoadAndLargerOnesAreUnreadable) {
    ScratchFolder dir;
    const std::string path = dir.file("big.ini");
    for (const std::size_t size : {std::size_t{1} << 20, (std::size_t{1} << 20) + 1}) {
        // Empty lines are the costliest content per byte.
        writeBytes(path, "[A]\nk=1\n" + std::string(size - 8, '\n'));
        ProfileFile f;
        const bool fits = size <= (1u << 20);
        EXPECT_EQ(f.load(path), fits ? ProfileLoadResult::Loaded : ProfileLoadResult::Unreadable)
            << size;
        EXPECT_EQ(f.value("A", "k"), fits ? std::optional<std::string>("1") : std::nullopt) << size;
        if (fits) {
            ASSERT_TRUE(f.write("A", "k2", "2"));
            EXPECT_EQ(f.bytes(), "[A]\nk=1\nk2=2\n" + std::string(size - 8, '\n'));
        }
    }
}

TEST(ProfileFileOnDisk, SaveReplacesTheFileAndLeavesNoTemporaryFile) {
    ScratchFolder dir;
    const std::string path = dir.file("a.ini");
    const std::string before = "\xEF\xBB\xBF; kept\r\n[A]\r\nk=1\r\n[Other]\r\nx = \xFF\r\n";
    writeBytes(path, before);
    ProfileFile f;
    ASSERT_EQ(f.load(path), ProfileLoadResult::Loaded);
    EXPECT_EQ(f.bytes(), before);
    ASSERT_TRUE(f.write("A", "k", "2"));
    ASSERT_TRUE(f.save(path));
    EXPECT_EQ(readBytes(path), "\xEF\xBB\xBF; kept\r\n[A]\r\nk=2\r\n[Other]\r\nx = \xFF\r\n");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"a.ini"});
}

// Paths are UTF-8 on every system; on Windows they must reach the wide
// file functions intact.
TEST(ProfileFileOnDisk, NamesOutsideAsciiSaveAndLoad) {
    ScratchFolder dir;
    const std::string path = dir.file("z\xC3\xA1loha \xC4\x8Dty\xC5\x99i.ini");
    ProfileFile f;
    ASSERT_TRUE(f.write("A", "k", "\xC5\xBElu\xC5\xA5"));
    ASSERT_TRUE(f.save(path));
    EXPECT_EQ(dir.names(), std::vector<std::string>{"z\xC3\xA1loha \xC4\x8Dty\xC5\x99i.ini"});
    ProfileFile back;
    ASSERT_EQ(back.load(path), ProfileLoadResult::Loaded);
    EXPECT_EQ(back.value("A", "k"), "\xC5\xBElu\xC5\xA5");
    // Bytes that are no UTF-8 make a path that names no file, never a crash.
    EXPECT_EQ(back.load(dir.file("\xE1.ini")), ProfileLoadResult::Missing);
}

TEST(ProfileFileOnDisk, ReplaceCreatesAMissingFile) {
    ScratchFolder dir;
    const std::string path = dir.file("new.ini");
    ASSERT_TRUE(platform::replaceFileContents(path, "abc"));
    EXPECT_EQ(readBytes(path), "abc");
    EXPECT_FALSE(platform::replaceFileContents(dir.file("missing/new.ini"), "abc"));
}

} // namespace
