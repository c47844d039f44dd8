// Whole files as byte strings, for tests that check files byte for byte.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

#include "platform/ProfileFile.h"

namespace support {

// text with each "\n" as the system's line break, as in files made anew.
inline std::string withNativeLineBreaks(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c == '\n' ? std::string(platform::nativeLineBreak()) : std::string(1, c);
    }
    return out;
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace support
