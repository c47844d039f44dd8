#include "sim/DeviceModel.h"

#include "sim/SimBytes.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

namespace tksim {

namespace {

constexpr std::array<FileInfo, 9> kCatalog{{
    {SimFile::Info, "info.txt", 0, true, false, 0},
    {SimFile::Sys, "sys.bin", 2, true, false, 0},
    {SimFile::Ctrl, "ctrl.bin", 3, false, true, 23},
    {SimFile::Mmrd, "mmrd.bin", 6, true, false, 0},
    {SimFile::Mmrgv, "mmrgv.bin", 7, true, false, 0},
    {SimFile::Lan4, "lan4.cfg", 20, true, true, 16},
    {SimFile::Mbtcp, "mbtcp.cfg", 22, true, true, 3},
    {SimFile::Uartm, "uartm.cfg", 23, true, true, 6},
    {SimFile::Uarts, "uarts.cfg", 24, true, true, 5},
}};

constexpr std::array<unsigned, 9> kBaudRates{600,   1200,  2400,  4800,  9600,
                                             19200, 38400, 57600, 115200};

// Character times of one invented master exchange: request, answer and the gaps.
constexpr unsigned kCharsPerExchange = 40;

constexpr std::uint64_t kUsPerSecond = 1000000;
// Seconds of counted traffic kept ahead of the ring; a frame is never longer.
constexpr std::size_t kMaxPendingSeconds = 64;

constexpr std::uint8_t kNotDecodedFill = 0xEE;

std::vector<std::uint8_t> withChecksum(std::vector<std::uint8_t> bytes) {
    bytes.push_back(checksumFor(bytes));
    return bytes;
}

void putText(std::vector<std::uint8_t>& image, std::size_t offset, std::size_t width,
             std::string_view text) {
    for (std::size_t i = 0; i < width; ++i) {
        image.at(offset + i) = i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0;
    }
}

// A clock stamp: hundredths, weekday, second, minute, hour, day, month, year - 2000.
std::array<std::uint8_t, 8> rtcStamp(std::time_t t, unsigned hundredths) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return {static_cast<std::uint8_t>(hundredths % 100),
            static_cast<std::uint8_t>(tm.tm_wday),
            static_cast<std::uint8_t>(tm.tm_sec),
            static_cast<std::uint8_t>(tm.tm_min),
            static_cast<std::uint8_t>(tm.tm_hour),
            static_cast<std::uint8_t>(tm.tm_mday),
            static_cast<std::uint8_t>(tm.tm_mon + 1),
            static_cast<std::uint8_t>((tm.tm_year + 1900 - 2000) & 0xFF)};
}

void putBytes(std::vector<std::uint8_t>& image, std::size_t offset,
              std::span<const std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
}

std::string padded(std::string_view text, std::size_t width) {
    std::string out(text.substr(0, std::min(text.size(), width)));
    out.resize(width, ' ');
    return out;
}

std::uint64_t steadyMs() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

} // namespace

std::span<const FileInfo> fileCatalog() {
    return kCatalog;
}

const FileInfo* fileByName(std::string_view name) {
    for (const FileInfo& f : kCatalog) {
        if (f.name == name) {
            return &f;
        }
    }
    return nullptr;
}

const FileInfo* fileByNumber(std::uint8_t number) {
    for (const FileInfo& f : kCatalog) {
        if (f.number == number) {
            return &f;
        }
    }
    return nullptr;
}

const FileInfo& fileInfo(SimFile id) {
    return kCatalog.at(static_cast<std::size_t>(id));
}

const char* describe(WriteResult result) {
    switch (result) {
    case WriteResult::Accepted:
        return "accepted";
    case WriteResult::NotWritable:
        return "file is read-only";
    case WriteResult::BadLength:
        return "wrong file length";
    case WriteResult::BadChecksum:
        return "wrong checksum";
    case WriteResult::UnknownCommand:
        return "unknown command";
    }
    return "?";
}

std::string DeviceModel::infoText(const Identity& identity) {
    return identity.type + " (v." + identity.version + " sn." + identity.serial + ")\r\n";
}

std::vector<std::uint8_t> DeviceModel::factoryImage(SimFile file) {
    switch (file) {
    case SimFile::Lan4:
        return withChecksum({0xC0, 0xA8, 0x00, 0x63, 0xFF, 0xFF, 0xFF, 0x00, 0xC0, 0xA8, 0x00, 0xC8,
                             0x00, 0x00, 0x00});
    case SimFile::Mbtcp:
        return withChecksum({255, 5});
    case SimFile::Uarts:
        return withChecksum({247, 4, 1, 0});
    case SimFile::Uartm:
        return withChecksum({4, 1, 0x4A, 0x01, 0});
    default:
        return {};
    }
}

DeviceModel::DeviceModel(const ModelOptions& options, Clock clock)
    : clock_(clock ? std::move(clock) : Clock(steadyMs)), options_(options) {
    lan4_ = factoryImage(SimFile::Lan4);
    mbtcp_ = factoryImage(SimFile::Mbtcp);
    uartm_ = factoryImage(SimFile::Uartm);
    uarts_ = factoryImage(SimFile::Uarts);
    const std::uint64_t t = now();
    clockAtStartMs_ = t;
    wallAtStartMs_ = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    const std::uint64_t initialMs = std::uint64_t{options.initialUptimeS} * 1000;
    // Run time counts from a boot moment; with an initial run time larger
    // than the clock value the difference is kept as an offset.
    bootMs_ = t;
    extraMs_ = initialMs;
    // A device that has been running fills its history ring first.
    processedSeconds_ = options.initialUptimeS > kRingSize ? options.initialUptimeS - kRingSize : 0;
    std::copy_n(lan4_.begin(), 4, ipInForce_.begin());
    std::copy_n(lan4_.begin() + 4, 4, maskInForce_.begin());
    std::copy_n(lan4_.begin() + 8, 4, gatewayInForce_.begin());
    dhcpInForce_ = lan4_[12];
}

std::uint64_t DeviceModel::now() const {
    return clock_();
}

std::uint64_t DeviceModel::uptimeAt(std::uint64_t nowMs) const {
    return (nowMs >= bootMs_ ? nowMs - bootMs_ : 0) + extraMs_;
}

unsigned DeviceModel::ratePerSecond(unsigned load) const {
    const unsigned code = uartm_.at(0);
    const unsigned baud = code < kBaudRates.size() ? kBaudRates[code] : 9600;
    const unsigned bits = uartm_.at(1) == 0 ? 10 : 11;
    return baud / bits / kCharsPerExchange * load / 100;
}

void DeviceModel::advance(std::uint64_t nowMs) {
    const std::uint64_t second = uptimeAt(nowMs) / 1000;
    if (second <= processedSeconds_) {
        return;
    }
    std::uint64_t n = second - processedSeconds_;
    if (n > 86400) {
        // Long silence: count the skipped time in bulk, simulate only the
        // seconds the ring can still show.
        const std::uint64_t skip = n - kRingSize;
        if (invented()) {
            messagesMilli_ +=
                static_cast<std::int64_t>(skip * ratePerSecond(inventedLoad()) * 1000);
        }
        processedSeconds_ += skip;
        seconds_.erase(seconds_.begin(), seconds_.lower_bound(processedSeconds_));
        n = kRingSize;
    }
    for (; processedSeconds_ < second; ++processedSeconds_) {
        unsigned load = 0;
        if (invented()) {
            load = inventedLoad();
            messagesMilli_ += static_cast<std::int64_t>(ratePerSecond(load)) * 1000;
        } else {
            Second counted;
            if (const auto it = seconds_.find(processedSeconds_); it != seconds_.end()) {
                counted = it->second;
                seconds_.erase(it);
            }
            // Busy time to the nearest percent.
            load = static_cast<unsigned>(
                std::min<std::uint64_t>((counted.busyUs + 5000) / 10000, 100));
            lastLoad_ = static_cast<std::uint8_t>(load);
            lastPerSecond_ =
                static_cast<std::uint16_t>(std::min<std::uint32_t>(counted.messages, 65535));
        }
        ring_[ringIndex_] = static_cast<std::uint8_t>(load);
        ringIndex_ = (ringIndex_ + 1) % kRingSize;
        ringCount_ = std::min<std::uint32_t>(ringCount_ + 1, kRingSize);
    }
}

void DeviceModel::restartLocked(std::uint64_t nowMs) {
    bootMs_ = nowMs;
    extraMs_ = 0;
    unreachableUntil_ = nowMs + options_.restartMs;
    processedSeconds_ = 0;
    messagesMilli_ = 0;
    seconds_.clear();
    messages_ = errors_ = negatives_ = 0;
    lastPerSecond_ = 0;
    lastLoad_ = 0;
    ring_.fill(0);
    ringCount_ = 0;
    ringIndex_ = 0;
    ++restarts_;
    // New network settings take effect at a restart.
    std::copy_n(lan4_.begin(), 4, ipInForce_.begin());
    std::copy_n(lan4_.begin() + 4, 4, maskInForce_.begin());
    std::copy_n(lan4_.begin() + 8, 4, gatewayInForce_.begin());
    dhcpInForce_ = lan4_[12];
}

MasterStats DeviceModel::statsLocked(std::uint64_t nowMs) const {
    MasterStats s;
    if (!invented()) {
        s.messages = messages_;
        s.errors = errors_;
        s.negatives = negatives_;
        s.perSecond = lastPerSecond_;
        s.load = lastLoad_;
        return s;
    }
    const std::uint64_t up = uptimeAt(nowMs);
    const unsigned load = inventedLoad();
    const unsigned currentRate = ratePerSecond(load);
    std::int64_t milli = messagesMilli_ + static_cast<std::int64_t>(currentRate * (up % 1000));
    milli = std::max<std::int64_t>(milli, 0);
    s.messages = static_cast<std::uint32_t>(milli / 1000);
    s.errors = s.messages / 97;
    s.negatives = s.messages / 41;
    if (processedSeconds_ > 0) {
        s.load = static_cast<std::uint8_t>(load);
        s.perSecond = static_cast<std::uint16_t>(currentRate);
    }
    return s;
}

std::vector<std::uint8_t>& DeviceModel::stored(SimFile file) {
    switch (file) {
    case SimFile::Lan4:
        return lan4_;
    case SimFile::Mbtcp:
        return mbtcp_;
    case SimFile::Uartm:
        return uartm_;
    default:
        return uarts_;
    }
}

std::vector<std::uint8_t> DeviceModel::read(SimFile file) {
    std::lock_guard lock(mutex_);
    const std::uint64_t t = now();
    advance(t);
    if (const auto& image = scripted_[static_cast<std::size_t>(file)]; !image.empty()) {
        return image;
    }
    switch (file) {
    case SimFile::Info: {
        const std::string text = infoText(options_.identity);
        return {text.begin(), text.end()};
    }
    case SimFile::Sys:
        return sysImage(t);
    case SimFile::Ctrl:
        return {};
    case SimFile::Mmrd: {
        const MasterStats s = statsLocked(t);
        std::vector<std::uint8_t> image(kMmrdSize, 0);
        putU32(image, 0, s.messages);
        putU32(image, 4, s.errors);
        putU32(image, 8, s.negatives);
        putU16(image, 12, s.perSecond);
        image[14] = s.load;
        image[15] = 0;
        return image;
    }
    case SimFile::Mmrgv: {
        std::vector<std::uint8_t> image(kMmrgvSize, 0);
        putU32(image, 0, ringCount_);
        putU32(image, 4, kRingSize);
        putU32(image, 8, ringIndex_);
        std::copy(ring_.begin(), ring_.end(), image.begin() + 12);
        return image;
    }
    case SimFile::Lan4:
    case SimFile::Mbtcp:
    case SimFile::Uartm:
    case SimFile::Uarts:
        return stored(file);
    }
    return {};
}

std::vector<std::uint8_t> DeviceModel::sysImage(std::uint64_t nowMs) {
    std::vector<std::uint8_t> image(kSysSize, 0);
    const Identity& id = options_.identity;
    const std::string loader = "TK-7713T loader v1.02"; // 21 characters
    putText(image, 0, 24, id.type + " FW " + id.version);
    putText(image, 24, 15, std::string_view(loader).substr(0, 15));
    std::fill_n(image.begin() + 39, 3, std::uint8_t{'*'});
    putText(image, 42, 6, std::string_view(loader).substr(15, 6));
    putText(image, 48, 8, id.serial);
    putU32(image, 56, 187392);
    for (std::size_t i = 0; i < 16; ++i) {
        const char c = id.version.empty() ? 'x' : id.version[i % id.version.size()];
        image[60 + i] = static_cast<std::uint8_t>(0x5A ^ (i * 37) ^ static_cast<std::uint8_t>(c));
    }
    const std::array<std::uint8_t, 6> buildStamp{0, 30, 12, 15, 3, 24};
    putBytes(image, 76, buildStamp);
    putText(image, 82, 38, "tk7713t_" + id.version + ".hbin");
    const std::array<std::uint8_t, 6> mac{0x02, 0x54, 0x4B, 0x77, 0x13, 0x01};
    putBytes(image, 120, mac);
    std::fill_n(image.begin() + 126, 2, kNotDecodedFill);
    putBytes(image, 128, ipInForce_);
    putBytes(image, 132, maskInForce_);
    putBytes(image, 136, gatewayInForce_);
    putU32(image, 140, dhcpInForce_);
    const std::array<std::uint8_t, 16> linkLocal{0xFE, 0x80, 0,    0,    0,    0,    0,    0,
                                                 0x00, 0x54, 0x4B, 0xFF, 0xFE, 0x77, 0x13, 0x01};
    putBytes(image, 144, linkLocal);
    putU32(image, 208, 0);
    std::fill_n(image.begin() + 212, 16, kNotDecodedFill);

    const std::uint64_t up = uptimeAt(nowMs);
    const std::uint32_t seconds = static_cast<std::uint32_t>(up / 1000);
    putU32(image, 228, static_cast<std::uint32_t>(up & 0xFFFFFFFFu));
    putU32(image, 232, static_cast<std::uint32_t>(up >> 32));
    putU32(image, 236, static_cast<std::uint32_t>(up / 10));
    putU32(image, 240, seconds);

    // The clock stamps follow the model's clock, so a frozen clock gives a
    // frozen file.
    const std::int64_t wallMs = wallAtStartMs_ + static_cast<std::int64_t>(nowMs - clockAtStartMs_);
    const std::time_t wall = static_cast<std::time_t>(wallMs / 1000);
    const unsigned hundredths = static_cast<unsigned>((wallMs % 1000) / 10);
    const auto rtc = rtcStamp(wall, hundredths);
    putBytes(image, 244, rtc);
    const auto offStamp = rtcStamp(wall - static_cast<std::time_t>(seconds) - 3600, 0);
    putBytes(image, 252, offStamp);
    const auto onStamp = rtcStamp(wall - static_cast<std::time_t>(seconds), 0);
    putBytes(image, 260, onStamp);
    putU32(image, 268, 0);
    putU32(image, 272, 17);
    putU32(image, 276, 18);
    putU32(image, 280, restarts_);
    putU32(image, 284, 0);
    putU32(image, 288, 2);

    // Slowly drifting measurements, one per second of run time.
    const double s = static_cast<double>(seconds);
    const std::uint32_t stamp = static_cast<std::uint32_t>((up / 1000 * 1000) & 0xFFFFFFFFu);
    auto measurement = [&](std::size_t offset, float value, float lo, float hi) {
        putF32(image, offset, value);
        putF32(image, offset + 4, lo);
        putF32(image, offset + 8, hi);
        putU32(image, offset + 12, 0);
        putU32(image, offset + 16, stamp);
        putBytes(image, offset + 20, rtc);
        putU32(image, offset + 28, seconds + 1);
    };
    measurement(292, static_cast<float>(41.5 + 1.5 * std::sin(s / 90.0)), 38.25f, 47.75f);
    measurement(324, static_cast<float>(33.0 + 0.8 * std::sin(s / 150.0)), 21.5f, 36.0f);
    const float volts = static_cast<float>(24.1 + 0.05 * std::sin(s / 30.0));
    putF32(image, 356, volts);
    putF32(image, 360, volts + 0.27f);
    putF32(image, 364, 23.9f);
    putF32(image, 368, 24.3f);
    putU32(image, 372, 0);
    putU32(image, 376, stamp);
    putBytes(image, 380, rtc);
    putU32(image, 388, seconds + 1);
    return image;
}

WriteResult DeviceModel::write(SimFile file, std::span<const std::uint8_t> image, bool commit) {
    const FileInfo& info = fileInfo(file);
    if (!info.writable) {
        return WriteResult::NotWritable;
    }
    if (image.size() != info.writeSize) {
        return WriteResult::BadLength;
    }
    if (!checksumOk(image)) {
        return WriteResult::BadChecksum;
    }
    std::lock_guard lock(mutex_);
    const std::uint64_t t = now();
    advance(t);
    if (file == SimFile::Ctrl) {
        const std::uint8_t command = image[0];
        if (command != 0 && command != 1) {
            return WriteResult::UnknownCommand;
        }
        if (commit) {
            if (command == 0) {
                restartLocked(t);
            } else if (invented()) {
                // Clearing starts the count again from this moment.
                const std::uint64_t up = uptimeAt(t);
                messagesMilli_ =
                    -static_cast<std::int64_t>(ratePerSecond(inventedLoad()) * (up % 1000));
            } else {
                messages_ = errors_ = negatives_ = 0;
            }
        }
        return WriteResult::Accepted;
    }
    if (commit) {
        stored(file).assign(image.begin(), image.end());
    }
    return WriteResult::Accepted;
}

bool DeviceModel::reachable() {
    std::lock_guard lock(mutex_);
    return now() >= unreachableUntil_;
}

bool DeviceModel::identityItem(std::uint8_t item, std::array<char, 4>& out) {
    std::lock_guard lock(mutex_);
    const Identity& id = options_.identity;
    std::string source;
    switch (item) {
    case 0:
        source = padded(id.type, 8).substr(0, 4);
        break;
    case 1:
        source = padded(id.type, 8).substr(4, 4);
        break;
    case 2:
        source = padded(id.version, 4);
        break;
    case 10:
        source = padded(id.serial, 8).substr(0, 4);
        break;
    case 11:
        source = padded(id.serial, 8).substr(4, 4);
        break;
    default:
        return false;
    }
    std::copy_n(source.begin(), 4, out.begin());
    return true;
}

Identity DeviceModel::identity() {
    std::lock_guard lock(mutex_);
    return options_.identity;
}

void DeviceModel::setIdentity(const Identity& identity) {
    std::lock_guard lock(mutex_);
    options_.identity = identity;
}

void DeviceModel::setMasterLoad(int percent) {
    std::lock_guard lock(mutex_);
    advance(now());
    options_.masterLoad = percent;
    seconds_.clear();
}

void DeviceModel::setRestartMs(unsigned ms) {
    std::lock_guard lock(mutex_);
    options_.restartMs = ms;
}

void DeviceModel::setImage(SimFile file, std::vector<std::uint8_t> image) {
    std::lock_guard lock(mutex_);
    scripted_[static_cast<std::size_t>(file)] = std::move(image);
}

void DeviceModel::restart() {
    std::lock_guard lock(mutex_);
    restartLocked(now());
}

void DeviceModel::clearStatistics() {
    const std::vector<std::uint8_t> command =
        withChecksum({1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    write(SimFile::Ctrl, command);
}

std::uint64_t DeviceModel::uptimeMs() {
    std::lock_guard lock(mutex_);
    return uptimeAt(now());
}

MasterStats DeviceModel::masterStats() {
    std::lock_guard lock(mutex_);
    const std::uint64_t t = now();
    advance(t);
    return statsLocked(t);
}

unsigned DeviceModel::restartCount() {
    std::lock_guard lock(mutex_);
    return restarts_;
}

LineSettings DeviceModel::lineSettings() {
    std::lock_guard lock(mutex_);
    LineSettings s;
    s.baudCode = std::min<int>(uartm_.at(0), 8);
    s.parityCode = uartm_.at(1) <= 2 ? uartm_.at(1) : 1;
    s.timeoutMs = std::max<unsigned>(uartm_.at(2) | uartm_.at(3) << 8, 1);
    s.retries = uartm_.at(4);
    return s;
}

TcpSettings DeviceModel::tcpSettings() {
    std::lock_guard lock(mutex_);
    TcpSettings s;
    s.alternativeUnit = mbtcp_.at(0);
    s.idleTimeoutS = std::max<unsigned>(mbtcp_.at(1), 1);
    return s;
}

bool DeviceModel::secondOf(std::uint64_t atUs, std::uint64_t& second,
                           std::uint64_t& usIntoSecond) const {
    if (atUs < bootMs_ * 1000) {
        return false;
    }
    const std::uint64_t up = atUs - bootMs_ * 1000 + extraMs_ * 1000;
    second = up / kUsPerSecond;
    usIntoSecond = up % kUsPerSecond;
    // A second already in the ring cannot change any more.
    return second >= processedSeconds_;
}

void DeviceModel::lineBusy(std::uint64_t fromUs, std::uint64_t toUs) {
    std::lock_guard lock(mutex_);
    advance(now());
    if (invented()) {
        return;
    }
    // Split the interval at second boundaries.
    while (fromUs < toUs) {
        std::uint64_t second = 0;
        std::uint64_t into = 0;
        const bool counted = secondOf(fromUs, second, into);
        const std::uint64_t part = std::min(toUs - fromUs, kUsPerSecond - into);
        if (counted && (seconds_.size() < kMaxPendingSeconds || seconds_.count(second) != 0)) {
            seconds_[second].busyUs += part;
        }
        fromUs += part;
    }
}

void DeviceModel::lineMessage(std::uint64_t atUs) {
    std::lock_guard lock(mutex_);
    advance(now());
    if (invented()) {
        return;
    }
    ++messages_;
    std::uint64_t second = 0;
    std::uint64_t into = 0;
    if (secondOf(atUs, second, into) &&
        (seconds_.size() < kMaxPendingSeconds || seconds_.count(second) != 0)) {
        ++seconds_[second].messages;
    }
}

void DeviceModel::lineError() {
    std::lock_guard lock(mutex_);
    if (!invented()) {
        ++errors_;
    }
}

void DeviceModel::lineNegative() {
    std::lock_guard lock(mutex_);
    if (!invented()) {
        ++negatives_;
    }
}

} // namespace tksim
