#include "cli/CliTrace.h"

#include <algorithm>

namespace tkcli {

TraceMode TakeTraceOption(std::vector<std::string>& args) {
    TraceMode mode = TraceMode::Off;
    const auto taken = std::remove_if(args.begin(), args.end(), [&mode](const std::string& a) {
        if (a == kTraceOptions[0]) {
            mode = std::max(mode, TraceMode::Decoded);
            return true;
        }
        if (a == kTraceOptions[1]) {
            mode = TraceMode::Hex;
            return true;
        }
        return false;
    });
    args.erase(taken, args.end());
    return mode;
}

} // namespace tkcli
