// A serial device for tests, driven by a FakeClock. While it lives it is
// the program's serial backend: every COM port opened reaches it. Answers
// arrive in pieces at chosen milliseconds after the request was written;
// waiting on the port advances the fake clock, so nothing really sleeps.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "platform/SerialPort.h"
#include "support/FakeClock.h"

namespace support {

class ScriptedSerialPort final : public platform::SerialBackend {
  public:
    using Bytes = std::vector<std::uint8_t>;
    struct Piece {
        std::uint32_t afterMs = 0; // after the write of the request (or after deliver())
        Bytes bytes;
    };
    using Answer = std::vector<Piece>;
    // Called for every written request that no queued answer covers.
    using Responder = std::function<Answer(const Bytes& request)>;

    explicit ScriptedSerialPort(FakeClock& clock); // installs itself
    ~ScriptedSerialPort() override;                // restores the system backend

    ScriptedSerialPort(const ScriptedSerialPort&) = delete;
    ScriptedSerialPort& operator=(const ScriptedSerialPort&) = delete;

    // Opening. A port that is not openable fails like a missing device.
    void setOpenable(bool openable);
    int openAttempts() const; // also those that failed
    int openCount() const;
    int closeCount() const;
    bool isOpen() const; // some open port has not been closed yet
    std::int32_t lastComNumber() const;
    platform::SerialLineSettings lastSettings() const;

    // Answers: queued answers first, one per request, then the responder.
    void queueAnswer(Answer answer);
    void setResponder(Responder responder);
    // Bytes that arrive independent of any request (noise, leftovers).
    // Closing a port drops bytes still on their way or unread.
    void deliver(Bytes bytes, std::uint32_t afterMs = 0);
    // From now on bytesPerMs copies of byte arrive every millisecond, for ever.
    void talkEndlessly(std::uint8_t byte, std::uint32_t bytesPerMs = 1);
    // The device disappears: reads give nothing, writes fail, waits take
    // their full time.
    void vanish();
    // The system reports the device gone (unplugged, re-created): every
    // port open now is dead and says so; ports opened later work.
    void hangUp();

    // What the program wrote, one entry per write call.
    const std::vector<Bytes>& writes() const;
    // Bytes that have arrived (by the fake clock) and are not yet read.
    std::size_t unreadBytes() const;
    // Calls of waitReadable and the fake milliseconds they let pass.
    std::uint64_t waitCalls() const;
    std::uint64_t waitedMs() const;

    std::unique_ptr<platform::SerialPort>
    open(std::int32_t comNumber, const platform::SerialLineSettings& settings) override;

    struct State;

  private:
    std::shared_ptr<State> state_;
};

} // namespace support
