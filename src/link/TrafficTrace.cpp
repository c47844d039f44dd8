#include "link/TrafficTrace.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <utility>

#include "link/M_ModbusRTU.h"
#include "link/TftpWire.h"
#include "link/U_TK7713T.h"
#include "platform/Clock.h"

namespace linktrace {

namespace {

constexpr std::uint32_t kMsPerDay = 86400000;
// Bytes of one answer kept for its line; more are only counted.
constexpr std::size_t kKeptAnswerBytes = 1024;

std::uint16_t get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

std::string number(std::uint32_t value) {
    return std::to_string(value);
}

std::string hex2(std::uint32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFFu);
    return text;
}

// Printable ASCII as is, anything else as \xNN, so a line stays one line.
std::string escaped(const std::uint8_t* data, std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t c = data[i];
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char text[8];
            std::snprintf(text, sizeof text, "\\x%02X", c);
            out += text;
        }
    }
    return out;
}

std::string quoted(const std::uint8_t* data, std::size_t length) {
    return "\"" + escaped(data, length) + "\"";
}

Decoded malformed(std::string why) {
    return {"malformed " + std::move(why), true};
}

std::string escaped(const std::string& text) {
    return escaped(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// " name=value name=value"
std::string optionsText(const tftpwire::Options& options) {
    std::string out;
    for (const tftpwire::Option& option : options) {
        out.append(" ").append(escaped(option.name)).append("=").append(escaped(option.value));
    }
    return out;
}

const char* tftpErrorName(std::uint16_t code) {
    static const char* const names[] = {"not defined", "file not found",    "access violation",
                                        "disk full",   "illegal operation", "unknown transfer ID",
                                        "file exists", "no such user",      "option refused"};
    return code < std::size(names) ? names[code] : nullptr;
}

const char* exceptionName(std::uint8_t code) {
    switch (code) {
    case 1:
        return "illegal function";
    case 2:
        return "illegal data address";
    case 3:
        return "illegal data value";
    case 4:
        return "server device failure";
    case 5:
        return "acknowledge";
    case 6:
        return "server device busy";
    case 8:
        return "memory parity error";
    case 10:
        return "gateway path unavailable";
    case 11:
        return "gateway target device failed to respond";
    default:
        return nullptr;
    }
}

const char* identificationItem(std::uint8_t item) {
    switch (item) {
    case 0:
        return "type 1-4";
    case 1:
        return "type 5-8";
    case 2:
        return "firmware version";
    case 10:
        return "serial number 1-4";
    case 11:
        return "serial number 5-8";
    default:
        return nullptr;
    }
}

std::string fileText(std::uint8_t fileNumber) {
    std::string text = "file " + number(fileNumber);
    for (const tk7713t::ConverterFile& f : tk7713t::catalogue()) {
        if (f.number == fileNumber) {
            text += " " + std::string(f.name);
        }
    }
    return text;
}

// body: the frame between function code and CRC.
Decoded rtuRequest(std::uint8_t function, const std::uint8_t* body, std::size_t n) {
    switch (function) {
    case 0x43:
    case 0x44: {
        const bool read = function == 0x43;
        const std::size_t data = n >= 5 ? body[4] : 0;
        if (n < 5 || n != 5 + (read ? 0 : data)) {
            return malformed(std::string(read ? "read" : "write") + " block request with " +
                             number(static_cast<std::uint32_t>(n)) + " bytes after the function");
        }
        std::string text = std::string(read ? "read block: " : "write block: ") +
                           fileText(body[1]) + ", block " + number(get16(body + 2)) + ", " +
                           number(body[4]) + " bytes";
        if (body[0] != 0xFE) {
            text += ", marker " + hex2(body[0]);
        }
        return {text};
    }
    case 0x45: {
        if (n < 2 || n != 2u + get16(body)) {
            return malformed("message request with " + number(static_cast<std::uint32_t>(n)) +
                             " bytes after the function");
        }
        std::string text = "message, " + number(get16(body)) + " bytes";
        if (n >= 5 && body[3] == 0xC8) {
            const char* item = identificationItem(body[4]);
            text += ": identification item " + number(body[4]) +
                    (item ? std::string(" (") + item + ")" : "");
        }
        return {text};
    }
    default:
        return {"with " + number(static_cast<std::uint32_t>(n)) + " data bytes"};
    }
}

Decoded rtuAnswer(std::uint8_t function, const std::uint8_t* body, std::size_t n) {
    if (function >= 0x80) {
        if (n != 1) {
            return malformed("exception answer with " + number(static_cast<std::uint32_t>(n)) +
                             " bytes after the function");
        }
        const char* name = exceptionName(body[0]);
        return {"exception " + number(body[0]) + (name ? std::string(" (") + name + ")" : "") +
                " to function " + hex2(function & 0x7Fu)};
    }
    switch (function) {
    case 0x43:
        if (n < 1) {
            return malformed("read block answer without data");
        }
        return {"block data, " + number(static_cast<std::uint32_t>(n - 1)) + " bytes"};
    case 0x44:
        if (n != 1) {
            return malformed("write block answer with " + number(static_cast<std::uint32_t>(n)) +
                             " bytes after the function");
        }
        return {"status " + number(body[0]) + (body[0] == 0 ? " (accepted)" : " (refused)")};
    case 0x45: {
        if (n < 2) {
            return malformed("message answer without its header");
        }
        const std::uint8_t* message = body + 2;
        const std::size_t m = n - 2;
        std::string text = "answer, " + number(static_cast<std::uint32_t>(m)) + " bytes";
        if (m >= 8 && message[1] == 0xC8) {
            text += ": identification item " + number(message[2]) + " " + quoted(message + 4, 4);
        }
        return {text};
    }
    default:
        return {"with " + number(static_cast<std::uint32_t>(n)) + " data bytes"};
    }
}

// Register values as decimal numbers, the first 16 of them.
std::string registerList(const std::uint8_t* data, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count && i < 16; ++i) {
        text.push_back(' ');
        text.append(number(get16(data + 2 * i)));
    }
    if (count > 16) {
        text.append(" ...");
    }
    return text;
}

// Bytes of bits, each first bit first: CD 01 is "10110011 10000000".
std::string bitList(const std::uint8_t* data, std::size_t bytes) {
    std::string text;
    for (std::size_t i = 0; i < bytes && i < 8; ++i) {
        text += " ";
        for (int b = 0; b < 8; ++b) {
            text += (data[i] >> b & 1) != 0 ? '1' : '0';
        }
    }
    if (bytes > 8) {
        text.append(" ...");
    }
    return text;
}

const char* readTable(std::uint8_t function) {
    static const char* const names[] = {"coils", "discrete inputs", "holding registers",
                                        "input registers"};
    return names[function - 1];
}

// pdu: function code first.
Decoded mbtcpRequest(const std::uint8_t* pdu, std::size_t n) {
    const std::uint8_t fn = pdu[0];
    const std::size_t fixed = fn >= 1 && fn <= 6 ? 5 : fn == 0x0F || fn == 0x10 ? 6 : 0;
    if (fixed == 0) {
        return {"with " + number(static_cast<std::uint32_t>(n - 1)) + " data bytes"};
    }
    if (n < fixed || (fixed == 5 && n != 5) || (fixed == 6 && n != 6u + pdu[5])) {
        return malformed("request of function " + hex2(fn) + " with " +
                         number(static_cast<std::uint32_t>(n)) + " PDU bytes");
    }
    const std::string address = number(get16(pdu + 1));
    const std::uint16_t value = get16(pdu + 3);
    switch (fn) {
    case 0x05:
        return {"write coil " + address + " = " +
                (value == 0xFF00 ? "1"
                 : value == 0    ? "0"
                                 : "value " + number(value))};
    case 0x06:
        return {"write register " + address + " = " + number(value)};
    case 0x0F:
        return {"write " + number(value) + " coils from " + address + ":" +
                bitList(pdu + 6, pdu[5])};
    case 0x10:
        return {"write " + number(value) + " registers from " + address + ":" +
                registerList(pdu + 6, pdu[5] / 2u)};
    default:
        return {std::string("read ") + readTable(fn) + " from " + address + ", " + number(value)};
    }
}

Decoded mbtcpAnswer(const std::uint8_t* pdu, std::size_t n) {
    const std::uint8_t fn = pdu[0];
    if (fn >= 0x80) {
        if (n != 2) {
            return malformed("exception answer with " + number(static_cast<std::uint32_t>(n)) +
                             " PDU bytes");
        }
        const char* name = exceptionName(pdu[1]);
        return {"exception " + number(pdu[1]) + (name ? std::string(" (") + name + ")" : "") +
                " to function " + hex2(fn & 0x7Fu)};
    }
    if (fn >= 1 && fn <= 4) {
        if (n < 2 || n != 2u + pdu[1] || (fn >= 3 && pdu[1] % 2 != 0)) {
            return malformed("read answer with " + number(static_cast<std::uint32_t>(n)) +
                             " PDU bytes");
        }
        return {fn <= 2 ? std::string(readTable(fn)) + ", " + number(pdu[1]) +
                              " bytes:" + bitList(pdu + 2, pdu[1])
                        : number(pdu[1] / 2u) + " " + readTable(fn) + ":" +
                              registerList(pdu + 2, pdu[1] / 2u)};
    }
    if (fn == 0x05 || fn == 0x06 || fn == 0x0F || fn == 0x10) {
        if (n != 5) {
            return malformed("write answer with " + number(static_cast<std::uint32_t>(n)) +
                             " PDU bytes");
        }
        const std::string address = number(get16(pdu + 1));
        const std::uint16_t value = get16(pdu + 3);
        switch (fn) {
        case 0x05:
            return {"coil " + address + " written"};
        case 0x06:
            return {"register " + address + " = " + number(value) + " written"};
        default:
            return {number(value) + (fn == 0x0F ? " coils" : " registers") + " from " + address +
                    " written"};
        }
    }
    return {"with " + number(static_cast<std::uint32_t>(n - 1)) + " data bytes"};
}

} // namespace

std::string hexText(const std::uint8_t* data, std::size_t length) {
    std::string out;
    out.reserve(length * 3);
    for (std::size_t i = 0; i < length; ++i) {
        char text[4];
        std::snprintf(text, sizeof text, i == 0 ? "%02X" : " %02X", data[i]);
        out += text;
    }
    return out;
}

Decoded decodeTftp(const std::uint8_t* data, std::size_t length) {
    if (length < 2) {
        return malformed("TFTP packet of " + number(static_cast<std::uint32_t>(length)) + " bytes");
    }
    using tftpwire::Opcode;
    using tftpwire::Shape;
    const tftpwire::Packet p = tftpwire::parse({data, length});
    switch (p.opcode) {
    case Opcode::Rrq:
    case Opcode::Wrq: {
        const char* name = p.opcode == Opcode::Rrq ? "RRQ" : "WRQ";
        if (p.shape != Shape::Ok) {
            return malformed(std::string(name) + ": a string without its zero");
        }
        return {std::string(name) + " \"" + escaped(p.fileName) + "\" " + escaped(p.mode) +
                optionsText(p.options)};
    }
    case Opcode::Data:
        if (p.shape != Shape::Ok) {
            return malformed("DATA without block number");
        }
        return {"DATA " + number(p.number) + ", " +
                number(static_cast<std::uint32_t>(p.payload.size())) + " bytes"};
    case Opcode::Ack:
        if (p.shape != Shape::Ok) {
            return malformed("ACK of " + number(static_cast<std::uint32_t>(length)) + " bytes");
        }
        return {"ACK " + number(p.number)};
    case Opcode::Error: {
        if (p.shape != Shape::Ok) {
            return malformed("ERROR: code or message incomplete");
        }
        const char* name = tftpErrorName(p.number);
        return {"ERROR " + number(p.number) + (name ? std::string(" (") + name + ")" : "") + " \"" +
                escaped(p.message) + "\""};
    }
    case Opcode::Oack:
        if (p.shape != Shape::Ok) {
            return malformed("OACK: a string without its zero");
        }
        return {"OACK" +
                (p.options.empty() ? std::string(" without options") : optionsText(p.options))};
    default:
        return malformed("TFTP packet, opcode " + number(static_cast<std::uint16_t>(p.opcode)));
    }
}

Decoded decodeRtu(bool request, const std::uint8_t* data, std::size_t length) {
    if (length < 4) {
        return malformed("frame of " + number(static_cast<std::uint32_t>(length)) + " bytes");
    }
    const std::uint8_t function = data[1];
    const std::uint8_t* body = data + 2;
    const std::size_t n = length - 4;
    Decoded d = request ? rtuRequest(function, body, n) : rtuAnswer(function, body, n);
    if (d.malformed) {
        return d;
    }
    const std::uint16_t crc = MBRTU_CRC16(data, static_cast<std::uint32_t>(length - 2));
    const bool crcOk = (crc & 0xFF) == data[length - 2] && (crc >> 8) == data[length - 1];
    d.text = "addr " + number(data[0]) + " fn " + hex2(function) + " " + d.text +
             (crcOk ? ", CRC ok" : ", CRC wrong");
    return d;
}

Decoded decodeModbusTcp(bool request, const std::uint8_t* data, std::size_t length) {
    if (length < 8) {
        return malformed("Modbus TCP message of " + number(static_cast<std::uint32_t>(length)) +
                         " bytes");
    }
    if (get16(data + 2) != 0) {
        return malformed("MBAP: protocol id " + number(get16(data + 2)));
    }
    if (get16(data + 4) != length - 6) {
        return malformed("MBAP: length " + number(get16(data + 4)) + " for " +
                         number(static_cast<std::uint32_t>(length - 6)) + " bytes");
    }
    Decoded d = request ? mbtcpRequest(data + 7, length - 7) : mbtcpAnswer(data + 7, length - 7);
    if (!d.malformed) {
        d.text = "tid " + number(get16(data)) + " unit " + number(data[6]) + " fn " +
                 hex2(data[7]) + " " + (request ? "request" : "answer") + ", " +
                 number(static_cast<std::uint32_t>(length)) + " bytes: " + d.text;
    }
    return d;
}

TrafficTracer::TrafficTracer(LineSink sink, bool withHex)
    : sink_(std::move(sink)), withHex_(withHex) {
    lastTimeOfDay_ = std::min(MBRTU_CasMs(), kMsPerDay - 1);
    platform::setTrafficTap(this);
}

TrafficTracer::~TrafficTracer() {
    finish();
    if (platform::trafficTap() == this) {
        platform::setTrafficTap(nullptr);
    }
}

void TrafficTracer::finish() {
    for (auto& [handle, l] : serial_) {
        reportOpenAnswer(l);
    }
}

// Milliseconds since the tracer started, from the platform's time of day;
// a day boundary only wraps the time of day, never the count.
std::uint64_t TrafficTracer::now() {
    const std::uint32_t ms =
        std::min(MBRTU_CasMs(), kMsPerDay - 1); // a leap second stays in the day
    elapsed_ += (ms + kMsPerDay - lastTimeOfDay_) % kMsPerDay;
    lastTimeOfDay_ = ms;
    return elapsed_;
}

void TrafficTracer::writeLine(std::uint64_t at, bool sent, const std::string& where,
                              const Decoded& decoded, const std::uint8_t* data, std::size_t length,
                              const std::string& note) {
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "%7llu ms ", static_cast<unsigned long long>(at));
    std::string text = stamp;
    if (firstLine_) {
        const platform::TimeOfDay t = platform::localTimeOfDay();
        char clock[24];
        std::snprintf(clock, sizeof clock, "%02u:%02u:%02u.%03u ", t.hour, t.minute, t.second,
                      t.millisecond);
        text += clock;
        firstLine_ = false;
    } else {
        text += std::string(13, ' ');
    }
    text += sent ? "-> " : "<- ";
    text += where + "  " + decoded.text + note;
    if (decoded.malformed && length > 0) {
        text += ": " + hexText(data, length);
    } else if (withHex_ && length > 0) {
        text += "  | " + hexText(data, length);
    }
    sink_(text);
}

TrafficTracer::SerialLine& TrafficTracer::line(platform::SerialHandle handle) {
    auto [it, added] = serial_.try_emplace(handle);
    if (added) {
        it->second.name = "serial"; // a port opened before the trace began
    }
    return it->second;
}

void TrafficTracer::serialOpened(platform::SerialHandle handle, std::int32_t comNumber,
                                 const platform::SerialLineSettings& settings) {
    SerialLine& l = serial_[handle];
    // A port opened again under its handle: the attempt that found the device gone ends here.
    reportOpenAnswer(l);
    l = SerialLine();
    l.name = "COM" + std::to_string(comNumber);
    std::int32_t code = -1;
    for (std::int32_t c = 0; c <= 8; ++c) {
        if (MBRTU_Rychlost(c) == settings.baudRate) {
            code = c;
        }
    }
    l.silenceMs = MBRTU_TichoMs(code);
}

void TrafficTracer::serialWritten(platform::SerialHandle handle, const std::uint8_t* data,
                                  std::size_t count) {
    SerialLine& l = line(handle);
    reportOpenAnswer(l);
    const std::uint64_t at = now();
    writeLine(at, true, l.name, decodeRtu(true, data, count), data, count, "");
    l.awaiting = true;
    l.expected =
        count >= 2 ? MBRTU_ExpectedAnswerLength(data, static_cast<std::uint16_t>(count - 2)) : 0;
    l.requestAt = at;
    l.lastReadAt = at;
}

void TrafficTracer::serialRead(platform::SerialHandle handle, const std::uint8_t* data,
                               std::size_t count) {
    SerialLine& l = line(handle);
    const std::uint64_t at = now();
    l.lastReadAt = at;
    if (count > 0) {
        if (l.count == 0) {
            l.firstByteAt = at;
        }
        const std::size_t keep =
            std::min(count, kKeptAnswerBytes - std::min(l.answer.size(), kKeptAnswerBytes));
        l.answer.insert(l.answer.end(), data, data + keep);
        l.count += count;
        l.lastByteAt = at;
        const std::uint32_t complete = MBRTU_CompleteAnswer(
            l.expected, l.answer.data(),
            static_cast<std::uint32_t>(std::min<std::size_t>(l.answer.size(), MBRTU_MAX_ODPOVED)));
        if (complete != 0) {
            // The link takes the frame and leaves what follows it.
            const std::size_t after = l.count - complete;
            l.answer.resize(complete);
            reportAnswer(l, after == 0
                                ? "; complete"
                                : "; complete, " + number(static_cast<std::uint32_t>(after)) +
                                      " bytes after it ignored");
        } else if (l.count >= MBRTU_MAX_ODPOVED) {
            reportAnswer(l, "; overrun, " + number(static_cast<std::uint32_t>(l.count)) + " bytes");
        }
    } else if (l.count > 0 && at - l.lastByteAt > l.silenceMs && frameChecks(l)) {
        reportAnswer(l, silenceEnding(at - l.lastByteAt));
    }
}

bool TrafficTracer::frameChecks(const SerialLine& l) {
    if (l.count < 4 || l.count != l.answer.size()) {
        return false;
    }
    const std::uint16_t crc =
        MBRTU_CRC16(l.answer.data(), static_cast<std::uint32_t>(l.answer.size() - 2));
    return l.answer[l.count - 2] == (crc & 0xFF) && l.answer[l.count - 1] == (crc >> 8);
}

std::string TrafficTracer::silenceEnding(std::uint64_t quietMs) {
    return "; silence after " + number(static_cast<std::uint32_t>(quietMs)) + " ms";
}

void TrafficTracer::serialClosed(platform::SerialHandle handle) {
    const auto it = serial_.find(handle);
    if (it != serial_.end()) {
        reportOpenAnswer(it->second);
        serial_.erase(it);
    }
}

void TrafficTracer::reportAnswer(SerialLine& l, const std::string& ending) {
    const std::size_t shown = l.answer.size();
    Decoded d = decodeRtu(false, l.answer.data(), shown);
    writeLine(l.firstByteAt, false, l.name, d, l.answer.data(), shown, ending);
    l.awaiting = false;
    l.answer.clear();
    l.count = 0;
}

// The link gave up waiting: it wrote again, closed the port or the run ended.
void TrafficTracer::reportOpenAnswer(SerialLine& l) {
    const std::string waited = number(static_cast<std::uint32_t>(l.lastReadAt - l.requestAt));
    if (l.count > 0) {
        // The tracer's clock readings may lag the link's by a millisecond,
        // so an answer the link ended on silence can arrive here.
        const std::uint64_t quiet = l.lastReadAt - l.lastByteAt;
        if (quiet < l.silenceMs) {
            reportAnswer(l, "; timeout after " + waited + " ms while receiving");
        } else if (frameChecks(l)) {
            reportAnswer(l, silenceEnding(quiet));
        } else {
            // A fragment that never got its rest.
            reportAnswer(l, "; timeout after " + waited + " ms");
        }
    } else if (l.awaiting) {
        writeLine(l.lastReadAt, false, l.name, {"no answer; timeout after " + waited + " ms"},
                  nullptr, 0, "");
        l.awaiting = false;
    }
}

namespace {

std::string endpointText(const platform::UdpEndpoint& e) {
    const std::string address = platform::addressText(e);
    return "UDP " + (e.version == platform::IpVersion::V6 ? "[" + address + "]" : address) + ":" +
           std::to_string(e.port);
}

} // namespace

void TrafficTracer::udpSent(std::intptr_t socket, const platform::UdpEndpoint& to,
                            const std::uint8_t* data, std::size_t length) {
    const tftpwire::Opcode opcode = tftpwire::opcodeOf({data, length});
    if (opcode == tftpwire::Opcode::Rrq || opcode == tftpwire::Opcode::Wrq) {
        UdpFlow& f = udp_[socket];
        f = UdpFlow(); // a request starts a new transfer, perhaps on a reused socket
        f.asked = true;
        f.server = to;
    }
    writeLine(now(), true, endpointText(to), decodeTftp(data, length), data, length, "");
}

void TrafficTracer::udpReceived(std::intptr_t socket, const platform::UdpEndpoint& from,
                                const std::uint8_t* data, std::size_t length, bool truncated) {
    UdpFlow& f = udp_[socket];
    // The first answer from the server's address fixes the peer, as the
    // client does; the client ignores anybody else.
    bool foreign = false;
    if (f.asked && !f.peerKnown && from.sameAddress(f.server)) {
        f.peer = from;
        f.peerKnown = true;
    } else if (f.asked) {
        foreign = !f.peerKnown || !(from == f.peer);
    }
    std::string note;
    if (truncated) {
        note += " (truncated to " + number(static_cast<std::uint32_t>(length)) + " bytes)";
    }
    if (foreign) {
        note += " (foreign sender, ignored)";
    }
    writeLine(now(), false, endpointText(from), decodeTftp(data, length), data, length, note);
}

TraceFile::TraceFile(const std::filesystem::path& path, std::function<void()> onFailure)
    : stream_(path, std::ios::out | std::ios::app), onFailure_(std::move(onFailure)) {
    if (!stream_) {
        fail();
    }
}

void TraceFile::write(const std::string& line) {
    if (failed_) {
        return;
    }
    stream_ << line << '\n';
    stream_.flush(); // a trace is most wanted when the run ends badly
    if (!stream_) {
        fail();
    }
}

void TraceFile::fail() {
    failed_ = true;
    if (onFailure_) {
        onFailure_();
    }
}

namespace {
std::string tcpEndpointText(const platform::UdpEndpoint& e) {
    const std::string address = platform::addressText(e);
    return "TCP " + (e.version == platform::IpVersion::V6 ? "[" + address + "]" : address) + ":" +
           std::to_string(e.port);
}
} // namespace

void TrafficTracer::tcpSent(std::intptr_t, const platform::UdpEndpoint& to,
                            const std::uint8_t* data, std::size_t length) {
    writeLine(now(), true, tcpEndpointText(to), decodeModbusTcp(true, data, length), data, length,
              "");
}

void TrafficTracer::tcpReceived(std::intptr_t, const platform::UdpEndpoint& from,
                                const std::uint8_t* data, std::size_t length) {
    writeLine(now(), false, tcpEndpointText(from), decodeModbusTcp(false, data, length), data,
              length, "");
}

} // namespace linktrace
