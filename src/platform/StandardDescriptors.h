// Standard input, output and error held open from the start of each
// program.
#pragma once

namespace platform {

// Gives each of descriptors 0-2 that is closed a stand-in. Without it the
// next file opened takes the free number, and a serial port opened as
// "standard error" would get the program's messages written onto its line.
// Called first in main.
void ensureStandardDescriptors();

} // namespace platform
