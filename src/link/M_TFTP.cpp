#include "link/M_TFTP.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "link/TftpWire.h"
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
using tftpwire::Bytes;
using tftpwire::Opcode;

constexpr std::uint16_t DEFAULT_BLOCK = 512;
constexpr std::uint16_t MIN_BLOCK = 8;
constexpr std::uint16_t MAX_BLOCK = 65464;
constexpr std::uint32_t WRITE_MIN_WAIT_MS = 500;
// Converter files are a few hundred bytes: a read passing this is a server
// dripping blocks to keep the transfer alive, not a file.
constexpr std::uint64_t MAX_TRANSFER_BYTES = 1024 * 1024;
// Foreign senders remembered for rate-limiting "Unknown transfer ID".
constexpr std::size_t MAX_FOREIGN_SENDERS = 64;

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

// The peer's next packet as one of three kinds: the expected data or
// acknowledgement, or an option acknowledgement where one may come. A
// timeout, an abort, a socket or server error and an illegal packet end the
// transfer instead; `ended` holds the result, the peer already told.
struct Incoming {
    std::optional<TftpClient::Result> ended;
    tftpwire::Packet packet;
};

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
        sendToPeer(tftpwire::errorPacket(code, message));
    }

    // The receive buffer always holds one block and its 4-byte header.
    void setBlockSize(std::uint16_t size) {
        blockSize_ = size;
        buffer_.assign(static_cast<std::size_t>(size) + 4, 0);
    }
    std::uint16_t blockSize() const { return blockSize_; }

    // Waits for the peer's next packet: `expected` (DATA or ACK), or an
    // option acknowledgement when `optionsAllowed`. A data payload points
    // into the receive buffer, valid until the next wait.
    Incoming next(Clock::time_point deadline, Opcode expected, bool optionsAllowed) {
        Incoming in;
        switch (receive(deadline)) {
        case Received::Timeout:
            in.ended = TftpClient::Result::Timeout;
            return in;
        case Received::Aborted:
            tellAborted();
            in.ended = TftpClient::Result::Aborted;
            return in;
        case Received::Error:
            in.ended = TftpClient::Result::SocketError;
            return in;
        case Received::Packet:
            break;
        }
        in.packet = tftpwire::parse({buffer_.data(), length_});
        const Opcode opcode = in.packet.opcode;
        if (opcode == Opcode::Error) {
            client_.LastServerErrorCode = in.packet.number;
            client_.LastServerErrorMessage = in.packet.message;
            in.ended = TftpClient::Result::ServerError;
        } else if (truncated_ || in.packet.shape == tftpwire::Shape::TooShort ||
                   (opcode != expected && (opcode != Opcode::Oack || !optionsAllowed))) {
            sendError(tftpwire::IllegalOperation, "");
            in.ended = TftpClient::Result::IllegalPacket;
        }
        return in;
    }

  private:
    // An aborted transfer is ended on the peer's side too: the peer that
    // answered, or the server asked when nobody has answered yet.
    void tellAborted() {
        const Bytes packet = tftpwire::errorPacket(tftpwire::NotDefined, "Transfer aborted");
        socket_.sendTo(peerLocked_ ? peer_ : server_, packet.data(), packet.size());
    }

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
            const auto left =
                std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
            const std::uint32_t leftMs =
                left.count() <= 0 ? 0u : static_cast<std::uint32_t>((left.count() + 999) / 1000);
            platform::UdpEndpoint from;
            bool truncated = false;
            std::size_t got = 0;
            const platform::UdpReceive r =
                socket_.receiveFrom(buffer_.data(), buffer_.size(), got, truncated, from,
                                    std::min(leftMs, TftpClient::kWaitSliceMs));
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
                peer_ = from; // the server's transfer identifier
                peerLocked_ = true;
            }
            if (peerLocked_ && from == peer_) {
                length_ = got;
                truncated_ = truncated;
                return Received::Packet;
            }
            // Never answer an error packet, so two clients cannot loop.
            if (tftpwire::opcodeOf({buffer_.data(), got}) != Opcode::Error &&
                mayTellForeignSender(from)) {
                const Bytes packet =
                    tftpwire::errorPacket(tftpwire::UnknownTransferId, "Unknown transfer ID");
                socket_.sendTo(from, packet.data(), packet.size());
            }
            if (Clock::now() >= deadline) {
                return Received::Timeout;
            }
        }
    }

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

// A block size offered in an option acknowledgement; 0 when it is not a
// decimal number.
std::uint32_t offeredBlockSize(const std::string& value) {
    std::uint32_t number = 0;
    for (char c : value) {
        if (c < '0' || c > '9') {
            return 0;
        }
        // Saturate: any long digit string is simply too large.
        number =
            std::min<std::uint32_t>(number * 10 + static_cast<std::uint32_t>(c - '0'), 1000000);
    }
    return number;
}

// Checks an option acknowledgement; on refusal the peer gets error 8. On
// success the session takes the offered block size. A repeated
// acknowledgement must not change an agreed block size.
bool acceptOptions(Session& session, const tftpwire::Packet& oack,
                   std::uint16_t agreedBlockSize = 0) {
    std::uint16_t blockSize = session.blockSize();
    for (const tftpwire::Option& option : oack.options) {
        if (option.name.empty() && option.value.empty()) {
            continue;
        }
        const std::string key = lowerAscii(option.name);
        if (key == "blksize") {
            const std::uint32_t number = offeredBlockSize(option.value);
            if (number < MIN_BLOCK || number > MAX_BLOCK ||
                (agreedBlockSize != 0 && number != agreedBlockSize)) {
                session.sendError(tftpwire::OptionRefused, "Unsupported value \"" + option.value +
                                                               "\" for option: \"" + option.name +
                                                               "\"");
                return false;
            }
            blockSize = static_cast<std::uint16_t>(number);
        } else if (key != "tsize") {
            session.sendError(tftpwire::OptionRefused,
                              "Unsupported option: \"" + option.name + "\"");
            return false;
        }
    }
    // Pairs before a broken one are judged first, as they arrived.
    if (oack.shape != tftpwire::Shape::Ok) {
        session.sendError(tftpwire::OptionRefused, "");
        return false;
    }
    session.setBlockSize(blockSize);
    return true;
}

Bytes requestPacket(Opcode opcode, const TftpClient& client, const std::string& fileName,
                    std::uint64_t size) {
    return tftpwire::requestPacket(
        opcode, fileName, client.Mode,
        {{"blksize", std::to_string(client.RequestedBlockSize)}, {"tsize", std::to_string(size)}});
}

} // namespace

void TftpClient::abort() {
    requestAbort(transfer_);
}

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

TftpClient::Result TftpClient::read(const std::string& fileName,
                                    std::vector<std::uint8_t>& contents, std::size_t maxBytes,
                                    std::uint64_t& totalBytes) {
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
    if (!session.sendRequest(requestPacket(Opcode::Rrq, *this, fileName, 0))) {
        return finish(Result::SocketError);
    }
    const auto timeout = std::chrono::milliseconds(ReceiveTimeoutMs);
    auto deadline = Clock::now() + timeout;
    std::uint16_t expected = 1;
    bool optionsSeen = false;
    for (;;) {
        // Options after data has flowed are illegal.
        const Incoming in = session.next(deadline, Opcode::Data, expected == 1);
        if (in.ended) {
            return finish(*in.ended);
        }
        if (in.packet.opcode == Opcode::Oack) {
            // A repeat means our ACK 0 was lost: answering it again is the
            // only recovery, as the client never retransmits.
            if (!acceptOptions(session, in.packet, optionsSeen ? session.blockSize() : 0)) {
                return finish(Result::OptionRefused);
            }
            optionsSeen = true;
            if (!session.sendToPeer(tftpwire::ackPacket(0))) {
                return finish(Result::SocketError);
            }
            deadline = Clock::now() + timeout;
            continue;
        }
        const std::uint16_t block = in.packet.number;
        if (block != expected) {
            continue; // duplicate or out of order: no answer
        }
        const tftpwire::ByteSpan payload = in.packet.payload;
        totalBytes += payload.size();
        if (totalBytes > MAX_TRANSFER_BYTES) {
            session.sendError(tftpwire::DiskFull, "");
            return finish(Result::BlockOverflow);
        }
        const std::size_t room = maxBytes > contents.size() ? maxBytes - contents.size() : 0;
        const auto kept = payload.first(std::min(payload.size(), room));
        contents.insert(contents.end(), kept.begin(), kept.end());
        if (ProgressHook != nullptr) {
            ProgressHook();
        }
        if (!session.sendToPeer(tftpwire::ackPacket(block))) {
            return finish(Result::SocketError);
        }
        deadline = Clock::now() + timeout;
        const bool full = payload.size() == session.blockSize();
        LastBlockSize = session.blockSize();
        if (block == 65535) {
            if (full) {
                session.sendError(tftpwire::IllegalOperation, "");
                return finish(Result::BlockOverflow);
            }
            return finish(Result::Ok);
        }
        expected = static_cast<std::uint16_t>(block + 1);
        if (!full) {
            return finish(Result::Ok);
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
    if (!session.sendRequest(requestPacket(Opcode::Wrq, *this, fileName, length))) {
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
        if (!session.sendToPeer(tftpwire::dataPacket(block, {data + offset, count}))) {
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
        const Incoming in = session.next(deadline, Opcode::Ack, expectedAck == 0);
        if (in.ended) {
            return finish(*in.ended);
        }
        if (in.packet.opcode == Opcode::Oack) {
            if (!acceptOptions(session, in.packet)) {
                return finish(Result::OptionRefused);
            }
            deadline = Clock::now() + wait;
            if (!sendBlock(1)) {
                return finish(Result::SocketError);
            }
            continue;
        }
        const std::uint16_t block = in.packet.number;
        if (block != expectedAck) {
            continue;
        }
        waiting = false;
        deadline = Clock::now() + wait;
        if (!lastSent) {
            if (block == 65535) {
                session.sendError(tftpwire::DiskFull, "");
                return finish(Result::BlockOverflow);
            }
            if (!sendBlock(static_cast<std::uint16_t>(block + 1))) {
                return finish(Result::SocketError);
            }
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
    if (TF.ID.IdTrivialFTP1->read(Soubor, contents, TFTP_MAX_SOUBOR, total) !=
        TftpClient::Result::Ok) {
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
