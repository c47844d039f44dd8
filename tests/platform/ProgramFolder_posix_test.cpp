// The user's settings folder from the environment, and the test whether a
// folder takes new files.
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

// Sets or unsets a variable for the test's lifetime.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        apply(value);
    }
    ~ScopedVariable() { apply(old_); }

  private:
    void apply(const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name_, value->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    const char* name_;
    std::optional<std::string> old_;
};

std::string accountHome() {
    const passwd* entry = ::getpwuid(::getuid());
    return entry != nullptr ? entry->pw_dir : "";
}

struct ConfigCase {
    std::optional<std::string> xdgConfigHome;
    std::optional<std::string> home;
    std::string expected; // "@account" stands for the password database's home
};

TEST(UserConfigFolder, FollowsXdgConfigHomeThenHome) {
    const ConfigCase cases[] = {
        {"/srv/cfg/", "/home/jana", "/srv/cfg"},
        {"relative/cfg", "/home/jana", "/home/jana/.config"},
        {"", "/home/jana/", "/home/jana/.config"},
        {std::nullopt, "/", "/.config"},
        {std::nullopt, std::nullopt, "@account"},
        {std::nullopt, "", "@account"},
    };
    for (const ConfigCase& c : cases) {
        const ScopedVariable xdg("XDG_CONFIG_HOME", c.xdgConfigHome);
        const ScopedVariable home("HOME", c.home);
        const std::string account = accountHome();
        const std::string expected = c.expected != "@account"
                                         ? c.expected
                                         : (account == "/" ? "/.config" : account + "/.config");
        EXPECT_EQ(platform::userConfigFolder(), expected)
            << c.xdgConfigHome.value_or("(unset)") << " " << c.home.value_or("(unset)");
    }
}

TEST(FolderAcceptsNewFiles, OnlyAWritableExistingFolderAndLeavesNothing) {
    support::TempFolder temp("folder-probe");
    ASSERT_FALSE(temp.path().empty());
    EXPECT_TRUE(platform::folderAcceptsNewFiles(temp.path()));
    EXPECT_TRUE(fs::is_empty(temp.path()));
    EXPECT_FALSE(platform::folderAcceptsNewFiles(temp.path() + "/missing"));

    const std::string locked = temp.path() + "/locked";
    ASSERT_EQ(::mkdir(locked.c_str(), 0555), 0);
    if (::geteuid() == 0) {
        GTEST_SKIP() << "a superuser writes into a folder of mode 0555";
    }
    EXPECT_FALSE(platform::folderAcceptsNewFiles(locked));
}

} // namespace
