// Winsock must be started once per process before the first socket call;
// every Windows socket unit asks here, so it starts once whichever comes first.
#pragma once

#include <winsock2.h>

namespace platform::detail {

inline bool winsockReady() {
    static const bool ready = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ready;
}

} // namespace platform::detail
