#include "sim/RtuSlave.h"

#include "sim/PseudoTerminal.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace tksim {

namespace {

constexpr std::array<unsigned, 9> kRates{600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

std::string errnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

std::uint64_t monoNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000ull +
           static_cast<std::uint64_t>(ts.tv_nsec);
}

void sleepUntilNs(std::uint64_t deadline) {
    timespec ts{static_cast<time_t>(deadline / 1000000000ull),
                static_cast<long>(deadline % 1000000000ull)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

// Waits up to ms, returning early when wakeFd becomes readable.
void interruptibleWait(unsigned ms, int wakeFd) {
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

} // namespace

unsigned baudRateOf(int baudCode) {
    return baudCode >= 0 && baudCode < 9 ? kRates[static_cast<std::size_t>(baudCode)] : 9600;
}

unsigned frameGapUsFor(int baudCode, int parityCode) {
    const unsigned baud = baudRateOf(baudCode);
    if (baud > 19200) {
        return 1750;
    }
    const unsigned bits = parityCode == 1 || parityCode == 2 ? 11 : 10;
    return static_cast<unsigned>(3.5 * bits * 1000000.0 / baud + 0.5);
}

RtuSlave::RtuSlave(DeviceModel& model, const RtuOptions& options, std::function<Faults()> faults,
                   LogSink log)
    : options_(options), faults_(std::move(faults)), log_(std::move(log)),
      protocol_(model, options.address) {}

RtuSlave::~RtuSlave() {
    close();
}

bool RtuSlave::open(std::string& error) {
    return options_.device.empty() ? openPty(error) : openDevice(error);
}

bool RtuSlave::openPty(std::string& error) {
    if (!pty_.open(options_.baudCode, options_.parityCode, options_.linkPath, error)) {
        return false;
    }
    fd_ = pty_.fd();
    isPty_ = true;
    path_ = pty_.path();
    return true;
}

bool RtuSlave::openDevice(std::string& error) {
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

void RtuSlave::close() {
    if (isPty_) {
        pty_.close();
        fd_ = -1;
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void RtuSlave::run(const std::atomic<bool>& stop, int wakeFd) {
    const unsigned gapUs = options_.frameGapUs != 0
                               ? options_.frameGapUs
                               : frameGapUsFor(options_.baudCode, options_.parityCode);
    const timespec gap{static_cast<time_t>(gapUs / 1000000),
                       static_cast<long>(gapUs % 1000000) * 1000};
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
                    log_("rtu: ignored: frame longer than " + std::to_string(kRtuMaxFrame) +
                         " bytes");
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

void RtuSlave::discardUnheard() {
    // A closed port loses what arrives meanwhile; a pseudo-terminal would
    // keep our answers for its next client, so they are flushed.
    unheard_ = false;
    if (!isPty_) {
        return;
    }
    pty_.discardUnread();
    if (log_) {
        log_("rtu: client gone, answers it did not read discarded");
    }
}

bool RtuSlave::clientSpeedMatches(std::string& heard) const {
    // A pseudo-terminal carries no bits, so a client at another speed would
    // be understood; a real line would garble its frames.
    if (!isPty_) {
        return true;
    }
    const int far = pty_.farBaudCode();
    const int own = options_.baudCode >= 0 && options_.baudCode < 9 ? options_.baudCode : 4;
    if (far == own) {
        return true;
    }
    heard = far < 0 ? "?" : std::to_string(baudRateOf(far));
    return false;
}

void RtuSlave::serveFrame(const std::vector<std::uint8_t>& frame, const std::atomic<bool>& stop,
                          int wakeFd) {
    if (std::string heard; !clientSpeedMatches(heard)) {
        if (log_) {
            log_("rtu: ignored: client at " + heard + " Bd, line at " +
                 std::to_string(baudRateOf(options_.baudCode)) + " Bd");
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

bool RtuSlave::sendFrame(const std::vector<std::uint8_t>& frame, const std::atomic<bool>& stop) {
    const unsigned bits = options_.parityCode == 1 || options_.parityCode == 2 ? 11 : 10;
    const std::uint64_t byteNs =
        std::uint64_t{bits} * 1000000000ull / baudRateOf(options_.baudCode);
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
        poll(&p, 1,
             static_cast<int>(std::min<std::uint64_t>((giveUp - now) / 1000000ull + 1, 100)));
    }
    if (options_.pacing) {
        sleepUntilNs(start + frame.size() * byteNs);
    }
    return true;
}

} // namespace tksim
