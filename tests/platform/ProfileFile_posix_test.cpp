#include "platform/ProfileFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>

#include "support/FileBytes.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using platform::ProfileFile;
using platform::ProfileLoadResult;

TEST(ProfileFilePosix, SaveKeepsThePermissionsOfTheReplacedFile) {
    support::TempFolder dir("profilefile");
    const std::string path = dir.path() + "/a.ini";
    support::writeBytes(path, "[A]\nk=1\n");
    ::chmod(path.c_str(), 0640);
    ProfileFile f;
    ASSERT_EQ(f.load(path), ProfileLoadResult::Loaded);
    ASSERT_TRUE(f.write("A", "k", "2"));
    ASSERT_TRUE(f.save(path));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// A write that runs out of room (here: the file size limit) must leave the
// old file whole and no partial file beside it.
TEST(ProfileFilePosix, SaveThatRunsOutOfRoomKeepsTheOldFile) {
    support::TempFolder dir("profilefile");
    const std::string path = dir.path() + "/a.ini";
    const std::string before = "[A]\nk=1\n";
    support::writeBytes(path, before);
    ProfileFile f;
    ASSERT_EQ(f.load(path), ProfileLoadResult::Loaded);
    ASSERT_TRUE(f.write("A", "k", std::string(4096, 'z')));

    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = f.save(path);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(support::readBytes(path), before);
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

// The atomic replace must not turn a link into a plain file, rewrite a file
// made read-only, or stand a plain file in for a FIFO or a device.
TEST(ProfileFilePosix, ReplaceWritesThroughLinksAndLeavesWhatItMustNotWrite) {
    support::TempFolder folder("profilefile");
    const auto file = [&](const std::string& name) { return folder.path() + "/" + name; };
    const auto entries = [&] {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder.path())) {
            ++n;
        }
        return n;
    };
    fs::create_directory(file("real"));
    const std::string real = file("real/a.ini");
    support::writeBytes(real, "old");
    ::chmod(real.c_str(), 0600);
    fs::create_symlink("real/a.ini", file("link.ini"));
    ASSERT_TRUE(platform::replaceFileContents(file("link.ini"), "new"));
    EXPECT_TRUE(fs::is_symlink(file("link.ini")));
    EXPECT_EQ(support::readBytes(real), "new");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(entries(), 2u);

    support::writeBytes(file("ro.ini"), "kept");
    ::chmod(file("ro.ini").c_str(), 0444);
    ASSERT_EQ(::mkfifo(file("fifo.ini").c_str(), 0600), 0);
    fs::create_symlink("/dev/null", file("null.ini"));
    for (const char* name : {"ro.ini", "fifo.ini", "null.ini"}) {
        EXPECT_FALSE(platform::replaceFileContents(file(name), "new")) << name;
    }
    EXPECT_EQ(support::readBytes(file("ro.ini")), "kept");
    EXPECT_TRUE(fs::is_fifo(file("fifo.ini")));
    EXPECT_TRUE(fs::is_symlink(file("null.ini")));
    EXPECT_EQ(entries(), 5u); // no temporary file left beside them
}

} // namespace
