// Descriptors 0-2 closed at start get a stand-in that takes their number
// but still refuses their use; open ones are left alone.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <initializer_list>

#include "platform/StandardDescriptors.h"

namespace {

// Runs the check in a child that closed the descriptors in `closed`.
// Exit status 0 when all is as expected, else the descriptor found wrong + 1.
int childWith(std::initializer_list<int> closed) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        struct stat before[3] {};
        for (int fd = 0; fd <= 2; ++fd) {
            ::fstat(fd, &before[fd]);
        }
        for (int fd : closed) {
            ::close(fd);
        }
        platform::ensureStandardDescriptors();
        for (int fd = 0; fd <= 2; ++fd) {
            bool wasClosed = false;
            for (int c : closed) {
                wasClosed = wasClosed || c == fd;
            }
            struct stat now {};
            const bool same = ::fstat(fd, &now) == 0 && now.st_dev == before[fd].st_dev &&
                              now.st_ino == before[fd].st_ino;
            const int wanted = fd == 0 ? O_WRONLY : O_RDONLY;
            if (wasClosed ? (::fcntl(fd, F_GETFL) & O_ACCMODE) != wanted : !same) {
                ::_exit(fd + 1);
            }
        }
        ::_exit(::open("/dev/null", O_RDONLY) > 2 ? 0 : 10);
    }
    int status = -1;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(StandardDescriptors, ClosedOnesAreHeldOpenOnesKept) {
    EXPECT_EQ(childWith({}), 0);
    EXPECT_EQ(childWith({2}), 0);
    EXPECT_EQ(childWith({0, 2}), 0);
    EXPECT_EQ(childWith({0, 1, 2}), 0);
}

}  // namespace
