#include "link/M_TFTP.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/Clock.h"
#include "platform/EventPump.h"

namespace {

// The platform's monotonic clock, so that a test clock can let time pass.
struct Clock {
    using rep = std::int64_t;
    using period = std::micro;
    using duration = std::chrono::microseconds;
    using time_point = std::chrono::time_point<Clock, duration>;
    static constexpr bool is_steady = true;
    static time_point now() { return time_point(duration(platform::monotonicUs())); }
};
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t OP_RRQ = 1;
constexpr std::uint16_t OP_WRQ = 2;
constexpr std::uint16_t OP_DATA = 3;
constexpr std::uint16_t OP_ACK = 4;
constexpr std::uint16_t OP_ERROR = 5;
constexpr std::uint16_t OP_OACK = 6;

constexpr std::uint16_t ERR_NOT_DEFINED = 0;
constexpr std::uint16_t ERR_ILLEGAL = 4;
constexpr std::uint16_t ERR_DISK_FULL = 3;
constexpr std::uint16_t ERR_UNKNOWN_TID = 5;
constexpr std::uint16_t ERR_OPTION = 8;

constexpr std::uint16_t DEFAULT_BLOCK = 512;
constexpr std::uint16_t MIN_BLOCK = 8;
constexpr std::uint16_t MAX_BLOCK = 65464;
constexpr std::uint32_t WRITE_MIN_WAIT_MS = 500;
// Converter files are a few hundred bytes: a read passing this is a server
// dripping blocks to keep the transfer alive, not a file.
constexpr std::uint64_t MAX_TRANSFER_BYTES = 1024 * 1024;
// Foreign senders remembered for rate-limiting "Unknown transfer ID".
constexpr std::size_t MAX_FOREIGN_SENDERS = 64;

void put16(Bytes& packet, std::uint16_t value) {
    packet.push_back(static_cast<std::uint8_t>(value >> 8));
    packet.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

void putString(Bytes& packet, const std::string& text) {
    packet.insert(packet.end(), text.begin(), text.end());
    packet.push_back(0);
}

std::uint16_t get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

Bytes errorPacket(std::uint16_t code, const std::string& message) {
    Bytes packet;
    put16(packet, OP_ERROR);
    put16(packet, code);
    putString(packet, message);
    return packet;
}

std::string lowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

std::string trimBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool parsePort(const std::string& text, std::uint16_t& port) {
    if (text.empty() || text.size() > 5) {
        return false;
    }
    std::uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (value < 1 || value > 65535) {
        return false;
    }
    port = static_cast<std::uint16_t>(value);
    return true;
}

bool isDottedQuad(const std::string& text) {
    std::size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        const std::size_t end = part < 3 ? text.find('.', start) : text.size();
        if (end == std::string::npos || end == start || end - start > 3) {
            return false;
        }
        std::uint32_t value = 0;
        for (std::size_t i = start; i < end; ++i) {
            if (text[i] < '0' || text[i] > '9') {
                return false;
            }
            value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
        }
        if (value > 255) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

// An IPv6 address literal, optionally with a zone ("fe80::1%2", "::ffff:10.0.0.1"):
// a text with colons that is none would otherwise reach the resolver as a
// host name and fail only as a dead connection.
bool isIpv6Literal(const std::string& text) {
    const std::size_t percent = text.find('%');
    const std::string address = text.substr(0, percent);
    if (percent != std::string::npos) {
        const std::string zone = text.substr(percent + 1);
        if (zone.empty() || zone.find_first_of(" \t%:[]") != std::string::npos) {
            return false;
        }
    }
    const std::size_t gap = address.find("::");
    if (gap != address.rfind("::") || address.find(":::") != std::string::npos) {
        return false;
    }
    int groups = 0;
    std::size_t start = 0;
    while (start <= address.size()) {
        std::size_t end = address.find(':', start);
        if (end == std::string::npos) {
            end = address.size();
        }
        const std::string group = address.substr(start, end - start);
        const bool edgeOfGap =
            gap != std::string::npos && (start == gap || start == gap + 1 || start == gap + 2);
        if (group.empty()) {
            if (!edgeOfGap) {
                return false;
            }
        } else if (end == address.size() && group.find('.') != std::string::npos) {
            if (!isDottedQuad(group)) {
                return false;
            }
            groups += 2;
        } else if (group.size() > 4 ||
                   group.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            return false;
        } else {
            ++groups;
        }
        start = end + 1;
    }
    return gap == std::string::npos ? groups == 8 : groups <= 7;
}

enum class Received { Packet, Timeout, Error, Aborted };

// One transfer: its socket, the server it asked and the peer that answered.
class Session {
public:
    explicit Session(TftpClient& client) : client_(client) {}

    TftpClient::Result open() {
        if (!client_.AddressValid ||
            !platform::resolveHost(client_.Host, client_.Version, client_.Port, server_)) {
            return TftpClient::Result::NoAddress;
        }
        if (!socket_.open(client_.Version)) {
            return TftpClient::Result::SocketError;
        }
        setBlockSize(DEFAULT_BLOCK);
        return TftpClient::Result::Ok;
    }

    bool sendRequest(const Bytes& packet) {
        return socket_.sendTo(server_, packet.data(), packet.size());
    }

    bool sendToPeer(const Bytes& packet) {
        return socket_.sendTo(peer_, packet.data(), packet.size());
    }

    void sendError(std::uint16_t code, const std::string& message) {
        sendToPeer(errorPacket(code, message));
    }

    // The receive buffer always holds one block and its 4-byte header.
    void setBlockSize(std::uint16_t size) {
        blockSize_ = size;
        buffer_.assign(static_cast<std::size_t>(size) + 4, 0);
    }
    std::uint16_t blockSize() const { return blockSize_; }

    // Waits until `deadline` for a datagram of the peer, in slices of at
    // most kWaitSliceMs with the wait hook between them; an abort asked for
    // meanwhile ends the wait. Datagrams of anybody else are dropped without
    // moving the deadline, so a flood of foreign packets cannot keep a dead
    // transfer alive.
    Received receive(Clock::time_point deadline) {
        for (;;) {
            if (client_.abortRequested()) {
                return Received::Aborted;
            }
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
            const std::uint32_t leftMs =
                left.count() <= 0 ? 0u : static_cast<std::uint32_t>((left.count() + 999) / 1000);
            platform::UdpEndpoint from;
            bool truncated = false;
            std::size_t got = 0;
            const platform::UdpReceive r = socket_.receiveFrom(
                buffer_.data(), buffer_.size(), got, truncated, from, std::min(leftMs, TftpClient::kWaitSliceMs));
            if (r == platform::UdpReceive::Timeout) {
                if (Clock::now() >= deadline) {
                    return Received::Timeout;
                }
                if (client_.WaitHook != nullptr) {
                    client_.WaitHook();
                }
                continue;
            }
            if (r == platform::UdpReceive::Error) {
                return Received::Error;
            }
            if (!peerLocked_ && from.sameAddress(server_)) {
                peer_ = from;  // the server's transfer identifier
                peerLocked_ = true;
            }
            if (peerLocked_ && from == peer_) {
                length_ = got;
                truncated_ = truncated;
                return Received::Packet;
            }
            // Never answer an error packet, so two clients cannot loop.
            if ((got < 2 || get16(buffer_.data()) != OP_ERROR) && mayTellForeignSender(from)) {
                const Bytes packet = errorPacket(ERR_UNKNOWN_TID, "Unknown transfer ID");
                socket_.sendTo(from, packet.data(), packet.size());
            }
            if (Clock::now() >= deadline) {
                return Received::Timeout;
            }
        }
    }

    // An aborted transfer is ended on the peer's side too: the peer that
    // answered, or the server asked when nobody has answered yet.
    void tellAborted() {
        const Bytes packet = errorPacket(ERR_NOT_DEFINED, "Transfer aborted");
        socket_.sendTo(peerLocked_ ? peer_ : server_, packet.data(), packet.size());
    }

    const std::uint8_t* data() const { return buffer_.data(); }
    std::size_t length() const { return length_; }
    bool truncated() const { return truncated_; }

private:
    // At most one answer per foreign sender and timeout period, so spoofed
    // floods are not reflected at full rate.
    bool mayTellForeignSender(const platform::UdpEndpoint& from) {
        const auto now = Clock::now();
        const auto period = std::chrono::milliseconds(client_.ReceiveTimeoutMs);
        std::erase_if(toldForeign_, [&](const auto& told) { return now - told.second >= period; });
        for (const auto& told : toldForeign_) {
            if (told.first == from) {
                return false;
            }
        }
        if (toldForeign_.size() >= MAX_FOREIGN_SENDERS) {
            return false;
        }
        toldForeign_.emplace_back(from, now);
        return true;
    }

    TftpClient& client_;
    platform::UdpSocket socket_;
    platform::UdpEndpoint server_;
    platform::UdpEndpoint peer_;
    bool peerLocked_ = false;
    Bytes buffer_;
    std::size_t length_ = 0;
    bool truncated_ = false;
    std::uint16_t blockSize_ = DEFAULT_BLOCK;
    std::vector<std::pair<platform::UdpEndpoint, Clock::time_point>> toldForeign_;
};

// Reads one zero-terminated string at `pos`; false when the zero is missing.
bool readString(const std::uint8_t* data, std::size_t length, std::size_t& pos, std::string& out) {
    const std::uint8_t* start = data + pos;
    const void* zero = std::memchr(start, 0, length - pos);
    if (zero == nullptr) {
        return false;
    }
    const auto count = static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - start);
    out.assign(reinterpret_cast<const char*>(start), count);
    pos += count + 1;
    return true;
}

// Checks an option acknowledgement in the session's buffer; on refusal the
// peer gets error 8. On success the session takes the offered block size.
// A repeated acknowledgement must not change an agreed block size.
bool acceptOptions(Session& session, std::uint16_t agreedBlockSize = 0) {
    const std::uint8_t* data = session.data();
    const std::size_t length = session.length();
    std::size_t pos = 2;
    std::uint16_t blockSize = session.blockSize();
    while (pos < length) {
        std::string name;
        std::string value;
        if (!readString(data, length, pos, name) || pos >= length ||
            !readString(data, length, pos, value)) {
            session.sendError(ERR_OPTION, "");
            return false;
        }
        if (name.empty() && value.empty()) {
            continue;
        }
        const std::string key = lowerAscii(name);
        if (key == "blksize") {
            std::uint32_t number = 0;
            bool ok = !value.empty();
            for (char c : value) {
                if (c < '0' || c > '9') {
                    ok = false;
                    break;
                }
                // Saturate: any long digit string is simply too large.
                number = std::min<std::uint32_t>(number * 10 + static_cast<std::uint32_t>(c - '0'), 1000000);
            }
            if (!ok || number < MIN_BLOCK || number > MAX_BLOCK ||
                (agreedBlockSize != 0 && number != agreedBlockSize)) {
                session.sendError(ERR_OPTION,
                                  "Unsupported value \"" + value + "\" for option: \"" + name + "\"");
                return false;
            }
            blockSize = static_cast<std::uint16_t>(number);
        } else if (key != "tsize") {
            session.sendError(ERR_OPTION, "Unsupported option: \"" + name + "\"");
            return false;
        }
    }
    session.setBlockSize(blockSize);
    return true;
}

void noteServerError(TftpClient& client, const Session& session) {
    client.LastServerErrorCode = session.length() >= 4 ? get16(session.data() + 2) : 0;
    std::size_t pos = 4;
    std::string message;
    if (session.length() > pos && !readString(session.data(), session.length(), pos, message)) {
        message.assign(reinterpret_cast<const char*>(session.data()) + 4, session.length() - 4);
    }
    client.LastServerErrorMessage = message;
}

// Data and acknowledgements carry a block number; an option acknowledgement
// is only its opcode and pairs, so an empty one is complete and a partial
// string in it is judged by the option check.
bool tooShort(std::uint16_t opcode, std::size_t length) {
    return opcode == OP_OACK ? length < 2 : length < 4;
}

Bytes requestPacket(std::uint16_t opcode, const TftpClient& client, const std::string& fileName,
                    std::uint64_t size) {
    Bytes packet;
    put16(packet, opcode);
    putString(packet, fileName);
    putString(packet, client.Mode);
    putString(packet, "blksize");
    putString(packet, std::to_string(client.RequestedBlockSize));
    putString(packet, "tsize");
    putString(packet, std::to_string(size));
    return packet;
}

}  // namespace

void TftpClient::abort() { requestAbort(transfer_); }

TftpServerAddress parseTftpServerAddress(const std::string& text) {
    TftpServerAddress result;
    const std::string t = trimBlanks(text);
    if (t.empty()) {
        return result;
    }
    if (t.front() == '[') {
        const auto close = t.find(']');
        if (close == std::string::npos || close == 1) {
            return result;
        }
        result.host = t.substr(1, close - 1);
        const std::string rest = t.substr(close + 1);
        if (!rest.empty() && (rest.front() != ':' || !parsePort(rest.substr(1), result.port))) {
            return result;
        }
        result.valid = isIpv6Literal(result.host);
        return result;
    }
    const auto colons = std::count(t.begin(), t.end(), ':');
    if (colons == 1) {
        const auto colon = t.find(':');
        result.host = t.substr(0, colon);
        result.valid = !result.host.empty() && parsePort(t.substr(colon + 1), result.port);
        return result;
    }
    result.host = t;
    result.valid = colons == 0 ? t.find_first_of("[]") == std::string::npos : isIpv6Literal(t);
    return result;
}

TftpClient::Result TftpClient::read(const std::string& fileName, std::vector<std::uint8_t>& contents,
                                    std::size_t maxBytes, std::uint64_t& totalBytes) {
    // An event handled during a wait must not start a transfer inside this one.
    if (transfer_.Busy) {
        contents.clear();
        totalBytes = 0;
        return Result::Busy;
    }
    const TransferScope scope(transfer_);
    contents.clear();
    totalBytes = 0;
    LastBlockSize = 0;
    auto finish = [this](Result r) {
        LastResult = r;
        return r;
    };
    if (fileName.find('\0') != std::string::npos) {
        return finish(Result::BadArgument);
    }
    Session session(*this);
    const Result opened = session.open();
    if (opened != Result::Ok) {
        return finish(opened);
    }
    if (!session.sendRequest(requestPacket(OP_RRQ, *this, fileName, 0))) {
        return finish(Result::SocketError);
    }
    const auto timeout = std::chrono::milliseconds(ReceiveTimeoutMs);
    auto deadline = Clock::now() + timeout;
    std::uint16_t expected = 1;
    bool optionsSeen = false;
    for (;;) {
        const Received r = session.receive(deadline);
        if (r == Received::Timeout) {
            return finish(Result::Timeout);
        }
        if (r == Received::Aborted) {
            session.tellAborted();
            return finish(Result::Aborted);
        }
        if (r == Received::Error) {
            return finish(Result::SocketError);
        }
        const std::size_t length = session.length();
        const std::uint16_t opcode = length >= 2 ? get16(session.data()) : 0;
        if (opcode == OP_ERROR) {
            noteServerError(*this, session);
            return finish(Result::ServerError);
        }
        if (tooShort(opcode, length) || session.truncated()) {
            session.sendError(ERR_ILLEGAL, "");
            return finish(Result::IllegalPacket);
        }
        if (opcode == OP_DATA) {
            const std::uint16_t block = get16(session.data() + 2);
            if (block != expected) {
                continue;  // duplicate or out of order: no answer
            }
            const std::size_t count = length - 4;
            totalBytes += count;
            if (totalBytes > MAX_TRANSFER_BYTES) {
                session.sendError(ERR_DISK_FULL, "");
                return finish(Result::BlockOverflow);
            }
            const std::size_t room = maxBytes > contents.size() ? maxBytes - contents.size() : 0;
            const std::size_t keep = std::min(count, room);
            contents.insert(contents.end(), session.data() + 4, session.data() + 4 + keep);
            if (ProgressHook != nullptr) {
                ProgressHook();
            }
            Bytes ack;
            put16(ack, OP_ACK);
            put16(ack, block);
            if (!session.sendToPeer(ack)) {
                return finish(Result::SocketError);
            }
            deadline = Clock::now() + timeout;
            const bool full = length == static_cast<std::size_t>(session.blockSize()) + 4;
            LastBlockSize = session.blockSize();
            if (block == 65535) {
                if (full) {
                    session.sendError(ERR_ILLEGAL, "");
                    return finish(Result::BlockOverflow);
                }
                return finish(Result::Ok);
            }
            expected = static_cast<std::uint16_t>(block + 1);
            if (!full) {
                return finish(Result::Ok);
            }
        } else if (opcode == OP_OACK) {
            if (expected != 1) {
                session.sendError(ERR_ILLEGAL, "");  // options after data has flowed
                return finish(Result::IllegalPacket);
            }
            // A repeat means our ACK 0 was lost: answering it again is the
            // only recovery, as the client never retransmits.
            if (!acceptOptions(session, optionsSeen ? session.blockSize() : 0)) {
                return finish(Result::OptionRefused);
            }
            optionsSeen = true;
            Bytes ack;
            put16(ack, OP_ACK);
            put16(ack, 0);
            if (!session.sendToPeer(ack)) {
                return finish(Result::SocketError);
            }
            deadline = Clock::now() + timeout;
        } else {
            session.sendError(ERR_ILLEGAL, "");
            return finish(Result::IllegalPacket);
        }
    }
}

TftpClient::Result TftpClient::write(const std::string& fileName, const std::uint8_t* data,
                                     std::size_t length) {
    if (transfer_.Busy) {
        return Result::Busy;
    }
    const TransferScope scope(transfer_);
    LastBlockSize = 0;
    auto finish = [this](Result r) {
        LastResult = r;
        return r;
    };
    if (fileName.find('\0') != std::string::npos || (data == nullptr && length > 0)) {
        return finish(Result::BadArgument);
    }
    Session session(*this);
    const Result opened = session.open();
    if (opened != Result::Ok) {
        return finish(opened);
    }
    if (!session.sendRequest(requestPacket(OP_WRQ, *this, fileName, length))) {
        return finish(Result::SocketError);
    }
    const auto wait = std::chrono::milliseconds(std::max(WRITE_MIN_WAIT_MS, ReceiveTimeoutMs));
    auto deadline = Clock::now() + wait;
    std::uint16_t expectedAck = 0;
    bool lastSent = false;
    bool waiting = false;
    std::size_t offset = 0;

    auto sendBlock = [&](std::uint16_t block) {
        const std::size_t count = std::min<std::size_t>(length - offset, session.blockSize());
        Bytes packet;
        packet.reserve(count + 4);
        put16(packet, OP_DATA);
        put16(packet, block);
        packet.insert(packet.end(), data + offset, data + offset + count);
        if (!session.sendToPeer(packet)) {
            return false;
        }
        waiting = true;
        if (ProgressHook != nullptr) {
            ProgressHook();
        }
        offset += count;
        lastSent = count < session.blockSize();
        expectedAck = block;
        LastBlockSize = session.blockSize();
        return true;
    };

    while (!lastSent || waiting) {
        const Received r = session.receive(deadline);
        if (r == Received::Timeout) {
            return finish(Result::Timeout);
        }
        if (r == Received::Aborted) {
            session.tellAborted();
            return finish(Result::Aborted);
        }
        if (r == Received::Error) {
            return finish(Result::SocketError);
        }
        const std::size_t got = session.length();
        const std::uint16_t opcode = got >= 2 ? get16(session.data()) : 0;
        if (opcode == OP_ERROR) {
            noteServerError(*this, session);
            return finish(Result::ServerError);
        }
        if (tooShort(opcode, got) || session.truncated()) {
            session.sendError(ERR_ILLEGAL, "");
            return finish(Result::IllegalPacket);
        }
        if (opcode == OP_ACK) {
            const std::uint16_t block = get16(session.data() + 2);
            if (block != expectedAck) {
                continue;
            }
            waiting = false;
            deadline = Clock::now() + wait;
            if (!lastSent) {
                if (block == 65535) {
                    session.sendError(ERR_DISK_FULL, "");
                    return finish(Result::BlockOverflow);
                }
                if (!sendBlock(static_cast<std::uint16_t>(block + 1))) {
                    return finish(Result::SocketError);
                }
            }
        } else if (opcode == OP_OACK) {
            if (expectedAck != 0) {
                session.sendError(ERR_ILLEGAL, "");
                return finish(Result::IllegalPacket);
            }
            if (!acceptOptions(session)) {
                return finish(Result::OptionRefused);
            }
            deadline = Clock::now() + wait;
            if (!sendBlock(1)) {
                return finish(Result::SocketError);
            }
        } else {
            session.sendError(ERR_ILLEGAL, "");
            return finish(Result::IllegalPacket);
        }
    }
    return finish(Result::Ok);
}

void TFTP_Init(TTFTP& TF, const std::string& AdresaIP, std::int32_t VerzeIP, std::int32_t Timeout) {
    TF.CFG.AdresaIP = AdresaIP;
    TF.CFG.VerzeIP = VerzeIP;
    TF.CFG.Timeout = Timeout;
    TF.ED.Status = 0;
    TF.ID.IdTrivialFTP1.reset();

    auto client = std::make_shared<TftpClient>();
    const TftpServerAddress address = parseTftpServerAddress(AdresaIP);
    client->Host = address.host;
    client->Port = address.port;
    client->AddressValid = address.valid;
    client->Version = VerzeIP == 1 ? platform::IpVersion::V6 : platform::IpVersion::V4;
    client->ReceiveTimeoutMs = Timeout < 1 ? 1u : static_cast<std::uint32_t>(Timeout);
    client->Mode = "octet";
    client->RequestedBlockSize = 1500;
    client->ProgressHook = &platform::pumpEvents;
    client->WaitHook = &platform::pumpEvents;
    TF.ID.IdTrivialFTP1 = std::move(client);
}

bool TFTP_PrectiSoubor(TTFTP& TF, const std::string& Soubor, std::uint8_t* Buffer,
                       std::int32_t& Delka) {
    Delka = 0;
    if (!TF.ID.IdTrivialFTP1) {
        TF.ED.Status = 1;
        return false;
    }
    if (Buffer == nullptr) {
        TF.ED.Status = 3;
        return false;
    }
    std::vector<std::uint8_t> contents;
    std::uint64_t total = 0;
    if (TF.ID.IdTrivialFTP1->read(Soubor, contents, TFTP_MAX_SOUBOR, total) != TftpClient::Result::Ok) {
        TF.ED.Status = 3;
        return false;
    }
    std::copy(contents.begin(), contents.end(), Buffer);
    Delka = static_cast<std::int32_t>(contents.size());
    TF.ED.Status = 0;
    return true;
}

void TFTP_Abort(TTFTP& TF) {
    if (TF.ID.IdTrivialFTP1) {
        TF.ID.IdTrivialFTP1->abort();
    }
}

bool TFTP_ZapisSoubor(TTFTP& TF, const std::string& Soubor, const std::uint8_t* Data,
                      std::int32_t Delka) {
    if (!TF.ID.IdTrivialFTP1) {
        TF.ED.Status = 1;
        return false;
    }
    if (Delka < 0) {
        TF.ED.Status = 3;
        return false;
    }
    const auto count = static_cast<std::size_t>(std::min(Delka, TFTP_MAX_SOUBOR));
    if (TF.ID.IdTrivialFTP1->write(Soubor, Data, count) != TftpClient::Result::Ok) {
        TF.ED.Status = 3;
        return false;
    }
    TF.ED.Status = 0;
    return true;
}
