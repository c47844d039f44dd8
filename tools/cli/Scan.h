// The scan command: finds converters whose address or serial line settings
// are unknown. Over the LAN it asks every address of a range for info.txt;
// over a serial port it tries the line settings and addresses a converter
// can have, most likely first.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tkcli {

// Addresses first..last, host byte order, both included.
struct Ipv4Range {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    std::uint32_t count() const { return last - first + 1; }
};

constexpr std::uint32_t SCAN_MAX_ADDRESSES = 1024;
constexpr std::uint32_t SCAN_ASK_ABOVE = 256;

enum class RangeError { None, Syntax, HostPart, TooLarge, NotUnicast };

// "a.b.c.d/n" (no host bits set; for n up to 30 the network and broadcast
// addresses are left out) or "FIRST-LAST". At most SCAN_MAX_ADDRESSES, and
// never a broadcast, multicast or "this network" address.
RangeError ParseIpv4Range(std::string_view text, Ipv4Range& range);
std::string Ipv4Text(std::uint32_t address);

// Set from a signal handler: the scan stops at once and reports what it found.
using StopFlag = const volatile int*;

struct LanScanSettings {
    Ipv4Range range;
    std::uint16_t port = 69;
    std::uint32_t ratePerSecond = 100;
    std::uint32_t timeoutMs = 1000;
};

struct LanAnswer {
    std::uint32_t address = 0;
    std::string info; // the first data block of info.txt, one char per byte
};

// probed, total, found so far.
using ScanProgress = std::function<void(std::size_t, std::size_t, std::size_t)>;

// One read request for info.txt to each address at the given rate; the
// first data packet of each converter that answers within the timeout is
// kept, and its transfer ended with an error packet. Nothing is sent to an
// address outside the range. False when no socket could be opened.
bool ScanLan(const LanScanSettings& settings, const ScanProgress& progress, StopFlag stop,
             std::vector<LanAnswer>& found);

struct LineSettings {
    std::int32_t KodBaud = 4;
    std::int32_t KodParita = 1;
    std::uint8_t Adresa = 247;
};

// The order in which a serial scan tries the line settings and addresses:
// the connection defaults, then every baud rate of the lists with even,
// none and odd parity, each with addresses 247, 255 and 1; with
// allAddresses then every other address in rising order over all settings.
std::vector<LineSettings> SerialScanOrder(bool allAddresses);

// Time one identification exchange may take at a line setting: request and
// answer on the wire, the silence that ends the answer and a margin for
// the converter's turnaround.
std::uint32_t SerialAttemptTimeoutMs(std::int32_t kodBaud, std::int32_t kodParita);

enum class SerialScanResult { Found, NotFound, PortError, Stopped };

// Judges the settings at which something answered: true when a supported
// converter is there and the scan ends. Called with the scan's port closed.
using SerialAnswerCheck = std::function<bool(const LineSettings&)>;

// Tries each setting of `order` on COM port `comNumber` with one
// identification exchange. An answer that is only the request's echo is
// counted in `echoes`; any other goes to `check`, and the scan goes on
// until `check` finds a converter (then in `found`).
SerialScanResult ScanSerial(std::int32_t comNumber, const std::vector<LineSettings>& order,
                            const ScanProgress& progress, StopFlag stop,
                            const SerialAnswerCheck& check, LineSettings& found,
                            std::size_t& echoes);

} // namespace tkcli
