#include "platform/StandardDescriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

void ensureStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        // /dev/null opened against the stream's direction: the number is
        // taken, yet reading standard input or writing the outputs still
        // fails as on a closed descriptor, so "> &-" stays an error.
        const int opened = ::open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
        if (opened > fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

} // namespace platform
