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
// a file) gets the UTF-8 bytes unchanged, "\n" included. Called once per
// stream; a console stream lives as long as the program.
std::ostream& stream(DWORD which, FILE* file, std::ostream& fallback) {
    const HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode)) {
        auto* buffer = new Utf8ToUtf16Buf([handle](std::u16string_view text) {
            DWORD written = 0;
            WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        });
        return *new std::ostream(buffer);
    }
    std::fflush(file);
    _setmode(_fileno(file), _O_BINARY);
    return fallback;
}

} // namespace

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

void IgnoreBrokenPipeSignal() {}

// Ctrl-C ends a console read at once here.
bool ReadAnswerLine(std::string& line) {
    const bool read = static_cast<bool>(std::getline(std::cin, line));
    if (!read) {
        std::cin.clear();
    }
    return read;
}

bool ErrIsTerminal() {
    DWORD mode = 0;
    const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

std::ostream& ConsoleOut() {
    static std::ostream& out = stream(STD_OUTPUT_HANDLE, stdout, std::cout);
    return out;
}

std::ostream& ConsoleErr() {
    static std::ostream& err = stream(STD_ERROR_HANDLE, stderr, std::cerr);
    return err;
}

} // namespace tkcli
