// Local wall-clock time of day with milliseconds, a monotonic microsecond
// count, blocking pauses and the 1 ms system timer resolution request.
#pragma once

#include <cstdint>

namespace platform {

struct TimeOfDay {
    std::uint32_t hour = 0;
    std::uint32_t minute = 0;
    std::uint32_t second = 0; // may be 60 during a leap second
    std::uint32_t millisecond = 0;
};

// Source of time and pauses; the seam through which tests substitute a
// fake clock that never really sleeps.
class ClockSource {
  public:
    virtual ~ClockSource() = default;
    virtual TimeOfDay timeOfDay() = 0;
    // Microseconds from an arbitrary start; never goes back, whatever the
    // wall clock does.
    virtual std::uint64_t monotonicUs() = 0;
    virtual void pause(std::uint32_t ms) = 0;
};

// Installs a clock for every later call; nullptr restores the system clock.
void setClockSource(ClockSource* source);
// The operating system's clock.
ClockSource& systemClock();

// Local time of day now, from the installed clock.
TimeOfDay localTimeOfDay();
// Monotonic microseconds now, from the installed clock.
std::uint64_t monotonicUs();
// Blocks for ms milliseconds of the installed clock.
void pauseMs(std::uint32_t ms);

// Asks for a 1 ms system timer resolution (nothing outside Windows).
// Requests are counted; a release undoes one earlier request and is
// ignored when none is outstanding, so the system calls stay balanced.
void requestTimerResolution();
void releaseTimerResolution();
// Number of requests not yet released.
std::uint32_t timerResolutionRequests();

namespace detail {
// Per-platform primitives behind the functions above.
TimeOfDay systemTimeOfDay();
std::uint64_t systemMonotonicUs();
void systemPauseMs(std::uint32_t ms);
void systemBeginTimerResolution();
void systemEndTimerResolution();
} // namespace detail

} // namespace platform
