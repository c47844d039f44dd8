#include "platform/TcpStream.h"

#include <algorithm>

#include "platform/Clock.h"

namespace platform {

TcpConnect tcpConnect(const UdpEndpoint& to, std::uint32_t timeoutMs, std::uint32_t sliceMs,
                      const std::function<bool()>& keepWaiting, std::intptr_t& handle) {
    handle = -1;
    std::intptr_t h = -1;
    detail::ConnectStep step = detail::systemTcpStartConnect(to, h);
    const std::uint64_t deadline = monotonicUs() + std::uint64_t{timeoutMs} * 1000u;
    while (step == detail::ConnectStep::Pending) {
        const std::uint64_t now = monotonicUs();
        if (now >= deadline) {
            tcpClose(h);
            return TcpConnect::Timeout;
        }
        const auto leftMs = static_cast<std::uint32_t>((deadline - now + 999) / 1000);
        step = detail::systemTcpAwaitConnect(h, std::min(leftMs, std::max(sliceMs, 1u)));
        if (step == detail::ConnectStep::Pending && keepWaiting && !keepWaiting()) {
            tcpClose(h);
            return TcpConnect::Aborted;
        }
    }
    if (step == detail::ConnectStep::Connected && detail::systemTcpFinishConnect(h)) {
        handle = h;
        return TcpConnect::Connected;
    }
    tcpClose(h);
    return step == detail::ConnectStep::Refused ? TcpConnect::Refused : TcpConnect::Error;
}

} // namespace platform
