#include "platform/ProfileFile.h"

#include <windows.h>

#include "platform/NativePath.h"

namespace platform {

namespace {

bool writeAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk =
            bytes.size() > 0x10000000u ? 0x10000000u : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

} // namespace

bool replaceFileContents(const std::string& path, std::string_view bytes) {
    const std::wstring target = nativePath(path).wstring();
    const std::wstring temp = target + L".tmp";
    const HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool ok = writeAll(file, bytes) && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    ok = ok && MoveFileExW(temp.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}

bool folderAcceptsNewFiles(const std::string& folder) {
    // Access rights decide here, which only a real attempt answers; the
    // probe goes away when its handle closes.
    const std::wstring probe = nativePath(folder.empty() ? std::string(".") : folder).wstring() +
                               L"\\.W_tk7713t-probe-" + std::to_wstring(GetCurrentProcessId());
    const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

const char* nativeLineBreak() {
    return "\r\n";
}

} // namespace platform
