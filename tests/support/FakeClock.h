// A settable clock for tests. While it lives it is the program's clock:
// time of day comes from it and pauses advance it instead of sleeping.
#pragma once

#include <cstdint>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/TrafficTap.h"

namespace support {

class FakeClock final : public platform::ClockSource {
  public:
    static constexpr std::uint32_t kMsPerDay = 86400000;

    // Starts at msSinceMidnight (noon by default) and installs itself.
    explicit FakeClock(std::uint32_t msSinceMidnight = 12u * 3600u * 1000u);
    ~FakeClock() override; // restores the system clock

    FakeClock(const FakeClock&) = delete;
    FakeClock& operator=(const FakeClock&) = delete;

    // Sets the wall clock without counting elapsed time (a jump).
    // second 60 gives a leap second.
    void set(std::uint32_t hour, std::uint32_t minute, std::uint32_t second,
             std::uint32_t millisecond);
    void setMs(std::uint32_t msSinceMidnight);
    // Wall clock in ms since midnight.
    std::uint32_t nowMs() const { return wallMs_; }
    // Lets ms pass: the wall clock wraps past midnight, the monotonic count grows.
    void advance(std::uint32_t ms);
    // Milliseconds that passed through advance() and pauses since construction.
    std::uint64_t monotonicMs() const { return monotonicMs_; }
    // Every pause asked through platform::pauseMs, in order.
    const std::vector<std::uint32_t>& pauses() const { return pauses_; }

    platform::TimeOfDay timeOfDay() override;
    // The monotonic count in microseconds; it moves in whole milliseconds.
    std::uint64_t monotonicUs() override { return monotonicMs_ * 1000u; }
    void pause(std::uint32_t ms) override;

  private:
    std::uint32_t wallMs_;
    std::uint64_t monotonicMs_ = 0;
    std::vector<std::uint32_t> pauses_;
};

// While it lives, each UDP wait of the thread that made it advances the fake
// clock by the wait's length, so a link timing out on a real socket gets
// there although the clock is fake. Other threads' waits (a test peer's)
// leave it alone.
class UdpWaitsAdvance final : public platform::TrafficTap {
  public:
    explicit UdpWaitsAdvance(FakeClock& clock) : clock_(clock) { platform::setTrafficTap(this); }
    ~UdpWaitsAdvance() override { platform::setTrafficTap(nullptr); }
    UdpWaitsAdvance(const UdpWaitsAdvance&) = delete;
    UdpWaitsAdvance& operator=(const UdpWaitsAdvance&) = delete;

    void udpWaiting(std::intptr_t, std::uint32_t timeoutMs) override {
        if (std::this_thread::get_id() == owner_) {
            clock_.advance(timeoutMs);
        }
    }
    void serialOpened(platform::SerialHandle, std::int32_t,
                      const platform::SerialLineSettings&) override {}
    void serialWritten(platform::SerialHandle, const std::uint8_t*, std::size_t) override {}
    void serialRead(platform::SerialHandle, const std::uint8_t*, std::size_t) override {}
    void serialClosed(platform::SerialHandle) override {}
    void udpSent(std::intptr_t, const platform::UdpEndpoint&, const std::uint8_t*,
                 std::size_t) override {}
    void udpReceived(std::intptr_t, const platform::UdpEndpoint&, const std::uint8_t*, std::size_t,
                     bool) override {}

  private:
    FakeClock& clock_;
    std::thread::id owner_ = std::this_thread::get_id();
};

} // namespace support
