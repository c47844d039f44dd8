// Descriptors 0-2 closed at start get a stand-in that takes their number
// but still refuses their use; open ones are left alone.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <initializer_list>

#include "platform/StandardDescriptors.h"

namespace {

// Runs the check in a child that closed the descriptors in `closed`; its
// exit status is 0, or the first descriptor found wrong + 1.
int childWith(std::initializer_list<int> closed) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        struct stat before[3]{};
        for (int fd = 0; fd <= 2; ++fd) {
            ::fstat(fd, &before[fd]);
        }
        for (int fd : closed) {
            ::close(fd);
        }
        platform::ensureStandardDescriptors();
        for (int fd = 0; fd <= 2; ++fd) {
            struct stat now {};
            const bool kept = ::fstat(fd, &now) == 0 && now.st_ino == before[fd].st_ino;
            const bool refusing =
                (::fcntl(fd, F_GETFL) & O_ACCMODE) == (fd == 0 ? O_WRONLY : O_RDONLY);
            if (std::count(closed.begin(), closed.end(), fd) != 0 ? !refusing : !kept) {
                ::_exit(fd + 1);
            }
        }
        ::_exit(0);
    }
    int status = -1;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(StandardDescriptors, ClosedOnesAreHeldOpenOnesKept) {
    for (const auto& closed : {std::initializer_list<int>{}, {2}, {0, 2}, {0, 1, 2}}) {
        EXPECT_EQ(childWith(closed), 0) << closed.size();
    }
}

} // namespace
