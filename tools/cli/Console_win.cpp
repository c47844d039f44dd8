#include "cli/Console.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <iostream>

#include <windows.h>
#include <shellapi.h>

namespace tkcli {

namespace {

std::string toUtf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return {};
    }
    std::string out(static_cast<std::size_t>(size - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

// A console shows wide text whatever its code page; anything else (a pipe,
// a file) gets the UTF-8 bytes unchanged, "\n" included.
std::ostream& stream(DWORD which, FILE* file, std::ostream& fallback) {
    const HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode)) {
        static Utf8ToUtf16Buf* buffers[2] = {nullptr, nullptr};
        Utf8ToUtf16Buf*& buffer = buffers[which == STD_OUTPUT_HANDLE ? 0 : 1];
        if (buffer == nullptr) {
            buffer = new Utf8ToUtf16Buf([handle](std::u16string_view text) {
                DWORD written = 0;
                WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
            });
        }
        static std::ostream* streams[2] = {nullptr, nullptr};
        std::ostream*& s = streams[which == STD_OUTPUT_HANDLE ? 0 : 1];
        if (s == nullptr) {
            s = new std::ostream(buffer);
        }
        return *s;
    }
    std::fflush(file);
    _setmode(_fileno(file), _O_BINARY);
    return fallback;
}

}  // namespace

std::vector<std::string> CommandLineUtf8(int, char**) {
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return args;
    }
    for (int i = 1; i < count; ++i) {
        args.push_back(toUtf8(wide[i]));
    }
    LocalFree(wide);
    return args;
}

std::ostream& ConsoleOut() { return stream(STD_OUTPUT_HANDLE, stdout, std::cout); }
std::ostream& ConsoleErr() { return stream(STD_ERROR_HANDLE, stderr, std::cerr); }

}  // namespace tkcli
