#include "platform/SerialPort.h"

#include <windows.h>

#include "platform/Clock.h"

namespace platform {

namespace {

// Failures are ignored: a port that rejects a setting still counts as opened.
void applyLineSettings(HANDLE port, const SerialLineSettings& settings) {
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (GetCommState(port, &dcb)) {
        dcb.BaudRate = static_cast<DWORD>(settings.baudRate);
        dcb.ByteSize = 8;
        dcb.StopBits = ONESTOPBIT;
        if (settings.parityCode == 1) {
            dcb.Parity = EVENPARITY;
        } else if (settings.parityCode == 2) {
            dcb.Parity = ODDPARITY;
        } else {
            dcb.Parity = NOPARITY;
        }
        dcb.fParity = FALSE; // parity of received bytes is not checked
        dcb.fBinary = TRUE;
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDtrControl = DTR_CONTROL_DISABLE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fErrorChar = FALSE;
        dcb.fNull = FALSE;
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        dcb.fAbortOnError = FALSE;
        SetCommState(port, &dcb);
    }
    // Reads return at once with whatever has arrived; writes have no timeout.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    SetCommTimeouts(port, &timeouts);
}

// Errors by which the system says the device itself is gone: a USB port
// unplugged or re-created while open.
bool deviceGoneError(DWORD error) {
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_REMOVED:
    case ERROR_OPERATION_ABORTED:
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_INVALID_HANDLE:
        return true;
    default:
        return false;
    }
}

double nowMs() {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER counter{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

class WinSerialPort final : public SerialPort {
  public:
    explicit WinSerialPort(HANDLE port) : port_(port) {}

    ~WinSerialPort() override { CloseHandle(port_); }

    WinSerialPort(const WinSerialPort&) = delete;
    WinSerialPort& operator=(const WinSerialPort&) = delete;

    std::size_t read(std::uint8_t* buffer, std::size_t maxBytes) override {
        const DWORD wanted = maxBytes > MAXDWORD ? MAXDWORD : static_cast<DWORD>(maxBytes);
        DWORD got = 0;
        if (wanted == 0) {
            return 0;
        }
        if (!ReadFile(port_, buffer, wanted, &got, nullptr)) {
            fail();
            return 0;
        }
        return got;
    }

    // Polls the input queue at 1 ms steps; the timer resolution request
    // keeps each step close to 1 ms.
    bool waitReadable(std::uint32_t timeoutMs) override {
        const double deadline = nowMs() + timeoutMs;
        for (;;) {
            if (failed_) {
                const double left = deadline - nowMs();
                if (left > 0) {
                    pauseMs(static_cast<std::uint32_t>(left + 0.5));
                }
                return false;
            }
            if (queuedBytes() > 0) {
                return true;
            }
            if (nowMs() >= deadline) {
                return false;
            }
            Sleep(1);
        }
    }

    std::size_t write(const std::uint8_t* data, std::size_t count) override {
        std::size_t done = 0;
        while (done < count) {
            const std::size_t left = count - done;
            const DWORD chunk = left > MAXDWORD ? MAXDWORD : static_cast<DWORD>(left);
            DWORD written = 0;
            if (!WriteFile(port_, data + done, chunk, &written, nullptr)) {
                if (deviceGoneError(GetLastError())) {
                    fail();
                }
                break;
            }
            if (written == 0) {
                break;
            }
            done += written;
        }
        return done;
    }

    void discardInput() override { PurgeComm(port_, PURGE_RXCLEAR); }

    bool gone() const override { return gone_; }

  private:
    // Called right after the failed call, while its error is still the last.
    void fail() {
        const bool gone = deviceGoneError(GetLastError());
        failed_ = true;
        gone_ = gone_ || gone;
    }

    DWORD queuedBytes() {
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(port_, &errors, &status)) {
            fail();
            return 0;
        }
        return status.cbInQue;
    }

    HANDLE port_;
    bool failed_ = false; // waits only pause
    bool gone_ = false;   // the system said the device is gone
};

class WinSerialBackend final : public SerialBackend {
  public:
    std::unique_ptr<SerialPort> open(std::int32_t comNumber,
                                     const SerialLineSettings& settings) override {
        const std::string path = serialDevicePath(comNumber);
        const std::wstring widePath(path.begin(), path.end());
        // No sharing: the port is ours alone while open.
        HANDLE port = CreateFileW(widePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_WRITE_THROUGH, nullptr);
        if (port == INVALID_HANDLE_VALUE) {
            return nullptr;
        }
        applyLineSettings(port, settings);
        EscapeCommFunction(port, CLRDTR);
        EscapeCommFunction(port, CLRRTS);
        return std::make_unique<WinSerialPort>(port);
    }
};

WinSerialBackend theSystemBackend;

} // namespace

SerialBackend& systemSerialBackend() {
    return theSystemBackend;
}

// The \\.\ form reaches every port number 1-255.
std::string serialDevicePath(int comNumber) {
    return "\\\\.\\COM" + std::to_string(comNumber);
}

} // namespace platform
