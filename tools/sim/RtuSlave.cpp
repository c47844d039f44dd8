#include "sim/RtuSlave.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace tksim {

namespace {

constexpr std::array<unsigned, 9> kRates{600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr std::array<speed_t, 9> kSpeeds{B600, B1200, B2400, B4800, B9600, B19200, B38400, B57600, B115200};

std::string errnoText(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

void setCloexec(int fd)
{
    const int flags = fcntl(fd, F_GETFD);
    if (flags >= 0) {
        fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
    }
}

void setNonblock(int fd)
{
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) {
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    }
}

bool configureLine(int fd, int baudCode, int parityCode)
{
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

std::uint64_t monoNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<std::uint64_t>(ts.tv_nsec);
}

void sleepUntilNs(std::uint64_t deadline)
{
    timespec ts{static_cast<time_t>(deadline / 1000000000ull), static_cast<long>(deadline % 1000000000ull)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

// Waits up to ms, returning early when wakeFd becomes readable.
void interruptibleWait(unsigned ms, int wakeFd)
{
    const std::uint64_t end = monoNs() + std::uint64_t{ms} * 1000000ull;
    for (;;) {
        const std::uint64_t now = monoNs();
        if (now >= end) {
            return;
        }
        pollfd p{wakeFd, POLLIN, 0};
        const int waitMs = static_cast<int>((end - now + 999999ull) / 1000000ull);
        if (poll(&p, 1, waitMs) > 0) {
            return;
        }
    }
}

}  // namespace

unsigned baudRateOf(int baudCode)
{
    return baudCode >= 0 && baudCode < 9 ? kRates[static_cast<std::size_t>(baudCode)] : 9600;
}

unsigned frameGapUsFor(int baudCode, int parityCode)
{
    const unsigned baud = baudRateOf(baudCode);
    if (baud > 19200) {
        return 1750;
    }
    const unsigned bits = parityCode == 1 || parityCode == 2 ? 11 : 10;
    return static_cast<unsigned>(3.5 * bits * 1000000.0 / baud + 0.5);
}

RtuSlave::RtuSlave(DeviceModel& model, const RtuOptions& options, std::function<Faults()> faults, LogSink log)
    : options_(options), faults_(std::move(faults)), log_(std::move(log)),
      protocol_(model, options.address)
{
}

RtuSlave::~RtuSlave()
{
    close();
}

bool RtuSlave::open(std::string& error)
{
    return options_.device.empty() ? openPty(error) : openDevice(error);
}

bool RtuSlave::openPty(std::string& error)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        error = errnoText("posix_openpt");
        return false;
    }
    char name[PATH_MAX] = {};
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        error = errnoText("pseudo-terminal set-up");
        ::close(master);
        return false;
    }
    setCloexec(master);
    setNonblock(master);
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
        error = errnoText(std::string("open ") + name);
        ::close(master);
        return false;
    }
    // Raw before any client opens it: an echo would send our answers back to
    // us. The settings stay with the terminal after this descriptor closes.
    configureLine(slave, options_.baudCode, options_.parityCode);
    ::close(slave);
    fd_ = master;
    isPty_ = true;
    path_ = name;
    if (!options_.linkPath.empty()) {
        struct stat st{};
        if (lstat(options_.linkPath.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                error = options_.linkPath + " exists and is not a symbolic link";
                close();
                return false;
            }
            ::unlink(options_.linkPath.c_str());
        }
        if (symlink(path_.c_str(), options_.linkPath.c_str()) != 0) {
            error = errnoText("symlink " + options_.linkPath);
            close();
            return false;
        }
        linkMade_ = true;
    }
    return true;
}

bool RtuSlave::openDevice(std::string& error)
{
    const int fd = ::open(options_.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errnoText("open " + options_.device);
        return false;
    }
    if (!configureLine(fd, options_.baudCode, options_.parityCode)) {
        error = errnoText("line settings of " + options_.device);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    path_ = options_.device;
    return true;
}

void RtuSlave::close()
{
    if (linkMade_) {
        // Remove the link only while it still points to our terminal.
        char target[PATH_MAX] = {};
        const ssize_t n = readlink(options_.linkPath.c_str(), target, sizeof target - 1);
        if (n > 0 && path_ == std::string(target, static_cast<std::size_t>(n))) {
            ::unlink(options_.linkPath.c_str());
        }
        linkMade_ = false;
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void RtuSlave::run(const std::atomic<bool>& stop, int wakeFd)
{
    const unsigned gapUs = options_.frameGapUs != 0 ? options_.frameGapUs
                                                    : frameGapUsFor(options_.baudCode, options_.parityCode);
    const timespec gap{static_cast<time_t>(gapUs / 1000000), static_cast<long>(gapUs % 1000000) * 1000};
    std::vector<std::uint8_t> frame;
    frame.reserve(kRtuMaxFrame);
    bool collecting = false;
    bool overflow = false;
    std::uint8_t chunk[512];
    while (!stop.load()) {
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int r = ppoll(fds, 2, collecting ? &gap : nullptr, nullptr);
        if (r < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            break;
        }
        if (r == 0) {
            // Silence: the frame is complete.
            if (overflow) {
                if (log_) {
                    log_("rtu: ignored: frame longer than " + std::to_string(kRtuMaxFrame) + " bytes");
                }
            } else {
                serveFrame(frame, stop, wakeFd);
            }
            frame.clear();
            collecting = false;
            overflow = false;
            continue;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            const ssize_t n = ::read(fd_, chunk, sizeof chunk);
            if (n > 0) {
                collecting = true;
                if (!overflow) {
                    if (frame.size() + static_cast<std::size_t>(n) > kRtuMaxFrame) {
                        // An endless stream: drop it all until the line falls silent.
                        overflow = true;
                        frame.clear();
                    } else {
                        frame.insert(frame.end(), chunk, chunk + n);
                    }
                }
                continue;
            }
        }
        if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            // No client on the terminal (or the device is gone): no more bytes
            // of this frame will come.
            if (collecting && !overflow) {
                serveFrame(frame, stop, wakeFd);
            }
            frame.clear();
            collecting = false;
            overflow = false;
            if (unheard_) {
                discardUnheard();
            }
            // Look again shortly instead of spinning on the hang-up.
            pollfd w{wakeFd, POLLIN, 0};
            poll(&w, 1, 10);
        }
    }
}

void RtuSlave::discardUnheard()
{
    // A closed port loses what arrives meanwhile; a pseudo-terminal would
    // keep our answers for its next client, so they are flushed.
    unheard_ = false;
    if (!isPty_) {
        return;
    }
    const int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        // Input side only: a request a new client has already written stays.
        tcflush(fd, TCIFLUSH);
        ::close(fd);
        if (log_) {
            log_("rtu: client gone, answers it did not read discarded");
        }
    }
}

bool RtuSlave::clientSpeedMatches(std::string& heard) const
{
    // A pseudo-terminal carries no bits, so a client at another speed would
    // be understood; a real line would garble its frames. The client's
    // speed is that of the terminal's far end, read through the master.
    if (!isPty_) {
        return true;
    }
    termios t{};
    if (tcgetattr(fd_, &t) != 0) {
        return true;
    }
    const std::size_t own = options_.baudCode >= 0 && options_.baudCode < 9 ? static_cast<std::size_t>(options_.baudCode) : 4;
    const speed_t speed = cfgetospeed(&t);
    if (speed == kSpeeds[own]) {
        return true;
    }
    heard = "?";
    for (std::size_t i = 0; i < kSpeeds.size(); ++i) {
        if (kSpeeds[i] == speed) {
            heard = std::to_string(kRates[i]);
        }
    }
    return false;
}

void RtuSlave::serveFrame(const std::vector<std::uint8_t>& frame, const std::atomic<bool>& stop, int wakeFd)
{
    if (std::string heard; !clientSpeedMatches(heard)) {
        if (log_) {
            log_("rtu: ignored: client at " + heard + " Bd, line at " + std::to_string(baudRateOf(options_.baudCode)) + " Bd");
        }
        return;
    }
    const Faults faults = faults_ ? faults_() : Faults{};
    RtuReply reply = protocol_.handle(frame, faults);
    if (reply.send) {
        const unsigned wait = faults.delayMs + options_.turnaroundMs;
        if (wait > 0) {
            interruptibleWait(wait, wakeFd);
        }
        if (!stop.load() && !sendFrame(reply.frame, stop)) {
            reply.note += " [answer not delivered]";
        }
    }
    if (log_) {
        log_("rtu: " + reply.note);
    }
}

bool RtuSlave::sendFrame(const std::vector<std::uint8_t>& frame, const std::atomic<bool>& stop)
{
    const unsigned bits = options_.parityCode == 1 || options_.parityCode == 2 ? 11 : 10;
    const std::uint64_t byteNs = std::uint64_t{bits} * 1000000000ull / baudRateOf(options_.baudCode);
    const std::uint64_t start = monoNs();
    const std::uint64_t giveUp = start + 1000000000ull + byteNs * frame.size();
    std::size_t sent = 0;
    while (sent < frame.size()) {
        if (stop.load()) {
            return false;
        }
        std::size_t count = frame.size() - sent;
        if (options_.pacing) {
            // One byte at a time, each at its place on the line's time axis.
            sleepUntilNs(start + sent * byteNs);
            count = 1;
        }
        const ssize_t n = ::write(fd_, frame.data() + sent, count);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            unheard_ = true;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        // Nobody reads the other side: wait for room, but not for ever.
        const std::uint64_t now = monoNs();
        if (now >= giveUp) {
            return false;
        }
        pollfd p{fd_, POLLOUT, 0};
        poll(&p, 1, static_cast<int>(std::min<std::uint64_t>((giveUp - now) / 1000000ull + 1, 100)));
    }
    if (options_.pacing) {
        sleepUntilNs(start + frame.size() * byteNs);
    }
    return true;
}

}  // namespace tksim
