// The converter's TFTP server: RFC 1350 with the blksize and tsize options,
// a new port per transfer, retransmission of the last packet on a timeout.
#pragma once

#include "link/TftpWire.h"
#include "sim/DeviceModel.h"
#include "sim/SimConfig.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <vector>

namespace tksim {

constexpr std::size_t kTftpMaxUpload = 10000; // bytes a write may carry
constexpr unsigned kTftpMinBlksize = 8;
constexpr unsigned kTftpMaxBlksize = 65464;

class TftpServer {
  public:
    TftpServer(DeviceModel& model, const TftpOptions& options, std::function<Faults()> faults,
               LogSink log);
    ~TftpServer();
    TftpServer(const TftpServer&) = delete;
    TftpServer& operator=(const TftpServer&) = delete;

    bool open(std::string& error);
    void close();
    // Serves until stop is set; wakeFd becomes readable to cut waits short.
    void run(const std::atomic<bool>& stop, int wakeFd);

    std::uint16_t port() const { return port_; }
    std::size_t activeTransfers() const { return transfers_.size(); }

  private:
    struct Peer {
        sockaddr_storage addr{};
        socklen_t len = 0;
    };
    struct Outgoing {
        std::uint64_t due;
        std::vector<std::uint8_t> packet;
    };
    struct Transfer {
        int fd = -1;
        int altFd = -1; // second port for the foreign-port fault
        Peer peer;
        bool reading = true;
        const FileInfo* file = nullptr;
        Faults faults;
        std::vector<std::uint8_t> data;
        std::size_t blksize = 512;
        std::uint16_t block = 0;   // read: block in flight; write: last block acknowledged
        std::size_t offset = 0;    // read: file offset of the block in flight
        std::size_t inFlight = 0;  // read: data bytes of the block in flight
        bool awaitingAck0 = false; // read: option acknowledgement sent, block 1 not yet
        bool lastSent = false;     // read: the short final block is out
        bool dallying = false;     // write: final acknowledgement sent
        bool finished = false;
        std::vector<std::uint8_t> lastPacket;
        std::uint64_t resendAt = 0;
        unsigned retries = 0;
        std::uint64_t expireAt = 0;
        unsigned answers = 0;
        std::deque<Outgoing> queue;
        std::string what; // request text for the log
        std::string outcome;
    };

    void handleRequest(const std::uint8_t* p, std::size_t n, const Peer& from, std::uint64_t now);
    void handlePacket(Transfer& t, const std::uint8_t* p, std::size_t n, std::uint64_t now);
    void handleReadPacket(Transfer& t, const tftpwire::Packet& packet, std::uint64_t now);
    void handleWritePacket(Transfer& t, const tftpwire::Packet& packet, std::uint64_t now);
    void sendDataBlock(Transfer& t, std::uint64_t now);
    void emit(Transfer& t, std::vector<std::uint8_t> packet, std::uint64_t now);
    void transmit(Transfer& t, const std::vector<std::uint8_t>& packet, std::uint64_t now);
    void finish(Transfer& t, const std::string& outcome);
    void fail(Transfer& t, std::uint16_t code, const std::string& message, std::uint64_t now);
    void timers(std::uint64_t now);
    void sendError(int fd, const Peer& to, std::uint16_t code, const std::string& message);
    void log(const std::string& line);

    DeviceModel& model_;
    TftpOptions options_;
    std::function<Faults()> faults_;
    LogSink log_;
    int listenFd_ = -1;
    int family_ = AF_INET;
    sockaddr_storage bindAddr_{};
    socklen_t bindLen_ = 0;
    std::uint16_t port_ = 0;
    std::vector<std::unique_ptr<Transfer>> transfers_;
    std::vector<std::uint8_t> buffer_;
    unsigned packetsSent_ = 0;
};

std::string peerText(const sockaddr_storage& addr);

} // namespace tksim
