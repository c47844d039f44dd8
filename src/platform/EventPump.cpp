#include "platform/EventPump.h"

namespace platform {

namespace {
EventPumpHook installedHook = nullptr;
}

void setEventPump(EventPumpHook hook) {
    installedHook = hook;
}

void pumpEvents() {
    if (installedHook != nullptr) {
        installedHook();
    }
}

} // namespace platform
