#include "sim/Gateway.h"

#include "sim/RtuSlave.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace tksim {

namespace {

constexpr std::uint64_t kSecondUs = 1000000;
// Without a program on the line's far end the terminal reports a hang-up
// at every poll: look again after this.
constexpr std::uint64_t kNoFarEndRetryUs = 50000;
constexpr std::size_t kLineChunk = 512;

std::string unitText(std::uint8_t unit, std::uint8_t function) {
    return "unit " + std::to_string(unit) + " function " + std::to_string(function);
}

std::vector<std::uint8_t> exception(std::uint8_t function, std::uint8_t code) {
    return {static_cast<std::uint8_t>(function | 0x80), code};
}

// What a line job carries back to its client.
struct Origin {
    std::uint32_t connection; // 0: generated inside
    std::uint16_t transaction;
    std::uint8_t unit;
    std::uint8_t function;

    std::uint64_t tag() const {
        return std::uint64_t{connection} << 32 | std::uint64_t{transaction} << 16 |
               std::uint64_t{unit} << 8 | function;
    }
    static Origin of(std::uint64_t tag) {
        return {static_cast<std::uint32_t>(tag >> 32), static_cast<std::uint16_t>(tag >> 16),
                static_cast<std::uint8_t>(tag >> 8), static_cast<std::uint8_t>(tag)};
    }
};

} // namespace

// The line as a pseudo-terminal for an outside slave program. Like a real
// line, a program at another speed hears nothing it can read.
class Gateway::PtyEnd final : public LineEnd {
  public:
    PtyEnd(PseudoTerminal& pty, const LogSink& log) : pty_(pty), log_(log) {}

    void transmit(std::span<const std::uint8_t> frame, const LineSettings& line,
                  std::uint64_t) override {
        pollfd p{pty_.fd(), 0, 0};
        if (poll(&p, 1, 0) > 0 && (p.revents & POLLHUP) != 0) {
            log("line: no slave program on the line");
            return;
        }
        if (const int far = pty_.farBaudCode(); far != line.baudCode) {
            log("line: slave program at " +
                (far < 0 ? std::string("?") : std::to_string(baudRateOf(far))) + " Bd, line at " +
                std::to_string(baudRateOf(line.baudCode)) + " Bd: it cannot read the request");
            return;
        }
        const ssize_t n = ::write(pty_.fd(), frame.data(), frame.size());
        if (n != static_cast<ssize_t>(frame.size())) {
            log("line: the slave program does not read the line; request lost");
        }
        written_ = written_ || n > 0;
    }

    // Requests the program left unread when it went away.
    void farEndGone() {
        if (written_) {
            pty_.discardUnread();
            written_ = false;
        }
    }

  private:
    void log(const std::string& line) const {
        if (log_) {
            log_(line);
        }
    }

    PseudoTerminal& pty_;
    const LogSink& log_;
    bool written_ = false;
};

Gateway::Gateway(DeviceModel& model, const GatewayOptions& options, LogSink log, ClockUs clockUs)
    : model_(model), options_(options), log_(std::move(log)), clockUs_(std::move(clockUs)),
      slaves_(options.lineSlaves, options.slaveDelayMs) {}

Gateway::~Gateway() = default;

bool Gateway::open(std::string& error) {
    if (!options_.lineLink.empty()) {
        const LineSettings line = model_.lineSettings();
        if (!pty_.open(line.baudCode, line.parityCode, options_.lineLink, error)) {
            return false;
        }
        ptyEnd_ = std::make_unique<PtyEnd>(pty_, log_);
    }
    LineEnd& end = ptyEnd_ ? static_cast<LineEnd&>(*ptyEnd_) : slaves_;
    line_ = std::make_unique<MasterLine>(
        model_, end, options_.queueLimit, [this](const LineOutcome& o) { finished(o); }, log_);
    if (options_.tcpServer) {
        server_ = std::make_unique<MbtcpServer>(options_, log_);
        if (!server_->open(error)) {
            return false;
        }
    }
    return true;
}

void Gateway::run(const std::atomic<bool>& stop, int wakeFd) {
    std::vector<pollfd> fds;
    std::vector<MbtcpRequest> requests;
    while (!stop.load()) {
        nowUs_ = clockUs_();
        slaves_.deliver(nowUs_, *line_);
        line_->tick(nowUs_);
        generate(nowUs_);
        const TcpSettings tcp = model_.tcpSettings();
        if (server_) {
            server_->closeIdle(nowUs_, tcp.idleTimeoutS);
        }

        // Wake for the next due event, and at least once a second.
        std::uint64_t next = nowUs_ + kSecondUs;
        const auto earlier = [&next](std::optional<std::uint64_t> t) {
            next = std::min(next, t.value_or(next));
        };
        earlier(line_->nextEventUs());
        earlier(slaves_.nextEventUs());
        if (options_.trafficPerSecond > 0) {
            earlier(nextGeneratedUs_);
        }
        fds.clear();
        fds.push_back({wakeFd, POLLIN, 0});
        const bool watchLine = pty_.fd() >= 0 && nowUs_ >= ptyQuietUntilUs_;
        if (watchLine) {
            fds.push_back({pty_.fd(), POLLIN, 0});
        } else if (pty_.fd() >= 0) {
            earlier(ptyQuietUntilUs_);
        }
        const std::size_t serverAt = fds.size();
        if (server_) {
            earlier(server_->nextIdleUs(tcp.idleTimeoutS));
            server_->addPollFds(fds);
        }
        const std::uint64_t waitUs = next > nowUs_ ? next - nowUs_ : 0;
        const timespec timeout{static_cast<time_t>(waitUs / kSecondUs),
                               static_cast<long>(waitUs % kSecondUs) * 1000};
        if (ppoll(fds.data(), fds.size(), &timeout, nullptr) < 0 && errno != EINTR) {
            break;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            break;
        }
        nowUs_ = clockUs_();
        if (watchLine) {
            if ((fds[1].revents & POLLIN) != 0) {
                readLine(nowUs_);
            } else if ((fds[1].revents & (POLLHUP | POLLERR)) != 0) {
                ptyQuietUntilUs_ = nowUs_ + kNoFarEndRetryUs;
                ptyEnd_->farEndGone();
            }
        }
        if (server_) {
            requests.clear();
            server_->handle(std::span<const pollfd>(fds).subspan(serverAt), nowUs_, requests);
            for (const MbtcpRequest& r : requests) {
                route(r, nowUs_);
            }
        }
    }
}

void Gateway::readLine(std::uint64_t nowUs) {
    std::uint8_t chunk[kLineChunk];
    const ssize_t n = ::read(pty_.fd(), chunk, sizeof chunk);
    if (n <= 0) {
        return;
    }
    const LineSettings line = model_.lineSettings();
    if (const int far = pty_.farBaudCode(); far != line.baudCode) {
        log("line: " + std::to_string(n) + " bytes from a slave program at " +
            (far < 0 ? std::string("?") : std::to_string(baudRateOf(far))) + " Bd, line at " +
            std::to_string(baudRateOf(line.baudCode)) + " Bd: unreadable");
        return;
    }
    line_->receive(std::span<const std::uint8_t>(chunk, static_cast<std::size_t>(n)), nowUs);
}

void Gateway::route(const MbtcpRequest& r, std::uint64_t nowUs) {
    const std::uint8_t function = r.pdu.at(0);
    const TcpSettings tcp = model_.tcpSettings();
    const bool alternative =
        tcp.alternativeUnit != 255 && tcp.alternativeUnit != 0 && r.unit == tcp.alternativeUnit;
    if (r.unit == 255 || alternative) {
        // No register map of the converter itself is known.
        log("mbtcp: " + unitText(r.unit, function) + ": the converter itself, exception 1");
        server_->answer(r.connection, r.transaction, r.unit, exception(function, 1), nowUs);
        return;
    }
    const Origin origin{r.connection, r.transaction, r.unit, function};
    if (line_->submit({origin.tag(), r.unit, r.pdu})) {
        return;
    }
    log("mbtcp: " + unitText(r.unit, function) + ": the line's queue is full, exception 6");
    if (r.unit == 0) {
        server_->unanswered(r.connection);
    } else {
        server_->answer(r.connection, r.transaction, r.unit, exception(function, 6), nowUs);
    }
}

void Gateway::finished(const LineOutcome& outcome) {
    const Origin origin = Origin::of(outcome.tag);
    if (origin.connection == 0 || !server_) {
        return;
    }
    switch (outcome.kind) {
    case LineOutcome::Answer:
        server_->answer(origin.connection, origin.transaction, origin.unit, outcome.pdu, nowUs_);
        break;
    case LineOutcome::Broadcast:
        server_->unanswered(origin.connection);
        break;
    case LineOutcome::NoAnswer:
        log("mbtcp: " + unitText(origin.unit, origin.function) +
            ": no answer on the line, exception 11");
        server_->answer(origin.connection, origin.transaction, origin.unit,
                        exception(origin.function, 0x0B), nowUs_);
        break;
    }
}

void Gateway::generate(std::uint64_t nowUs) {
    if (options_.trafficPerSecond == 0) {
        return;
    }
    const std::uint64_t period = kSecondUs / options_.trafficPerSecond;
    if (nextGeneratedUs_ == 0 || nowUs > nextGeneratedUs_ + kSecondUs) {
        nextGeneratedUs_ = nowUs; // start, or catch up after a stall without a burst
    }
    while (nowUs >= nextGeneratedUs_) {
        nextGeneratedUs_ += period;
        // Clients come first: generated requests use half the queue at most.
        if (line_->queued() * 2 >= options_.queueLimit) {
            continue;
        }
        const std::uint8_t unit =
            slaves_.slaves().empty()
                ? 1
                : slaves_.slaves()[generatedUnit_++ % slaves_.slaves().size()].unit();
        // Ten holding registers from the start of the table.
        line_->submit({0, unit, {0x03, 0x00, 0x00, 0x00, 0x0A}});
    }
}

void Gateway::log(const std::string& line) const {
    if (log_) {
        log_(line);
    }
}

} // namespace tksim
