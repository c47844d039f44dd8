#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <chrono>

#include "support/FakeClock.h"

namespace {

TEST(Clock, TimerResolutionReleaseNeverOutrunsRequests) {
    const std::uint32_t base = platform::timerResolutionRequests();
    platform::requestTimerResolution();
    platform::requestTimerResolution();
    EXPECT_EQ(platform::timerResolutionRequests(), base + 2);
    for (int i = 0; i < 5; ++i) {
        platform::releaseTimerResolution();
    }
    EXPECT_EQ(platform::timerResolutionRequests(), 0u);
    platform::requestTimerResolution();
    EXPECT_EQ(platform::timerResolutionRequests(), 1u);
    platform::releaseTimerResolution();
}

TEST(Clock, FakeClockReplacesTimeAndPausesUntilDestroyed) {
    {
        support::FakeClock clock;
        struct Case {
            std::uint32_t h, m, s, ms;
        };
        for (const Case c :
             {Case{0, 0, 0, 0}, Case{23, 59, 59, 999}, Case{7, 8, 9, 10}, Case{23, 59, 60, 500}}) {
            clock.set(c.h, c.m, c.s, c.ms);
            const platform::TimeOfDay t = platform::localTimeOfDay();
            EXPECT_EQ(t.hour, c.h);
            EXPECT_EQ(t.minute, c.m);
            EXPECT_EQ(t.second, c.s);
            EXPECT_EQ(t.millisecond, c.ms);
        }
        clock.set(23, 59, 59, 990);
        platform::pauseMs(32); // never really sleeps
        platform::pauseMs(1000);
        const platform::TimeOfDay t = platform::localTimeOfDay();
        EXPECT_EQ(t.hour * 3600000 + t.minute * 60000 + t.second * 1000 + t.millisecond, 1022u);
        EXPECT_EQ(clock.monotonicMs(), 1032u);
        EXPECT_EQ(platform::monotonicUs(), 1032000u);
        EXPECT_EQ(clock.pauses(), (std::vector<std::uint32_t>{32, 1000}));
    }
    // Back on the system clock: the monotonic count sees a pause in
    // microseconds (a pause never ends early, and load only lengthens it).
    const std::uint64_t startUs = platform::monotonicUs();
    platform::pauseMs(5);
    const std::uint64_t pausedUs = platform::monotonicUs() - startUs;
    EXPECT_GE(pausedUs, 5000u);
    EXPECT_LT(pausedUs, 5000000u); // not nanoseconds
    const platform::TimeOfDay t = platform::localTimeOfDay();
    EXPECT_LT(t.hour, 24u);
    EXPECT_LT(t.minute, 60u);
    EXPECT_LT(t.millisecond, 1000u);
}

} // namespace
