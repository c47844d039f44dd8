// Under Wine the pair is two pseudo-terminals joined by socat, set up by
// tests/wine/with-com-pair.sh: COM ports FIRST..LAST all lead to the
// program's end, COM PEER to the test's end (TK_WINE_COM_PAIR=FIRST-LAST:PEER).
// Tests in one executable run one after another, so the shared ends never
// serve two tests at once.
#include "support/PtyPair.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <windows.h>

namespace support {

namespace {

struct ComPair {
    int first = 0;
    int last = 0;
    int peer = 0;
};

ComPair comPair() {
    ComPair p;
    const char* text = std::getenv("TK_WINE_COM_PAIR");
    if (text == nullptr || std::sscanf(text, "%d-%d:%d", &p.first, &p.last, &p.peer) != 3) {
        return {};
    }
    return p;
}

std::wstring comPath(int n) {
    return L"\\\\.\\COM" + std::to_wstring(n);
}

HANDLE openCom(int n) {
    const HANDLE h = CreateFileW(comPath(n).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    return h;
}

// Reads return at once when bytes wait, else after waitMs at the latest.
void setReadWait(HANDLE h, DWORD waitMs) {
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = MAXDWORD;
    t.ReadTotalTimeoutConstant = waitMs;
    SetCommTimeouts(h, &t);
}

// Throws away what an earlier test left in the line.
void drain(HANDLE h) {
    setReadWait(h, 20);
    std::uint8_t buffer[512];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    }
}

HANDLE handleOf(int value) {
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(value));
}

} // namespace

PtyPair::PtyPair() {
    const ComPair pair = comPair();
    if (pair.peer == 0) {
        return;
    }
    const HANDLE program = openCom(pair.first);
    if (program == INVALID_HANDLE_VALUE) {
        return;
    }
    drain(program);
    CloseHandle(program);
    const HANDLE peer = openCom(pair.peer);
    if (peer == INVALID_HANDLE_VALUE) {
        return;
    }
    drain(peer);
    // Handle values are small numbers, so they fit the descriptor field.
    master_ = static_cast<int>(reinterpret_cast<std::intptr_t>(peer));
    slave_ = pair.first;
    slavePath_ = "\\\\.\\COM" + std::to_string(pair.first);
}

PtyPair::~PtyPair() {
    closeMaster();
}

void PtyPair::mapAsCom(int comNumber) {
    const ComPair pair = comPair();
    if (comNumber < pair.first || comNumber > pair.last) {
        closeMaster(); // not a number the wrapper joined to this pair
    }
    mapped_ = true;
}

bool PtyPair::writeMaster(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size() && master_ >= 0) {
        DWORD n = 0;
        if (!WriteFile(handleOf(master_), bytes.data() + done,
                       static_cast<DWORD>(bytes.size() - done), &n, nullptr) ||
            n == 0) {
            return false;
        }
        done += n;
    }
    return done == bytes.size();
}

std::vector<std::uint8_t> PtyPair::readMaster(std::size_t want, int timeoutMs) {
    std::vector<std::uint8_t> result;
    if (master_ < 0) {
        return result;
    }
    setReadWait(handleOf(master_), static_cast<DWORD>(timeoutMs));
    while (result.size() < want) {
        std::uint8_t buffer[512];
        const std::size_t room = want - result.size();
        DWORD n = 0;
        if (!ReadFile(handleOf(master_), buffer,
                      static_cast<DWORD>(room < sizeof buffer ? room : sizeof buffer), &n,
                      nullptr) ||
            n == 0) {
            break;
        }
        result.insert(result.end(), buffer, buffer + n);
    }
    return result;
}

void PtyPair::closeMaster() {
    if (master_ >= 0) {
        CloseHandle(handleOf(master_));
        master_ = -1;
    }
}

} // namespace support
