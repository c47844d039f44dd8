#include "platform/NativePath.h"

#include <windows.h>

namespace platform {

std::filesystem::path nativePath(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    const int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, text.data(), wide);
    return std::filesystem::path(std::move(text));
}

} // namespace platform
