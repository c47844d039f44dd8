#include "support/ScriptedSerialPort.h"

#include <algorithm>
#include <utility>

#include "platform/Clock.h"

namespace support {

struct ScriptedSerialPort::State {
    FakeClock* clock = nullptr; // null once the scripted port is gone
    bool openable = true;
    int attempts = 0;
    int opens = 0;
    int hungUpThrough = 0; // ports with this opening number or lower are gone
    int closes = 0;
    std::int32_t lastCom = 0;
    platform::SerialLineSettings lastSettings;

    std::deque<Answer> queued;
    Responder responder;
    struct Due {
        std::uint64_t atMs;
        Bytes bytes;
    };
    std::vector<Due> pending; // not yet arrived, in arrival order
    std::deque<std::uint8_t> arrived;
    bool talking = false;
    std::uint8_t talkByte = 0;
    std::uint32_t talkBytesPerMs = 0;
    std::uint64_t talkedUpTo = 0;
    bool vanished = false;

    std::vector<Bytes> writes;
    std::uint64_t waitCalls = 0;
    std::uint64_t waitedMs = 0;

    std::uint64_t now() const { return clock != nullptr ? clock->monotonicMs() : 0; }

    void schedule(std::uint64_t atMs, Bytes bytes) {
        const auto pos = std::upper_bound(pending.begin(), pending.end(), atMs,
                                          [](std::uint64_t t, const Due& d) { return t < d.atMs; });
        pending.insert(pos, Due{atMs, std::move(bytes)});
    }

    // Moves everything due by now into the arrived bytes.
    void refresh() {
        const std::uint64_t t = now();
        while (!pending.empty() && pending.front().atMs <= t) {
            arrived.insert(arrived.end(), pending.front().bytes.begin(),
                           pending.front().bytes.end());
            pending.erase(pending.begin());
        }
        if (talking && t > talkedUpTo) {
            const std::uint64_t count = (t - talkedUpTo) * talkBytesPerMs;
            arrived.insert(arrived.end(), count, talkByte);
            talkedUpTo = t;
        }
    }

    // Milliseconds until the next byte arrives, if any is coming.
    bool nextArrival(std::uint64_t& inMs) const {
        bool any = false;
        const std::uint64_t t = now();
        if (!pending.empty()) {
            inMs = pending.front().atMs - t;
            any = true;
        }
        if (talking && talkBytesPerMs > 0 && (!any || inMs > 1)) {
            inMs = 1;
            any = true;
        }
        return any;
    }
};

namespace {

class ScriptedPortHandle final : public platform::SerialPort {
  public:
    explicit ScriptedPortHandle(std::shared_ptr<ScriptedSerialPort::State> state)
        : state_(std::move(state)), opening_(state_->opens) {}
    // Bytes on their way or unread go with the port.
    ~ScriptedPortHandle() override {
        ++state_->closes;
        state_->pending.clear();
        state_->arrived.clear();
    }

    bool gone() const override { return opening_ <= state_->hungUpThrough; }

    std::size_t read(std::uint8_t* buffer, std::size_t maxBytes) override {
        auto& s = *state_;
        if (s.vanished || gone() || s.clock == nullptr) {
            return 0;
        }
        s.refresh();
        const std::size_t n = std::min(maxBytes, s.arrived.size());
        std::copy_n(s.arrived.begin(), n, buffer);
        s.arrived.erase(s.arrived.begin(), s.arrived.begin() + static_cast<std::ptrdiff_t>(n));
        return n;
    }

    bool waitReadable(std::uint32_t timeoutMs) override {
        auto& s = *state_;
        if (s.clock == nullptr) {
            return false;
        }
        ++s.waitCalls;
        if (!s.vanished && !gone()) {
            s.refresh();
            if (!s.arrived.empty()) {
                return true;
            }
            std::uint64_t inMs = 0;
            if (s.nextArrival(inMs) && inMs <= timeoutMs) {
                s.clock->advance(static_cast<std::uint32_t>(inMs));
                s.waitedMs += inMs;
                s.refresh();
                return true;
            }
        }
        s.clock->advance(timeoutMs);
        s.waitedMs += timeoutMs;
        return false;
    }

    std::size_t write(const std::uint8_t* data, std::size_t count) override {
        auto& s = *state_;
        if (s.vanished || gone() || s.clock == nullptr) {
            return 0;
        }
        ScriptedSerialPort::Bytes request(data, data + count);
        s.writes.push_back(request);
        ScriptedSerialPort::Answer answer;
        if (!s.queued.empty()) {
            answer = std::move(s.queued.front());
            s.queued.pop_front();
        } else if (s.responder) {
            answer = s.responder(request);
        }
        const std::uint64_t t = s.now();
        for (auto& piece : answer) {
            s.schedule(t + piece.afterMs, std::move(piece.bytes));
        }
        return count;
    }

  private:
    std::shared_ptr<ScriptedSerialPort::State> state_;
    int opening_; // this port's opening number
};

} // namespace

ScriptedSerialPort::ScriptedSerialPort(FakeClock& clock) : state_(std::make_shared<State>()) {
    state_->clock = &clock;
    platform::setSerialBackend(this);
}

ScriptedSerialPort::~ScriptedSerialPort() {
    platform::setSerialBackend(nullptr);
    // Ports still open in the program outlive this object; they go quiet.
    state_->clock = nullptr;
}

void ScriptedSerialPort::setOpenable(bool openable) {
    state_->openable = openable;
}
int ScriptedSerialPort::openAttempts() const {
    return state_->attempts;
}
int ScriptedSerialPort::openCount() const {
    return state_->opens;
}
int ScriptedSerialPort::closeCount() const {
    return state_->closes;
}
bool ScriptedSerialPort::isOpen() const {
    return state_->opens > state_->closes;
}
std::int32_t ScriptedSerialPort::lastComNumber() const {
    return state_->lastCom;
}
platform::SerialLineSettings ScriptedSerialPort::lastSettings() const {
    return state_->lastSettings;
}

void ScriptedSerialPort::queueAnswer(Answer answer) {
    state_->queued.push_back(std::move(answer));
}

void ScriptedSerialPort::setResponder(Responder responder) {
    state_->responder = std::move(responder);
}

void ScriptedSerialPort::deliver(Bytes bytes, std::uint32_t afterMs) {
    state_->schedule(state_->now() + afterMs, std::move(bytes));
}

void ScriptedSerialPort::talkEndlessly(std::uint8_t byte, std::uint32_t bytesPerMs) {
    state_->talking = true;
    state_->talkByte = byte;
    state_->talkBytesPerMs = bytesPerMs;
    state_->talkedUpTo = state_->now();
}

void ScriptedSerialPort::vanish() {
    state_->vanished = true;
}

void ScriptedSerialPort::hangUp() {
    state_->hungUpThrough = state_->opens;
}

const std::vector<ScriptedSerialPort::Bytes>& ScriptedSerialPort::writes() const {
    return state_->writes;
}

std::size_t ScriptedSerialPort::unreadBytes() const {
    state_->refresh();
    return state_->arrived.size();
}

std::uint64_t ScriptedSerialPort::waitCalls() const {
    return state_->waitCalls;
}
std::uint64_t ScriptedSerialPort::waitedMs() const {
    return state_->waitedMs;
}

std::unique_ptr<platform::SerialPort>
ScriptedSerialPort::open(std::int32_t comNumber, const platform::SerialLineSettings& settings) {
    ++state_->attempts;
    state_->lastCom = comNumber;
    state_->lastSettings = settings;
    if (!state_->openable) {
        return nullptr;
    }
    ++state_->opens;
    return std::make_unique<ScriptedPortHandle>(state_);
}

} // namespace support
