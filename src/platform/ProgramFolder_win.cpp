#include "platform/ProgramFolder.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include <windows.h>

namespace platform {

namespace {

std::string toUtf8(const std::filesystem::path& p) {
    const std::u8string s = p.u8string();
    return std::string(reinterpret_cast<const char*>(s.data()), s.size());
}

}  // namespace

std::string programFolder() {
    // Long paths need a larger buffer than MAX_PATH; grow until the name fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            break;
        }
        if (n < buffer.size()) {
            const std::filesystem::path exe(std::wstring(buffer.data(), n));
            return toUtf8(exe.parent_path());
        }
        if (buffer.size() >= 32768) {
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    std::error_code ec;
    const std::filesystem::path cwd = std::filesystem::current_path(ec);
    return ec ? std::string(".") : toUtf8(cwd);
}

}  // namespace platform
