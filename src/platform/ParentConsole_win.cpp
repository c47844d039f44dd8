#include "platform/ParentConsole.h"

#include <cstdio>
#include <iostream>

#include <windows.h>

namespace platform {

namespace {

struct Device {
    const char* name;
    const wchar_t* wideName;
};
constexpr Device kConsole{"CONOUT$", L"CONOUT$"};
constexpr Device kNowhere{"NUL", L"NUL"};

bool attached = false;
bool outputBorrowed = false;
bool errorBorrowed = false;

// A handle the parent passed on (console, file or pipe) is kept.
bool leadsSomewhere(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// The C runtime's stream and the system's handle both go to the device.
bool reopen(FILE* stream, DWORD which, const Device& device) {
    if (std::freopen(device.name, "w", stream) == nullptr) {
        return false;
    }
    const HANDLE handle =
        CreateFileW(device.wideName, GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        SetStdHandle(which, handle);
    }
    return true;
}

} // namespace

void borrowParentConsole() {
    const bool output = leadsSomewhere(STD_OUTPUT_HANDLE);
    const bool error = leadsSomewhere(STD_ERROR_HANDLE);
    if ((output && error) || !AttachConsole(ATTACH_PARENT_PROCESS)) {
        return;
    }
    attached = true;
    outputBorrowed = !output && reopen(stdout, STD_OUTPUT_HANDLE, kConsole);
    errorBorrowed = !error && reopen(stderr, STD_ERROR_HANDLE, kConsole);
    // Streams that failed while nothing stood behind them write again.
    std::cout.clear();
    std::cerr.clear();
}

void returnParentConsole() {
    if (!attached) {
        return;
    }
    std::cout.flush();
    std::cerr.flush();
    if (outputBorrowed) {
        reopen(stdout, STD_OUTPUT_HANDLE, kNowhere);
    }
    if (errorBorrowed) {
        reopen(stderr, STD_ERROR_HANDLE, kNowhere);
    }
    attached = outputBorrowed = errorBorrowed = false;
    FreeConsole();
}

} // namespace platform
