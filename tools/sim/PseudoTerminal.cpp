#include "sim/PseudoTerminal.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace tksim {

namespace {

constexpr std::array<speed_t, 9> kSpeeds{B600,   B1200,  B2400,  B4800,  B9600,
                                         B19200, B38400, B57600, B115200};

std::string errnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

} // namespace

bool configureLine(int fd, int baudCode, int parityCode) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) {
        return false;
    }
    cfmakeraw(&t);
    const std::size_t i = baudCode >= 0 && baudCode < 9 ? static_cast<std::size_t>(baudCode) : 4;
    cfsetispeed(&t, kSpeeds[i]);
    cfsetospeed(&t, kSpeeds[i]);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    if (parityCode == 1) {
        t.c_cflag |= PARENB;
    } else if (parityCode == 2) {
        t.c_cflag |= PARENB | PARODD;
    }
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &t) == 0) {
        return true;
    }
    // A pseudo-terminal carries no parity bit: it applies everything else
    // and drops the parity, which tcsetattr may report as EINVAL. Like the
    // program's own port code, take that line as set.
    const int error = errno;
    termios applied{};
    const tcflag_t parity = PARENB | PARODD;
    if (error == EINVAL && tcgetattr(fd, &applied) == 0 &&
        (applied.c_cflag & ~parity) == (t.c_cflag & ~parity) && applied.c_iflag == t.c_iflag &&
        applied.c_oflag == t.c_oflag && applied.c_lflag == t.c_lflag &&
        cfgetispeed(&applied) == cfgetispeed(&t) && cfgetospeed(&applied) == cfgetospeed(&t)) {
        return true;
    }
    errno = error;
    return false;
}

PseudoTerminal::~PseudoTerminal() {
    close();
}

bool PseudoTerminal::open(int baudCode, int parityCode, const std::string& linkPath,
                          std::string& error) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        error = errnoText("posix_openpt");
        return false;
    }
    char name[PATH_MAX] = {};
    if (grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
        error = errnoText("pseudo-terminal set-up");
        ::close(master);
        return false;
    }
    fcntl(master, F_SETFD, fcntl(master, F_GETFD) | FD_CLOEXEC);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
        error = errnoText(std::string("open ") + name);
        ::close(master);
        return false;
    }
    // Raw before any client opens it: an echo would send our own frames
    // back to us. The settings stay with the terminal after this closes.
    configureLine(slave, baudCode, parityCode);
    ::close(slave);
    fd_ = master;
    path_ = name;
    if (linkPath.empty()) {
        return true;
    }
    struct stat st {};
    if (lstat(linkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = linkPath + " exists and is not a symbolic link";
            close();
            return false;
        }
        ::unlink(linkPath.c_str());
    }
    if (symlink(path_.c_str(), linkPath.c_str()) != 0) {
        error = errnoText("symlink " + linkPath);
        close();
        return false;
    }
    linkPath_ = linkPath;
    return true;
}

void PseudoTerminal::close() {
    if (!linkPath_.empty()) {
        char target[PATH_MAX] = {};
        const ssize_t n = readlink(linkPath_.c_str(), target, sizeof target - 1);
        if (n > 0 && path_ == std::string(target, static_cast<std::size_t>(n))) {
            ::unlink(linkPath_.c_str());
        }
        linkPath_.clear();
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

int PseudoTerminal::farBaudCode() const {
    // The far end's settings, read through our end.
    termios t{};
    if (fd_ < 0 || tcgetattr(fd_, &t) != 0) {
        return -1;
    }
    const speed_t speed = cfgetospeed(&t);
    for (std::size_t i = 0; i < kSpeeds.size(); ++i) {
        if (kSpeeds[i] == speed) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void PseudoTerminal::discardUnread() const {
    const int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        // Input side only: a request a new client has already written stays.
        tcflush(fd, TCIFLUSH);
        ::close(fd);
    }
}

} // namespace tksim
