#include "link/M_ModbusTCP.h"

#include <modbus.h>

#include <algorithm>
#include <cerrno>

#include "platform/Clock.h"
#include "platform/TcpStream.h"
#include "platform/TrafficTap.h"

namespace {

// libmodbus waits for the rest of an answer whose first bytes came; a
// server that stalls in the middle of one holds the caller this long at most.
constexpr std::uint32_t kRestOfAnswerMs = 250;

void setTimeout(modbus_t* ctx, int (*set)(modbus_t*, std::uint32_t, std::uint32_t),
                std::uint32_t ms) {
    ms = std::max<std::uint32_t>(ms, 1);
    set(ctx, ms / 1000, (ms % 1000) * 1000);
}

ModbusStatus receiveFailure(int error) {
    switch (error) {
    case ETIMEDOUT:
        return ModbusStatus::Timeout;
    case EMBBADDATA:
        return ModbusStatus::WrongAnswer;
    default:
        return ModbusStatus::ConnectionClosed; // ECONNRESET for an orderly close too
    }
}

} // namespace

struct ModbusTcpClient::Impl {
    modbus_t* ctx = nullptr;
    std::intptr_t socket = -1;
    platform::UdpEndpoint peer;
    std::function<bool()> waitHook;
    bool reused = false;          // the connection carried an earlier request
    bool endedUnanswered = false; // the server closed it before any byte of the answer

    bool keepWaiting() const { return !waitHook || waitHook(); }

    void close() {
        if (socket >= 0) {
            platform::tcpClose(socket);
            socket = -1;
        }
        if (ctx != nullptr) {
            modbus_set_socket(ctx, -1);
        }
    }

    // Connects unless the connection to this peer is still usable: a
    // server that closed an idle connection, or sent something nobody asked
    // for, makes its socket readable before a request is sent.
    ModbusStatus ensureConnected(const ModbusTcpTarget& target) {
        if (socket >= 0 && (!(peer == target.Endpoint) ||
                            platform::tcpWaitReadable(socket, 0) != platform::TcpWait::Timeout)) {
            close();
        }
        reused = socket >= 0;
        if (reused) {
            return ModbusStatus::Answered;
        }
        if (ctx == nullptr) {
            // The context never connects by itself: it gets the socket.
            ctx = modbus_new_tcp_pi(nullptr, "502");
            if (ctx == nullptr) {
                return ModbusStatus::ConnectFailed;
            }
        }
        const platform::TcpConnect c = platform::tcpConnect(
            target.Endpoint, target.TimeoutMs, kWaitSliceMs, [this] { return keepWaiting(); },
            socket);
        switch (c) {
        case platform::TcpConnect::Connected:
            break;
        case platform::TcpConnect::Refused:
            return ModbusStatus::Refused;
        case platform::TcpConnect::Aborted:
            return ModbusStatus::Aborted;
        case platform::TcpConnect::Timeout:
        case platform::TcpConnect::Error:
            return ModbusStatus::ConnectFailed;
        }
        peer = target.Endpoint;
        modbus_set_socket(ctx, static_cast<int>(socket));
        return ModbusStatus::Answered;
    }

    ModbusStatus exchange(const ModbusTcpTarget& target, const ModbusRequest& request,
                          ModbusResult& result) {
        const std::vector<std::uint8_t> pdu = ModbusRequestPdu(request);
        std::vector<std::uint8_t> raw{request.Unit};
        raw.insert(raw.end(), pdu.begin(), pdu.end());
        const std::uint64_t sentAt = platform::monotonicUs();
        if (modbus_send_raw_request(ctx, raw.data(), static_cast<int>(raw.size())) !=
            static_cast<int>(raw.size() + 6)) {
            return ModbusStatus::ConnectionClosed;
        }
        result.Request = ModbusTcpAdu(MBTCP_TRANSACTION, request.Unit, pdu);
        if (platform::TrafficTap* tap = platform::trafficTap()) {
            tap->tcpSent(socket, peer, result.Request.data(), result.Request.size());
        }
        if (request.Unit == MODBUS_BROADCAST) {
            return ModbusStatus::BroadcastSent;
        }
        const std::uint64_t deadline = sentAt + std::uint64_t{target.TimeoutMs} * 1000u;
        for (;;) {
            const std::uint64_t now = platform::monotonicUs();
            if (now >= deadline) {
                return ModbusStatus::Timeout;
            }
            const auto leftMs = static_cast<std::uint32_t>((deadline - now + 999) / 1000);
            const platform::TcpWait w =
                platform::tcpWaitReadable(socket, std::min(leftMs, kWaitSliceMs));
            if (w == platform::TcpWait::Readable && platform::tcpEnded(socket)) {
                endedUnanswered = true;
                return ModbusStatus::ConnectionClosed;
            }
            if (w == platform::TcpWait::Readable) {
                setTimeout(ctx, modbus_set_response_timeout, leftMs);
                setTimeout(ctx, modbus_set_byte_timeout, std::min(leftMs, kRestOfAnswerMs));
                break;
            }
            if (w == platform::TcpWait::Error) {
                return ModbusStatus::ConnectionClosed;
            }
            if (!keepWaiting()) {
                return ModbusStatus::Aborted;
            }
        }
        std::uint8_t answer[MODBUS_TCP_MAX_ADU_LENGTH];
        const int got = modbus_receive_confirmation(ctx, answer);
        if (got <= 0) {
            return receiveFailure(errno);
        }
        result.RoundTripUs = static_cast<std::uint32_t>(platform::monotonicUs() - sentAt);
        result.Answer.assign(answer, answer + got);
        if (platform::TrafficTap* tap = platform::trafficTap()) {
            tap->tcpReceived(socket, peer, result.Answer.data(), result.Answer.size());
        }
        return ModbusCheckAnswer(request, answer, static_cast<std::size_t>(got), result);
    }
};

ModbusTcpClient::ModbusTcpClient() : impl_(std::make_unique<Impl>()) {}

ModbusTcpClient::~ModbusTcpClient() {
    impl_->close();
    if (impl_->ctx != nullptr) {
        modbus_free(impl_->ctx);
    }
}

void ModbusTcpClient::setWaitHook(std::function<bool()> hook) {
    impl_->waitHook = std::move(hook);
}

bool ModbusTcpClient::connected() const {
    return impl_->socket >= 0;
}

void ModbusTcpClient::close() {
    impl_->close();
}

ModbusResult ModbusTcpClient::transact(const ModbusTcpTarget& target,
                                       const ModbusRequest& request) {
    ModbusResult result;
    // A server may close a kept connection just as the request goes out; it
    // then never saw the request, which goes once more on a new connection.
    for (int attempt = 0; attempt < 2; ++attempt) {
        result = ModbusResult{};
        impl_->endedUnanswered = false;
        result.Status = impl_->ensureConnected(target);
        if (result.Status == ModbusStatus::Answered) {
            result.Status = impl_->exchange(target, request, result);
        }
        if (!(result.Status == ModbusStatus::ConnectionClosed && impl_->reused &&
              impl_->endedUnanswered)) {
            break;
        }
        impl_->close();
    }
    if (result.Status != ModbusStatus::Answered && result.Status != ModbusStatus::Exception &&
        result.Status != ModbusStatus::BroadcastSent) {
        impl_->close();
    }
    return result;
}
