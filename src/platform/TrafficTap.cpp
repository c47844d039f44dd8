#include "platform/TrafficTap.h"

namespace platform {

namespace detail {
std::atomic<TrafficTap*> installedTrafficTap{nullptr};
}

void setTrafficTap(TrafficTap* tap) {
    detail::installedTrafficTap.store(tap);
}

} // namespace platform
