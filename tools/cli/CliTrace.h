// The traffic trace option of the tool, --trace or --trace=hex, taken out
// of the arguments before they are parsed.
#pragma once

#include <string>
#include <vector>

#include "link/TrafficTrace.h"

namespace tkcli {

enum class TraceMode { Off, Decoded, Hex };

// Removes every --trace and --trace=hex from args. Any other --trace=VALUE
// stays, so the argument parser reports it as an unknown option.
TraceMode TakeTraceOption(std::vector<std::string>& args);

} // namespace tkcli
