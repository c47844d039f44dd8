#include "platform/Clock.h"

#include <windows.h>

// After windows.h, whose types it uses.
#include <timeapi.h>

namespace platform::detail {

TimeOfDay systemTimeOfDay() {
    SYSTEMTIME local{};
    GetLocalTime(&local);
    TimeOfDay result;
    result.hour = local.wHour;
    result.minute = local.wMinute;
    result.second = local.wSecond;
    result.millisecond = local.wMilliseconds;
    return result;
}

std::uint64_t systemMonotonicUs() {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER counter{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    // Whole seconds and the rest apart, so the product cannot overflow.
    const auto ticks = static_cast<std::uint64_t>(counter.QuadPart);
    const auto perSecond = static_cast<std::uint64_t>(frequency.QuadPart);
    return ticks / perSecond * 1000000u + ticks % perSecond * 1000000u / perSecond;
}

void systemPauseMs(std::uint32_t ms) {
    Sleep(ms);
}

void systemBeginTimerResolution() {
    timeBeginPeriod(1);
}
void systemEndTimerResolution() {
    timeEndPeriod(1);
}

} // namespace platform::detail
