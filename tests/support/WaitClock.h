// A clock that moves only when the installing thread waits for a datagram,
// by exactly the wait it asked for: timeouts are counted, never timed.
// While it lives it is the program's clock and its traffic tap; other
// threads (test peers, simulators) keep the system clock and go unrecorded.
#pragma once

#include <cstdint>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/TrafficTap.h"

namespace support {

class WaitClock final : public platform::ClockSource, public platform::TrafficTap {
  public:
    struct Sent {
        std::uint64_t atMs;
        platform::UdpEndpoint to;
    };

    WaitClock() {
        platform::setClockSource(this);
        platform::setTrafficTap(this);
    }
    ~WaitClock() override {
        platform::setTrafficTap(nullptr);
        platform::setClockSource(nullptr);
    }
    WaitClock(const WaitClock&) = delete;
    WaitClock& operator=(const WaitClock&) = delete;

    // Each wait in milliseconds, in order, and their sum.
    std::vector<std::uint32_t> waits() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return waits_;
    }
    std::uint64_t totalMs() const {
        const auto w = waits();
        return std::accumulate(w.begin(), w.end(), std::uint64_t{0});
    }
    // Every datagram the installing thread sent, with the clock's time then.
    std::vector<Sent> sent() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return sent_;
    }

    platform::TimeOfDay timeOfDay() override {
        if (!owned()) {
            return platform::systemClock().timeOfDay();
        }
        const std::uint64_t ms = kNoonMs + nowMs();
        return {static_cast<std::uint32_t>(ms / 3600000 % 24),
                static_cast<std::uint32_t>(ms / 60000 % 60),
                static_cast<std::uint32_t>(ms / 1000 % 60), static_cast<std::uint32_t>(ms % 1000)};
    }
    void pause(std::uint32_t ms) override {
        if (!owned()) {
            platform::systemClock().pause(ms);
        }
        advance(ms);
    }
    std::uint64_t monotonicUs() override {
        return owned() ? nowMs() * 1000 : platform::systemClock().monotonicUs();
    }

    void udpWaiting(std::intptr_t, std::uint32_t timeoutMs) override {
        if (owned()) {
            std::lock_guard<std::mutex> lock(mutex_);
            waits_.push_back(timeoutMs);
        }
        advance(timeoutMs);
    }
    void udpSent(std::intptr_t, const platform::UdpEndpoint& to, const std::uint8_t*,
                 std::size_t) override {
        if (owned()) {
            std::lock_guard<std::mutex> lock(mutex_);
            sent_.push_back({nowMsLocked(), to});
        }
    }
    void serialOpened(platform::SerialHandle, std::int32_t,
                      const platform::SerialLineSettings&) override {}
    void serialWritten(platform::SerialHandle, const std::uint8_t*, std::size_t) override {}
    void serialRead(platform::SerialHandle, const std::uint8_t*, std::size_t) override {}
    void serialClosed(platform::SerialHandle) override {}
    void udpReceived(std::intptr_t, const platform::UdpEndpoint&, const std::uint8_t*, std::size_t,
                     bool) override {}

  private:
    static constexpr std::uint64_t kNoonMs = 12u * 3600u * 1000u;

    bool owned() const { return std::this_thread::get_id() == owner_; }
    std::uint64_t nowMs() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return nowMsLocked();
    }
    std::uint64_t nowMsLocked() const { return ms_; }
    void advance(std::uint32_t ms) {
        if (owned()) {
            std::lock_guard<std::mutex> lock(mutex_);
            ms_ += ms;
        }
    }

    std::thread::id owner_ = std::this_thread::get_id();
    mutable std::mutex mutex_;
    std::uint64_t ms_ = 0;
    std::vector<std::uint32_t> waits_;
    std::vector<Sent> sent_;
};

} // namespace support
