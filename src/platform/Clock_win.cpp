#include "platform/Clock.h"

#include <windows.h>
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

void systemPauseMs(std::uint32_t ms) { Sleep(ms); }

void systemBeginTimerResolution() { timeBeginPeriod(1); }
void systemEndTimerResolution() { timeEndPeriod(1); }

}  // namespace platform::detail
