#include "cli/Scan.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "app/Dekl.h"
#include "link/M_ModbusRTU.h"
#include "link/TftpWire.h"
#include "platform/Udp.h"
#include "workflow/PripojeniLogika.h"
#include "workflow/TextyOken.h"

namespace tkcli {

namespace {

bool parseAddress(std::string_view text, std::uint32_t& address) {
    address = 0;
    for (int part = 0; part < 4; ++part) {
        unsigned value = 0;
        const char* begin = text.data();
        const char* end = text.data() + text.size();
        const auto [next, error] = std::from_chars(begin, end, value);
        if (error != std::errc() || next == begin || next - begin > 3 || value > 255) {
            return false;
        }
        address = address << 8 | value;
        text.remove_prefix(static_cast<std::size_t>(next - begin));
        if (part < 3) {
            if (text.empty() || text.front() != '.') {
                return false;
            }
            text.remove_prefix(1);
        }
    }
    return text.empty();
}

// "This network" (0/8), multicast and reserved (224/3) and the limited
// broadcast are never probed.
bool unicast(std::uint32_t address) {
    const std::uint32_t top = address >> 24;
    return top != 0 && top < 224;
}

std::uint32_t nowMs() {
    return MBRTU_CasMs();
}

} // namespace

RangeError ParseIpv4Range(std::string_view text, Ipv4Range& range) {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    if (const auto slash = text.find('/'); slash != std::string_view::npos) {
        unsigned prefix = 0;
        const std::string_view bits = text.substr(slash + 1);
        const auto [next, error] = std::from_chars(bits.data(), bits.data() + bits.size(), prefix);
        if (!parseAddress(text.substr(0, slash), first) || error != std::errc() || bits.empty() ||
            next != bits.data() + bits.size() || prefix > 32) {
            return RangeError::Syntax;
        }
        const std::uint32_t hostMask = prefix == 0 ? 0xFFFFFFFFu : (1u << (32 - prefix)) - 1u;
        if ((first & hostMask) != 0) {
            return RangeError::HostPart;
        }
        last = first | hostMask;
        if (prefix <= 30) {
            ++first; // network address
            --last;  // broadcast address
        }
    } else if (const auto dash = text.find('-'); dash != std::string_view::npos) {
        if (!parseAddress(text.substr(0, dash), first) ||
            !parseAddress(text.substr(dash + 1), last) || last < first) {
            return RangeError::Syntax;
        }
    } else {
        return RangeError::Syntax;
    }
    if (static_cast<std::uint64_t>(last) - first + 1 > SCAN_MAX_ADDRESSES) {
        return RangeError::TooLarge;
    }
    if (!unicast(first) || !unicast(last)) {
        return RangeError::NotUnicast;
    }
    range = Ipv4Range{first, last};
    return RangeError::None;
}

std::string Ipv4Text(std::uint32_t a) {
    return std::to_string(a >> 24) + "." + std::to_string(a >> 16 & 0xFF) + "." +
           std::to_string(a >> 8 & 0xFF) + "." + std::to_string(a & 0xFF);
}

bool ScanLan(const LanScanSettings& s, const ScanProgress& progress, StopFlag stop,
             std::vector<LanAnswer>& found) {
    platform::UdpSocket socket;
    if (!socket.open(platform::IpVersion::V4)) {
        return false;
    }
    const std::size_t total = s.range.count();
    std::vector<std::uint32_t> sentAt(total, 0);
    std::vector<bool> answered(total, false);
    const std::vector<std::uint8_t> request =
        tftpwire::requestPacket(tftpwire::Opcode::Rrq, "info.txt", "octet");
    // Ends a transfer the converter has started: without it a converter
    // would keep resending its first block.
    const std::vector<std::uint8_t> goodbye =
        tftpwire::errorPacket(tftpwire::NotDefined, "scan done");
    const std::uint32_t rate = std::max<std::uint32_t>(s.ratePerSecond, 1);
    std::array<std::uint8_t, 600> buffer;

    const std::uint32_t start = nowMs();
    std::size_t probed = 0;
    std::uint32_t lastSent = start;
    auto stopped = [&] { return stop != nullptr && *stop != 0; };
    while (!stopped()) {
        const std::uint32_t now = nowMs();
        if (probed < total) {
            // Probe n goes out at start + n / rate, never earlier.
            const std::uint32_t due =
                start + static_cast<std::uint32_t>(std::uint64_t{probed} * 1000u / rate);
            if (now - start >= due - start) {
                platform::UdpEndpoint to;
                const std::uint32_t a = s.range.first + static_cast<std::uint32_t>(probed);
                to.address = {static_cast<std::uint8_t>(a >> 24),
                              static_cast<std::uint8_t>(a >> 16), static_cast<std::uint8_t>(a >> 8),
                              static_cast<std::uint8_t>(a)};
                to.port = s.port;
                socket.sendTo(to, request.data(), request.size());
                sentAt[probed] = lastSent = now;
                ++probed;
                if (progress) {
                    progress(probed, total, found.size());
                }
                continue;
            }
        } else if (now - lastSent > s.timeoutMs) {
            break;
        }
        const std::uint32_t nextDue =
            probed < total
                ? start + static_cast<std::uint32_t>(std::uint64_t{probed} * 1000u / rate) - now
                : s.timeoutMs + 1 - std::min(now - lastSent, s.timeoutMs);
        std::size_t length = 0;
        bool truncated = false;
        platform::UdpEndpoint from;
        // Short waits keep Ctrl-C prompt.
        const std::uint32_t wait = std::clamp<std::uint32_t>(nextDue, 1, 50);
        if (socket.receiveFrom(buffer.data(), buffer.size(), length, truncated, from, wait) !=
            platform::UdpReceive::Datagram) {
            continue;
        }
        const std::uint32_t a = std::uint32_t{from.address[0]} << 24 |
                                std::uint32_t{from.address[1]} << 16 |
                                std::uint32_t{from.address[2]} << 8 | from.address[3];
        // Only addresses of the range that were asked, and only in time.
        if (from.version != platform::IpVersion::V4 || a < s.range.first || a > s.range.last) {
            continue;
        }
        const std::size_t i = a - s.range.first;
        if (i >= probed || nowMs() - sentAt[i] > s.timeoutMs || length < 4) {
            continue;
        }
        const tftpwire::Packet answer = tftpwire::parse({buffer.data(), length});
        if (answer.opcode == tftpwire::Opcode::Error) {
            continue;
        }
        socket.sendTo(from, goodbye.data(), goodbye.size());
        if (answer.opcode == tftpwire::Opcode::Data && answer.number == 1 && !answered[i]) {
            answered[i] = true;
            found.push_back(
                LanAnswer{a, std::string(answer.payload.begin(), answer.payload.end())});
            if (progress) {
                progress(probed, total, found.size());
            }
        }
    }
    std::sort(found.begin(), found.end(),
              [](const LanAnswer& x, const LanAnswer& y) { return x.address < y.address; });
    return true;
}

std::vector<LineSettings> SerialScanOrder(bool allAddresses) {
    const TPripojeni defaults = VychoziPripojeni();
    std::vector<std::pair<std::int32_t, std::int32_t>> lines{
        {defaults.COM_KodBaud, defaults.COM_KodParita}};
    for (std::int32_t position = 0; position < BAUD_LIST_SIZE; ++position) {
        for (std::int32_t parity : {PARITA_SUDA, PARITA_ZADNA, PARITA_LICHA}) {
            const std::pair<std::int32_t, std::int32_t> line{PoziceNaKodBaud(position), parity};
            if (line != lines.front()) {
                lines.push_back(line);
            }
        }
    }
    std::vector<LineSettings> order;
    for (const auto& [baud, parity] : lines) {
        for (std::uint8_t address : {247, 255, 1}) {
            order.push_back({baud, parity, address});
        }
    }
    // Low addresses are the more likely ones, so the sweep goes address by
    // address over every line setting.
    for (unsigned address = 2; allAddresses && address <= 254; ++address) {
        for (const auto& [baud, parity] : lines) {
            if (address != 247) {
                order.push_back({baud, parity, static_cast<std::uint8_t>(address)});
            }
        }
    }
    return order;
}

std::uint32_t SerialAttemptTimeoutMs(std::int32_t kodBaud, std::int32_t kodParita) {
    // Request and answer of 0x45 identification: 8 message bytes plus the
    // CRC each way.
    constexpr std::uint32_t kCharacters = 2 * (8 + 2);
    constexpr std::uint32_t kTurnaroundMs = 20;
    const std::uint32_t bits = kodParita == PARITA_ZADNA ? 10 : 11;
    const std::uint32_t rate = static_cast<std::uint32_t>(MBRTU_Rychlost(kodBaud));
    return (kCharacters * bits * 1000 + rate - 1) / rate + MBRTU_TichoMs(kodBaud) + kTurnaroundMs;
}

SerialScanResult ScanSerial(std::int32_t comNumber, const std::vector<LineSettings>& order,
                            const ScanProgress& progress, StopFlag stop,
                            const SerialAnswerCheck& check, LineSettings& found,
                            std::size_t& echoes) {
    echoes = 0;
    TTK7713T tk;
    std::pair<std::int32_t, std::int32_t> open{-1, -1};
    SerialScanResult result = SerialScanResult::NotFound;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (stop != nullptr && *stop != 0) {
            result = SerialScanResult::Stopped;
            break;
        }
        const LineSettings& s = order[i];
        if (open != std::pair{s.KodBaud, s.KodParita}) {
            MBRTU_Zavri(tk.MBRTU);
            if (MBRTU_Init(comNumber, s.KodBaud, s.KodParita,
                           SerialAttemptTimeoutMs(s.KodBaud, s.KodParita), tk.MBRTU) != MBRTU_OK) {
                result = SerialScanResult::PortError;
                break;
            }
            open = {s.KodBaud, s.KodParita};
        }
        if (progress) {
            progress(i + 1, order.size(), 0);
        }
        std::string chars;
        bool echo = false;
        tk.MBRTU.CFG.Adresa = s.Adresa;
        if (!IdentificationExchange(tk, s.Adresa, 0, chars, &echo)) {
            continue;
        }
        if (echo) {
            ++echoes;
            continue;
        }
        MBRTU_Zavri(tk.MBRTU);
        open = {-1, -1};
        if (check(s)) {
            found = s;
            result = SerialScanResult::Found;
            break;
        }
    }
    MBRTU_Zavri(tk.MBRTU);
    return result;
}

} // namespace tkcli
