// TFTP link: whole converter files read and written by name over UDP.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/TransferState.h"
#include "platform/Udp.h"

constexpr std::int32_t TFTP_MAX_SOUBOR = 10000; // bytes, both directions

constexpr std::uint16_t TFTP_PORT = 69;

// Host and server port taken from the operator's address text.
struct TftpServerAddress {
    std::string host;
    std::uint16_t port = TFTP_PORT;
    bool valid = false;
};

// "host", "host:port", "[IPv6]" and "[IPv6]:port"; a text with two or more
// colons outside brackets is a bare IPv6 address. Blanks around are ignored.
// Brackets and several colons need an IPv6 address literal (zone allowed);
// a port must be decimal 1-65535; anything else makes the address invalid.
TftpServerAddress parseTftpServerAddress(const std::string& text);

// Client side of a TFTP transfer: one request, no retransmission, options
// blksize and tsize requested, peer locked to the server's first answer.
class TftpClient {
  public:
    enum class Result {
        Ok,
        NoAddress,     // address text invalid or not resolvable
        SocketError,   // socket could not be opened, or send/receive failed
        Timeout,       // no datagram in time
        ServerError,   // the server sent an error packet
        IllegalPacket, // unexpected opcode, truncated or oversized datagram
        OptionRefused, // option acknowledgement not acceptable
        BlockOverflow, // block number would pass 65535, or a read passes 1 MiB
        BadArgument,   // file name with a zero byte, or no data
        Aborted,       // ended on request by abort()
        Busy           // asked while a transfer of this client runs
    };

    std::string Host;
    std::uint16_t Port = TFTP_PORT;
    bool AddressValid = true;
    platform::IpVersion Version = platform::IpVersion::V4;
    std::uint32_t ReceiveTimeoutMs = 1000;
    void (*ProgressHook)() = nullptr;
    // Called while a transfer waits for a datagram, at least every
    // kWaitSliceMs, so the user interface stays alive however slow the peer.
    void (*WaitHook)() = nullptr;
    static constexpr std::uint32_t kWaitSliceMs = 10;
    std::string Mode = "octet";
    std::uint16_t RequestedBlockSize = 1500;

    // Reads a file. `contents` gets at most `maxBytes` bytes; the rest of a
    // longer file is received and dropped. `totalBytes` is the file's size.
    Result read(const std::string& fileName, std::vector<std::uint8_t>& contents,
                std::size_t maxBytes, std::uint64_t& totalBytes);
    // Writes `length` bytes of `data` as a file.
    Result write(const std::string& fileName, const std::uint8_t* data, std::size_t length);

    // Ends the running transfer at its next wait as failed (Aborted), and
    // tells the peer with an error packet. Does nothing when none runs.
    void abort();
    bool busy() const { return transfer_.Busy; }
    bool abortRequested() const { return transfer_.AbortRequested; }

    // Outcome of the last transfer.
    Result LastResult = Result::Ok;
    // What the server said in its error packet, for the last ServerError.
    std::uint16_t LastServerErrorCode = 0;
    std::string LastServerErrorMessage;
    // Block size of the last transfer after negotiation.
    std::uint16_t LastBlockSize = 0;

  private:
    TransferState transfer_;
};

struct TTFTP_CFG {
    std::string AdresaIP;
    std::int32_t VerzeIP = 0;
    std::int32_t Timeout = 0;
};

struct TTFTP_ED {
    std::int32_t Status = 0; // 0 success, 1 no client, 3 transfer failed
};

struct TTFTP_ID {
    std::shared_ptr<TftpClient> IdTrivialFTP1;
};

struct TTFTP {
    TTFTP_CFG CFG;
    TTFTP_ED ED;
    TTFTP_ID ID;
};

void TFTP_Init(TTFTP& TF, const std::string& AdresaIP, std::int32_t VerzeIP, std::int32_t Timeout);
bool TFTP_PrectiSoubor(TTFTP& TF, const std::string& Soubor, std::uint8_t* Buffer,
                       std::int32_t& Delka);
bool TFTP_ZapisSoubor(TTFTP& TF, const std::string& Soubor, const std::uint8_t* Data,
                      std::int32_t Delka);
// Ends the transfer running on the link, if any, as a failed one (Status 3).
void TFTP_Abort(TTFTP& TF);
