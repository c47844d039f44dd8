#include "platform/Clock.h"

#include <atomic>
#include <mutex>

namespace platform {

namespace {

class SystemClock final : public ClockSource {
  public:
    TimeOfDay timeOfDay() override { return detail::systemTimeOfDay(); }
    std::uint64_t monotonicUs() override { return detail::systemMonotonicUs(); }
    void pause(std::uint32_t ms) override { detail::systemPauseMs(ms); }
};

SystemClock theSystemClock;
std::atomic<ClockSource*> installedClock{nullptr};

std::mutex resolutionMutex;
std::uint32_t resolutionRequests = 0;

ClockSource& currentClock() {
    ClockSource* source = installedClock.load();
    return source != nullptr ? *source : theSystemClock;
}

} // namespace

void setClockSource(ClockSource* source) {
    installedClock.store(source);
}

ClockSource& systemClock() {
    return theSystemClock;
}

TimeOfDay localTimeOfDay() {
    return currentClock().timeOfDay();
}

std::uint64_t monotonicUs() {
    return currentClock().monotonicUs();
}

void pauseMs(std::uint32_t ms) {
    currentClock().pause(ms);
}

void requestTimerResolution() {
    std::lock_guard<std::mutex> lock(resolutionMutex);
    detail::systemBeginTimerResolution();
    ++resolutionRequests;
}

void releaseTimerResolution() {
    std::lock_guard<std::mutex> lock(resolutionMutex);
    if (resolutionRequests == 0) {
        return;
    }
    --resolutionRequests;
    detail::systemEndTimerResolution();
}

std::uint32_t timerResolutionRequests() {
    std::lock_guard<std::mutex> lock(resolutionMutex);
    return resolutionRequests;
}

} // namespace platform
