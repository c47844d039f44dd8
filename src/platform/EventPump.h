// Hook through which a blocking transfer lets the user interface process
// its pending events. A no-op until the user interface installs one.
#pragma once

namespace platform {

using EventPumpHook = void (*)();

// Installs the hook; nullptr restores the no-op.
void setEventPump(EventPumpHook hook);
// Runs the installed hook once.
void pumpEvents();

} // namespace platform
