#include "sim/MasterLine.h"

#include "sim/RtuSlave.h"
#include "sim/SimBytes.h"

#include <algorithm>

namespace tksim {

namespace {

// Bytes pushed onto the line faster than it carries them stop counting once
// they are this far ahead of the clock.
constexpr std::uint64_t kMaxBacklogUs = 2000000;

std::uint16_t get16(std::span<const std::uint8_t> p, std::size_t at) {
    return static_cast<std::uint16_t>(p[at] << 8 | p[at + 1]);
}

// Length of a complete answer (address to CRC) to a standard request; 0 when
// the function's answer has no fixed length.
std::size_t expectedAnswer(std::span<const std::uint8_t> pdu) {
    if (pdu.size() < 5) {
        return 0;
    }
    switch (pdu[0]) {
    case 1:
    case 2:
        return 5 + (get16(pdu, 3) + 7u) / 8;
    case 3:
    case 4:
        return 5 + 2u * get16(pdu, 3);
    case 5:
    case 6:
    case 15:
    case 16:
        return 8;
    default:
        return 0;
    }
}

} // namespace

unsigned bitsPerChar(int parityCode) {
    return parityCode == 0 ? 10 : 11;
}

std::uint64_t wireUs(std::size_t bytes, const LineSettings& line) {
    const std::uint64_t baud = baudRateOf(line.baudCode);
    return (bytes * bitsPerChar(line.parityCode) * 1000000ull + baud - 1) / baud;
}

std::uint64_t silenceUs(const LineSettings& line) {
    const std::uint64_t baud = baudRateOf(line.baudCode);
    return (35ull * bitsPerChar(line.parityCode) * 100000ull + baud - 1) / baud;
}

MasterLine::MasterLine(DeviceModel& model, LineEnd& end, std::size_t queueLimit, Done done,
                       LogSink log)
    : model_(model), end_(end), queueLimit_(queueLimit), done_(std::move(done)),
      log_(std::move(log)) {
    rx_.reserve(kRtuMaxAdu);
}

bool MasterLine::submit(LineJob job) {
    if (queue_.size() >= queueLimit_ || job.pdu.empty()) {
        return false;
    }
    queue_.push_back(std::move(job));
    return true;
}

void MasterLine::tick(std::uint64_t nowUs) {
    for (;;) {
        if (phase_ == Phase::Waiting && nowUs >= deadlineUs_) {
            lineFreeUs_ = std::max(lineFreeUs_, deadlineUs_);
            failAttempt("no answer within " + std::to_string(settings_.timeoutMs) + " ms");
            continue;
        }
        if (phase_ == Phase::Receiving && nowUs >= busyEndUs_ + silenceUs(settings_)) {
            completeAnswer();
            continue;
        }
        if (phase_ != Phase::Idle) {
            return;
        }
        if (!current_ && queue_.empty()) {
            pendingSinceUs_.reset();
            return;
        }
        if (!pendingSinceUs_) {
            pendingSinceUs_ = nowUs;
        }
        if (!current_) {
            current_ = std::move(queue_.front());
            queue_.pop_front();
            attempt_ = 0;
            // A uartm.cfg written meanwhile counts from this request on.
            settings_ = model_.lineSettings();
        }
        if (nowUs < lineFreeUs_) {
            return;
        }
        // Work that was waiting goes out the moment the line is free, even
        // when this tick comes a little later.
        startAttempt(std::max(lineFreeUs_, *pendingSinceUs_));
    }
}

std::optional<std::uint64_t> MasterLine::nextEventUs() const {
    switch (phase_) {
    case Phase::Waiting:
        return deadlineUs_;
    case Phase::Receiving:
        return busyEndUs_ + silenceUs(settings_);
    case Phase::Idle:
        break;
    }
    if (current_ || !queue_.empty()) {
        return lineFreeUs_;
    }
    return std::nullopt;
}

void MasterLine::startAttempt(std::uint64_t startUs) {
    std::vector<std::uint8_t> frame;
    frame.reserve(current_->pdu.size() + 3);
    frame.push_back(current_->unit);
    frame.insert(frame.end(), current_->pdu.begin(), current_->pdu.end());
    appendCrc(frame);
    // The master sends on its own schedule, whatever a slave is doing.
    const std::uint64_t start = startUs;
    requestEndUs_ = start + wireUs(frame.size(), settings_);
    busyEndUs_ = std::max(busyEndUs_, requestEndUs_);
    lineFreeUs_ = requestEndUs_ + silenceUs(settings_);
    ++attempt_;
    model_.lineMessage(start);
    model_.lineBusy(start, requestEndUs_);
    end_.transmit(frame, settings_, start);
    if (current_->unit == 0) {
        log(what() + ": broadcast");
        finish(LineOutcome::Broadcast, {});
        return;
    }
    rx_.clear();
    phase_ = Phase::Waiting;
    deadlineUs_ = requestEndUs_ + std::uint64_t{settings_.timeoutMs} * 1000;
}

void MasterLine::receive(std::span<const std::uint8_t> bytes, std::uint64_t atUs) {
    if (bytes.empty()) {
        return;
    }
    const LineSettings line = current_ ? settings_ : model_.lineSettings();
    if (phase_ == Phase::Idle) {
        // A slave talking out of turn still occupies the line, unless it
        // pushes bytes faster than the line could carry them.
        if (busyEndUs_ <= atUs + kMaxBacklogUs) {
            const std::uint64_t start = std::max(atUs, busyEndUs_);
            busyEndUs_ = start + wireUs(bytes.size(), line);
            model_.lineBusy(start, busyEndUs_);
        }
        log("line: " + std::to_string(bytes.size()) + " bytes nobody asked for, ignored");
        return;
    }
    // An answer cannot start before the request's closing silence; its bytes
    // follow each other on the wire.
    const std::uint64_t floor =
        phase_ == Phase::Waiting ? requestEndUs_ + silenceUs(line) : busyEndUs_;
    const std::uint64_t start = std::max(atUs, floor);
    busyEndUs_ = start + wireUs(bytes.size(), line);
    model_.lineBusy(start, busyEndUs_);
    phase_ = Phase::Receiving;
    if (rx_.size() + bytes.size() > kRtuMaxAdu) {
        failAttempt("answer longer than " + std::to_string(kRtuMaxAdu) + " bytes");
        return;
    }
    rx_.insert(rx_.end(), bytes.begin(), bytes.end());
}

std::string MasterLine::checkAnswer() const {
    if (rx_.size() < 4 || !crcOk(rx_)) {
        return "answer of " + std::to_string(rx_.size()) + " bytes with a wrong CRC";
    }
    if (rx_[0] != current_->unit) {
        return "answer from unit " + std::to_string(rx_[0]);
    }
    const std::uint8_t function = current_->pdu.at(0);
    if (rx_[1] == (function | 0x80)) {
        return rx_.size() == 5 ? ""
                               : "exception answer of " + std::to_string(rx_.size()) + " bytes";
    }
    if (rx_[1] != function) {
        return "answer with function " + std::to_string(rx_[1]);
    }
    const std::size_t expected = expectedAnswer(current_->pdu);
    if (expected != 0 && rx_.size() != expected) {
        return "answer of " + std::to_string(rx_.size()) + " bytes, " + std::to_string(expected) +
               " expected";
    }
    return {};
}

void MasterLine::completeAnswer() {
    lineFreeUs_ = std::max(lineFreeUs_, busyEndUs_ + silenceUs(settings_));
    if (const std::string why = checkAnswer(); !why.empty()) {
        failAttempt(why);
        return;
    }
    const bool negative = (rx_[1] & 0x80) != 0;
    if (negative) {
        model_.lineNegative();
    }
    log(what() + ": " + (negative ? "exception " + std::to_string(rx_[2]) : "answer") + ", " +
        std::to_string(rx_.size()) + " bytes");
    finish(LineOutcome::Answer, std::vector<std::uint8_t>(rx_.begin() + 1, rx_.end() - 2));
}

void MasterLine::failAttempt(const std::string& why) {
    model_.lineError();
    const unsigned attempts = settings_.retries + 1;
    log(what() + ": " + why + " (attempt " + std::to_string(attempt_) + " of " +
        std::to_string(attempts) + ")");
    phase_ = Phase::Idle;
    // A retry waits for the line to fall silent after whatever came last.
    lineFreeUs_ = std::max(lineFreeUs_, busyEndUs_ + silenceUs(settings_));
    if (attempt_ >= attempts) {
        finish(LineOutcome::NoAnswer, {});
    }
}

void MasterLine::finish(LineOutcome::Kind kind, std::vector<std::uint8_t> pdu) {
    LineOutcome outcome{current_->tag, kind, std::move(pdu)};
    current_.reset();
    phase_ = Phase::Idle;
    if (done_) {
        done_(outcome);
    }
}

std::string MasterLine::what() const {
    return "line: unit " + std::to_string(current_->unit) + " function " +
           std::to_string(current_->pdu.empty() ? 0 : current_->pdu[0]);
}

void MasterLine::log(const std::string& line) const {
    if (log_) {
        log_(line);
    }
}

} // namespace tksim
