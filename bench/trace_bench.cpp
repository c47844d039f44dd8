// Cost of the traffic taps: one Modbus RTU transaction against an in-memory
// device whose waits only advance a fake clock, so nothing but CPU is
// measured. Built twice: as trace_bench with the taps (trace off, then on
// with a discarding sink), and as trace_bench_untapped from platform code
// built without them.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "link/M_ModbusRTU.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"
#ifndef TK_WITHOUT_TRAFFIC_TAP
#include "link/TrafficTrace.h"
#endif

namespace {

class BenchClock final : public platform::ClockSource {
  public:
    platform::TimeOfDay timeOfDay() override {
        const std::uint32_t t = ms % 86400000u; // the link copes with midnight
        return {t / 3600000u, t / 60000u % 60u, t / 1000u % 60u, t % 1000u};
    }
    std::uint64_t monotonicUs() override { return std::uint64_t{ms} * 1000u; }
    void pause(std::uint32_t delay) override { ms += delay; }
    std::uint32_t ms = 0;
};

// Answers every request at once with a fixed 0x43 answer.
class InstantPort final : public platform::SerialPort {
  public:
    explicit InstantPort(BenchClock& clock) : clock_(clock) {
        answer_ = {0x01, 0x43, 0xFE, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60};
        const std::uint16_t crc =
            MBRTU_CRC16(answer_.data(), static_cast<std::uint32_t>(answer_.size()));
        answer_.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        answer_.push_back(static_cast<std::uint8_t>(crc >> 8));
    }
    std::size_t read(std::uint8_t* buffer, std::size_t maxBytes) override {
        if (!pending_) {
            return 0;
        }
        pending_ = false;
        const std::size_t n = std::min(maxBytes, answer_.size());
        std::copy_n(answer_.begin(), n, buffer);
        return n;
    }
    bool waitReadable(std::uint32_t timeoutMs) override {
        clock_.ms += timeoutMs;
        return false;
    }
    std::size_t write(const std::uint8_t*, std::size_t count) override {
        pending_ = true;
        return count;
    }

  private:
    BenchClock& clock_;
    std::vector<std::uint8_t> answer_;
    bool pending_ = false;
};

class InstantBackend final : public platform::SerialBackend {
  public:
    explicit InstantBackend(BenchClock& clock) : clock_(clock) {}
    std::unique_ptr<platform::SerialPort> open(std::int32_t,
                                               const platform::SerialLineSettings&) override {
        return std::make_unique<InstantPort>(clock_);
    }

  private:
    BenchClock& clock_;
};

// Nanoseconds per transaction, the best of several rounds.
double transactionNs(TMBRTU& mb) {
    const std::uint8_t request[] = {0x01, 0x43, 0xFE, 0x17, 0x00, 0x00, 0x06};
    std::array<std::uint8_t, MBRTU_MAX_ODPOVED> answer{};
    std::uint16_t length = 0;
    constexpr int kRounds = 15;
    constexpr int kTransactions = 20000;
    double best = 1e18;
    for (int r = 0; r < kRounds; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < kTransactions; ++i) {
            if (MBRTU_Transakce(mb, request, sizeof request, length, answer) != MBRTU_OK) {
                std::fprintf(stderr, "transaction failed\n");
                return 0;
            }
        }
        const std::chrono::duration<double, std::nano> spent =
            std::chrono::steady_clock::now() - t0;
        best = std::min(best, spent.count() / kTransactions);
    }
    return best;
}

} // namespace

int main() {
    BenchClock clock;
    InstantBackend backend(clock);
    platform::setClockSource(&clock);
    platform::setSerialBackend(&backend);
    TMBRTU mb;
    if (MBRTU_Init(1, 4, 0, 1000, mb) != 0) {
        std::fprintf(stderr, "cannot open the link\n");
        return 1;
    }
#ifdef TK_WITHOUT_TRAFFIC_TAP
    std::printf("transaction_without_taps: %.0f ns\n", transactionNs(mb));
#else
    std::printf("transaction_trace_off: %.0f ns\n", transactionNs(mb));
    {
        std::size_t lines = 0;
        linktrace::TrafficTracer tracer([&lines](const std::string&) { ++lines; }, false);
        std::printf("transaction_trace_on: %.0f ns\n", transactionNs(mb));
    }
#endif
    MBRTU_Zavri(mb);
    platform::setSerialBackend(nullptr);
    platform::setClockSource(nullptr);
    return 0;
}
