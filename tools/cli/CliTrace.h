// The traffic trace option of the tool, --trace or --trace=hex, taken out
// of the arguments before they are parsed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "link/TrafficTrace.h"

namespace tkcli {

enum class TraceMode { Off, Decoded, Hex };

// The two forms the option takes.
inline constexpr std::string_view kTraceOptions[] = {"--trace", "--trace=hex"};

// Removes every --trace and --trace=hex from args. Any other --trace=VALUE
// stays, so the argument parser reports it as an unknown option.
TraceMode TakeTraceOption(std::vector<std::string>& args);

} // namespace tkcli
