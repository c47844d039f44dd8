#include "platform/SerialPort.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "platform/Clock.h"

namespace platform {

namespace {

speed_t speedFor(std::int32_t baudRate) {
    switch (baudRate) {
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B9600;
    }
}

// Failures are ignored: a device that rejects a setting (a pseudo-terminal
// has no parity or modem lines) still counts as opened.
void applyLineSettings(int fd, const SerialLineSettings& settings) {
    termios t{};
    if (tcgetattr(fd, &t) == 0) {
        const speed_t speed = speedFor(settings.baudRate);
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
        t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
#ifdef CMSPAR
        // Another program may have left the line in mark or space parity.
        t.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
        t.c_cflag |= CS8 | CREAD | CLOCAL;
        if (settings.parityCode == 1) {
            t.c_cflag |= PARENB;
        } else if (settings.parityCode == 2) {
            t.c_cflag |= PARENB | PARODD;
        }
        // Raw bytes: parity of received bytes unchecked, nothing replaced,
        // stripped or discarded, no software flow control.
        t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP |
                                            INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
        t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        // Reads return at once with whatever has arrived.
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        tcsetattr(fd, TCSANOW, &t);
    }
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd, TIOCMBIC, &lines);
}

// Errors by which the system says the device itself is gone: a hung-up
// terminal, an unplugged adapter, the closed far end of a pseudo-terminal.
bool deviceGoneError(int error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

class PosixSerialPort final : public SerialPort {
  public:
    explicit PosixSerialPort(int fd) : fd_(fd) {}

    ~PosixSerialPort() override {
        ioctl(fd_, TIOCNXCL);
        ::close(fd_);
    }

    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    std::size_t read(std::uint8_t* buffer, std::size_t maxBytes) override {
        if (maxBytes == 0) {
            return 0;
        }
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, maxBytes);
            if (n > 0) {
                return static_cast<std::size_t>(n);
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            // 0 is no data (minimum 0, no time) as well as a hang-up; a
            // hang-up also shows in the next wait's poll.
            if (n < 0 && deviceGoneError(errno)) {
                gone_ = true;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                hungUp_ = true;
            }
            return 0;
        }
    }

    bool waitReadable(std::uint32_t timeoutMs) override {
        // A vanished device polls ready for ever; waiting out the time keeps
        // a receive loop from spinning until its timeout.
        if (hungUp_) {
            pauseMs(timeoutMs);
            return false;
        }
        pollfd p{};
        p.fd = fd_;
        p.events = POLLIN;
        int ready = 0;
        do {
            ready = ::poll(&p, 1, static_cast<int>(timeoutMs));
        } while (ready < 0 && errno == EINTR);
        if (ready <= 0) {
            return false;
        }
        if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            hungUp_ = true;
            gone_ = true;
            // Let the caller collect what arrived before the hang-up.
            return (p.revents & POLLIN) != 0;
        }
        return (p.revents & POLLIN) != 0;
    }

    std::size_t write(const std::uint8_t* data, std::size_t count) override {
        std::size_t done = 0;
        int stalls = 0;
        while (done < count) {
            const ssize_t n = ::write(fd_, data + done, count - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && stalls < 20) {
                // The output queue is full: give the line time to drain,
                // but never hang on a device that stopped taking bytes.
                ++stalls;
                pollfd p{};
                p.fd = fd_;
                p.events = POLLOUT;
                ::poll(&p, 1, 100);
                continue;
            }
            if (n < 0 && deviceGoneError(errno)) {
                hungUp_ = true;
                gone_ = true;
            }
            break;
        }
        return done;
    }

    void discardInput() override { tcflush(fd_, TCIFLUSH); }

    bool gone() const override { return gone_; }

  private:
    int fd_;
    bool hungUp_ = false; // waits only pause
    bool gone_ = false;   // the system said the device is gone
};

class PosixSerialBackend final : public SerialBackend {
  public:
    std::unique_ptr<SerialPort> open(std::int32_t comNumber,
                                     const SerialLineSettings& settings) override {
        const std::string path = serialDevicePath(comNumber);
        int fd = -1;
        do {
            fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            return nullptr;
        }
        // Only terminals are serial ports; the lock makes the port exclusive
        // even for a superuser, whom TIOCEXCL does not stop.
        if (isatty(fd) == 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return nullptr;
        }
        ioctl(fd, TIOCEXCL);
        applyLineSettings(fd, settings);
        return std::make_unique<PosixSerialPort>(fd);
    }
};

PosixSerialBackend theSystemBackend;

} // namespace

SerialBackend& systemSerialBackend() {
    return theSystemBackend;
}

std::string serialDevicePath(int comNumber) {
    std::string mapped = mappedSerialDevicePath(comNumber);
    if (!mapped.empty()) {
        return mapped;
    }
    return "/dev/ttyS" + std::to_string(comNumber - 1);
}

} // namespace platform
