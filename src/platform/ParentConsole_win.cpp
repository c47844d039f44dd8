#include "platform/ParentConsole.h"

#include <iostream>
#include <streambuf>
#include <string>

#include <windows.h>

namespace platform {

namespace {

// Hands what a C++ stream is given straight to a console handle, with the
// line ends a console wants. The C runtime's streams are left alone: one
// that had no descriptor at start cannot be reopened on a console by every
// runtime, and the program writes its texts through std::cout and
// std::cerr only.
class ConsoleBuffer : public std::streambuf {
  public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) {}

  protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        const char ch = traits_type::to_char_type(c);
        return write(&ch, 1) ? c : traits_type::eof();
    }

    std::streamsize xsputn(const char* s, std::streamsize n) override {
        return write(s, n) ? n : 0;
    }

  private:
    bool write(const char* s, std::streamsize n) {
        std::string text;
        text.reserve(static_cast<std::size_t>(n) + 8);
        for (std::streamsize i = 0; i < n; ++i) {
            if (s[i] == '\n') {
                text += '\r';
            }
            text += s[i];
        }
        DWORD written = 0;
        return WriteFile(console_, text.data(), static_cast<DWORD>(text.size()), &written,
                         nullptr) &&
               written == text.size();
    }

    HANDLE console_;
};

HANDLE console = INVALID_HANDLE_VALUE;
ConsoleBuffer* consoleBuffer = nullptr;
std::streambuf* outputBefore = nullptr;
std::streambuf* errorBefore = nullptr;

// A handle the parent passed on (console, file or pipe) is kept.
bool leadsSomewhere(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

} // namespace

void borrowParentConsole() {
    const bool output = leadsSomewhere(STD_OUTPUT_HANDLE);
    const bool error = leadsSomewhere(STD_ERROR_HANDLE);
    if ((output && error) || !AttachConsole(ATTACH_PARENT_PROCESS)) {
        return;
    }
    console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE) {
        FreeConsole();
        return;
    }
    consoleBuffer = new ConsoleBuffer(console);
    if (!output) {
        outputBefore = std::cout.rdbuf(consoleBuffer);
        std::cout.clear();
    }
    if (!error) {
        errorBefore = std::cerr.rdbuf(consoleBuffer);
        std::cerr.clear();
    }
}

void returnParentConsole() {
    if (consoleBuffer == nullptr) {
        return;
    }
    if (outputBefore != nullptr) {
        std::cout.rdbuf(outputBefore);
    }
    if (errorBefore != nullptr) {
        std::cerr.rdbuf(errorBefore);
    }
    delete consoleBuffer;
    consoleBuffer = nullptr;
    outputBefore = errorBefore = nullptr;
    CloseHandle(console);
    console = INVALID_HANDLE_VALUE;
    FreeConsole();
}

} // namespace platform
