#include "platform/StandardDescriptors.h"

namespace platform {

// Ports and sockets are handles here, never C runtime descriptors, so no
// file can take the place of a missing standard stream.
void ensureStandardDescriptors() {}

} // namespace platform
