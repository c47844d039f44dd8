// Traffic trace lines with what differs from run to run masked: the elapsed
// milliseconds, the wall-clock time, measured waits and UDP ports.
#pragma once

#include <regex>
#include <string>

namespace support {

inline std::string maskedTrace(const std::string& text) {
    std::string out = std::regex_replace(text, std::regex(R"((^|\n) *\d+ ms)"), "$1t ms");
    out = std::regex_replace(out, std::regex(R"(\d\d:\d\d:\d\d\.\d\d\d)"), "hh:mm:ss.mmm");
    out = std::regex_replace(out, std::regex(R"(after \d+ ms)"), "after n ms");
    return std::regex_replace(out, std::regex(R"(127\.0\.0\.1:\d+)"), "127.0.0.1:port");
}

} // namespace support
