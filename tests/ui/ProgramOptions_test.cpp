// W_tk7713t's own options: --lang chooses the windows' language, a bad one
// ends the program with status 2 before any window exists, and --help says
// where this build keeps its settings.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "BuildInfo.h"
#include "app/Dekl.h"
#include "ui/ProgramOptions.h"

namespace {

struct OptionsCase {
    std::vector<std::string> args; // after the program's name
    std::optional<int> exitStatus;
    std::int32_t language;
    const char* err; // the first line on standard error
};

ui::ProgramOptions read(std::vector<std::string> args, std::string& out, std::string& err) {
    args.insert(args.begin(), "W_tk7713t");
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::ostringstream o, e;
    const ui::ProgramOptions options =
        ui::readProgramOptions(static_cast<int>(args.size()), argv.data(), o, e);
    out = o.str();
    err = e.str();
    return options;
}

TEST(ProgramOptions, LangChoosesTheLanguageOrEndsWithStatus2) {
    const OptionsCase cases[] = {
        {{}, std::nullopt, LANG_EN, ""},
        {{"--lang", "cs"}, std::nullopt, LANG_CZ, ""},
        {{"--lang=cs", "-style", "fusion"}, std::nullopt, LANG_CZ, ""},
        {{"--lang", "cs", "--lang", "en"}, std::nullopt, LANG_EN, ""},
        {{"--trace", "t.log", "--lang", "cs"}, std::nullopt, LANG_CZ, ""},
        {{"--lang", "de"}, 2, LANG_EN, "W_tk7713t: invalid language de (en, cs)\n"},
        {{"--lang=CS"}, 2, LANG_EN, "W_tk7713t: invalid language CS (en, cs)\n"},
        {{"--lang="}, 2, LANG_EN, "W_tk7713t: invalid language  (en, cs)\n"},
        {{"--lang"}, 2, LANG_EN, "W_tk7713t: --lang needs a language (en, cs)\n"},
    };
    for (const OptionsCase& c : cases) {
        std::string out, err;
        const ui::ProgramOptions o = read(c.args, out, err);
        std::string shown;
        for (const std::string& a : c.args) {
            shown += a + " ";
        }
        EXPECT_EQ(o.exitStatus, c.exitStatus) << shown;
        EXPECT_EQ(o.language, c.language) << shown;
        EXPECT_EQ(err.substr(0, err.find('\n') + 1), c.err) << shown;
        EXPECT_EQ(out, "") << shown;
    }
}

TEST(ProgramOptions, HelpNamesLangAndWhereThisBuildKeepsTheSettings) {
    for (const bool perUser : {false, true}) {
        SetSettingsPerUser(perUser);
        std::string out, err;
        EXPECT_EQ(read({"--lang", "cs", "--help"}, out, err).exitStatus, 0);
        EXPECT_NE(out.find("--lang en|cs"), std::string::npos) << out;
        const std::string settings = perUser ? ui::settingsHelpPerUser() : ui::settingsHelpBeside();
        EXPECT_NE(out.find(settings), std::string::npos) << out;
        EXPECT_NE(settings.find("W_tk7713t.ini"), std::string::npos) << settings;
        EXPECT_EQ(settings.find("beside the program") == std::string::npos, perUser) << settings;
    }
    SetSettingsPerUser(false);
    std::string out, err;
    EXPECT_EQ(read({"--version"}, out, err).exitStatus, 0);
    EXPECT_EQ(out, std::string("W_tk7713t ") + buildinfo::kVersion + "\n");
}

} // namespace
