#include "platform/NativePath.h"

namespace platform {

// File names are bytes here; UTF-8 passes unchanged.
std::filesystem::path nativePath(const std::string& utf8) {
    return std::filesystem::path(utf8);
}

} // namespace platform
