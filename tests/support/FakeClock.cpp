#include "support/FakeClock.h"

namespace support {

FakeClock::FakeClock(std::uint32_t msSinceMidnight) : wallMs_(msSinceMidnight) {
    platform::setClockSource(this);
}

FakeClock::~FakeClock() {
    platform::setClockSource(nullptr);
}

void FakeClock::set(std::uint32_t hour, std::uint32_t minute, std::uint32_t second,
                    std::uint32_t millisecond) {
    wallMs_ = ((hour * 60 + minute) * 60 + second) * 1000 + millisecond;
}

void FakeClock::setMs(std::uint32_t msSinceMidnight) {
    wallMs_ = msSinceMidnight;
}

void FakeClock::advance(std::uint32_t ms) {
    wallMs_ = static_cast<std::uint32_t>((static_cast<std::uint64_t>(wallMs_) + ms) % kMsPerDay);
    monotonicMs_ += ms;
}

platform::TimeOfDay FakeClock::timeOfDay() {
    platform::TimeOfDay t;
    // A value past the end of the day reads as the leap second 23:59:60.
    if (wallMs_ >= kMsPerDay) {
        t.hour = 23;
        t.minute = 59;
        t.second = 60;
        t.millisecond = (wallMs_ - kMsPerDay) % 1000;
        return t;
    }
    t.hour = wallMs_ / 3600000;
    t.minute = wallMs_ / 60000 % 60;
    t.second = wallMs_ / 1000 % 60;
    t.millisecond = wallMs_ % 1000;
    return t;
}

void FakeClock::pause(std::uint32_t ms) {
    pauses_.push_back(ms);
    advance(ms);
}

} // namespace support
