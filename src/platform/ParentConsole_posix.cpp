#include "platform/ParentConsole.h"

namespace platform {

// A POSIX program keeps the streams its parent gave it.
void borrowParentConsole() {}

void returnParentConsole() {}

} // namespace platform
