#include "platform/Clock.h"

#include <cerrno>
#include <ctime>

namespace platform::detail {

TimeOfDay systemTimeOfDay() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    const std::time_t seconds = now.tv_sec;
    localtime_r(&seconds, &local);
    TimeOfDay result;
    result.hour = static_cast<std::uint32_t>(local.tm_hour);
    result.minute = static_cast<std::uint32_t>(local.tm_min);
    result.second = static_cast<std::uint32_t>(local.tm_sec);
    result.millisecond = static_cast<std::uint32_t>(now.tv_nsec / 1000000);
    return result;
}

std::uint64_t systemMonotonicUs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
}

void systemPauseMs(std::uint32_t ms) {
    timespec remaining{};
    remaining.tv_sec = static_cast<std::time_t>(ms / 1000);
    remaining.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    // Signals must not shorten a pause.
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

// The system timer of POSIX systems already has a fine resolution.
void systemBeginTimerResolution() {}
void systemEndTimerResolution() {}

} // namespace platform::detail
