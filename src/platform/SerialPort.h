// Serial ports by COM number: exclusive open with fixed line settings,
// reads that never wait, a bounded wait for data, writes and close.
// Open ports are known by a small non-zero handle that fits a Cardinal
// field; 0 means no port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace platform {

using SerialHandle = std::uint32_t;
constexpr SerialHandle kNoSerialPort = 0;

// Line settings applied at opening: 8 data bits, 1 stop bit, raw bytes,
// no flow control, DTR and RTS off are fixed.
struct SerialLineSettings {
    std::int32_t baudRate = 9600;
    std::int32_t parityCode = 0; // 1 even, 2 odd, anything else none
};

// One open port. Implementations never throw and never block in read().
class SerialPort {
  public:
    virtual ~SerialPort() = default;
    // Copies up to maxBytes bytes that have already arrived; 0 when none
    // arrived or the port failed.
    virtual std::size_t read(std::uint8_t* buffer, std::size_t maxBytes) = 0;
    // Returns true as soon as bytes can be read, false after timeoutMs
    // without any. A failed port waits out timeoutMs so callers never spin.
    virtual bool waitReadable(std::uint32_t timeoutMs) = 0;
    // Returns the number of bytes handed to the device.
    virtual std::size_t write(const std::uint8_t* data, std::size_t count) = 0;
    // Drops bytes that arrived and were not read yet, so leftovers of an
    // earlier answer cannot join the next one. By default reads them away.
    virtual void discardInput();
    // True once the system reported the device gone or hung up (unplugged,
    // re-created, the far end of a pseudo-terminal closed): no byte will
    // pass this port again, only a new opening can help.
    virtual bool gone() const { return false; }
};

// Creates open ports; the seam through which tests substitute a fake.
class SerialBackend {
  public:
    virtual ~SerialBackend() = default;
    // nullptr when the port cannot be opened (missing, busy, denied). A port
    // that opens but rejects its line settings still counts as opened.
    virtual std::unique_ptr<SerialPort> open(std::int32_t comNumber,
                                             const SerialLineSettings& settings) = 0;
};

// Installs a backend for every later open; nullptr restores the system one.
// Ports already open stay with the backend that opened them.
void setSerialBackend(SerialBackend* backend);
// The operating system's backend.
SerialBackend& systemSerialBackend();

// Device of COM port n: on Windows always \\.\COM<n>; elsewhere the path
// given for n by the program-wide map, else /dev/ttyS<n-1>.
void setSerialDeviceMap(std::map<int, std::string> map);
std::string serialDevicePath(int comNumber);
// The mapped path of n, or an empty string when the map has none.
std::string mappedSerialDevicePath(int comNumber);

// Handle-based access used by the links. Only COM numbers 1-255 open.
// Unknown handles behave as closed ports: reads give nothing, writes
// nothing, waits take their full time.
SerialHandle serialOpen(std::int32_t comNumber, const SerialLineSettings& settings);
bool serialIsOpen(SerialHandle handle);
std::size_t serialRead(SerialHandle handle, std::uint8_t* buffer, std::size_t maxBytes);
bool serialWaitReadable(SerialHandle handle, std::uint32_t timeoutMs);
std::size_t serialWrite(SerialHandle handle, const std::uint8_t* data, std::size_t count);
void serialDiscardInput(SerialHandle handle);
// True when the open port's device is gone (see SerialPort::gone).
bool serialGone(SerialHandle handle);
// Closes the port's device and opens the same COM number again with the
// same settings, keeping the handle, so every copy of it follows. When the
// device cannot be opened the handle stays open on a gone port, and a
// later reopen may still succeed. False then, or for a handle not open.
bool serialReopen(SerialHandle handle);
// Closes the port, ignoring errors of the device. False when the handle
// was not open (already closed, perhaps through a copy of it).
bool serialClose(SerialHandle handle);

} // namespace platform
