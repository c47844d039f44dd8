// A scriptable TFTP server for tests, on real UDP sockets on loopback.
//
// It plays an exact packet sequence on a background thread: wait for the
// client's request on the listen port, answer from a fresh port (the
// transfer identifier), send chosen packets, wait for the client's answers.
// Everything the client sends to any of its sockets is recorded.
//
//   tftptest::TestTftpPeer peer;
//   peer.receiveRequest()
//       .send(tftptest::oackPacket({{"blksize", "1500"}}))
//       .receive()                                    // ACK 0
//       .send(tftptest::dataPacket(1, contents))
//       .receive();                                   // ACK 1
//   peer.start();
//   TFTP_Init(link, peer.address(), 0, 1000);
//   ... run the transfer ...
//   ASSERT_TRUE(peer.finish()) << peer.failure();
//   peer.receivedAt(tftptest::Socket::Transfer)     // what the client sent
//
// Its sockets are its own (support/PeerSockets.h); it shares only the wire
// codec (link/TftpWire.h) with the client under test, and that codec is
// pinned by hex vectors of its own.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "link/TftpWire.h"
#include "platform/Udp.h"

namespace tftptest {

using Bytes = std::vector<std::uint8_t>;
using Options = tftpwire::Options;

// "00 03 00 01 41": hex pairs, blanks ignored. Malformed text gives {}.
Bytes fromHex(std::string_view text);
// Bytes as "00 03 00 01 41".
std::string toHex(const Bytes& bytes);
// `count` bytes of a fixed pseudo-random pattern, different per seed.
Bytes patternBytes(std::size_t count, std::uint32_t seed = 1);

// Packet builders of the wire codec; a request by its opcode's number.
Bytes requestPacket(std::uint16_t opcode, const std::string& fileName, const std::string& mode,
                    const Options& options);
using tftpwire::ackPacket;
using tftpwire::dataPacket;
using tftpwire::errorPacket;
using tftpwire::oackPacket;

// The peer's sockets. Transfer is the port that answered the last request;
// ForeignPort is another port on the same address; ForeignAddress is
// 127.0.0.2 (IPv4 only), another host as far as the client can tell.
enum class Socket { Listen, Transfer, ForeignPort, ForeignAddress };

struct Datagram {
    Socket at = Socket::Listen;
    Bytes bytes;
    std::uint16_t fromPort = 0; // the client's source port
};

class TestTftpPeer {
  public:
    explicit TestTftpPeer(platform::IpVersion version = platform::IpVersion::V4);
    ~TestTftpPeer();
    TestTftpPeer(const TestTftpPeer&) = delete;
    TestTftpPeer& operator=(const TestTftpPeer&) = delete;

    // Sockets opened; false means the test cannot run.
    bool ready() const;
    std::uint16_t port() const;
    // Address text for the client: "127.0.0.1:PORT" or "[::1]:PORT".
    std::string address() const;

    // How long a receive step waits for the client (default 3000 ms).
    void setStepTimeout(std::chrono::milliseconds timeout);

    // --- Script steps, run in order by start() ---
    // Waits for a request at the listen port, then opens a new transfer socket.
    TestTftpPeer& receiveRequest();
    // Waits for the client's next datagram at the transfer socket.
    TestTftpPeer& receive();
    // Waits for the client's next datagram at the given socket.
    TestTftpPeer& receiveAt(Socket socket);
    // Sends a packet to the client from the given socket.
    TestTftpPeer& send(Bytes packet, Socket from = Socket::Transfer);
    // Pauses the script: a server that answers late.
    TestTftpPeer& delay(std::chrono::milliseconds pause);
    // A whole read as a server serves it: request, then with blockSize > 0
    // an option acknowledgement (blksize, tsize) and ACK 0, then every data
    // block and its acknowledgement; blockSize 0 ignores options (512).
    TestTftpPeer& serveRead(const Bytes& contents, std::uint16_t blockSize);
    // A whole write: request, option acknowledgement of blksize (blockSize
    // > 0) or ACK 0 (blockSize 0 = 512), then data blocks acknowledged
    // until a short one. The data ends up in written().
    TestTftpPeer& serveWrite(std::uint16_t blockSize);

    // Runs the script on a background thread.
    void start();
    // Waits for the script to end; true when every step ran.
    bool finish();
    // The first step that failed, with the reason; empty when none failed.
    std::string failure() const;

    // --- Results, after finish() ---
    // Everything the client sent, in order of arrival.
    const std::vector<Datagram>& received() const;
    std::vector<Bytes> receivedAt(Socket socket) const;
    // The requests in order (datagrams at the listen port).
    std::vector<Bytes> requests() const;
    // Data of the client's data packets at the transfer socket in block
    // order, repeated blocks counted once.
    Bytes written() const;
    // Counts (and consumes) the client's datagrams that no step took: those
    // recorded but not waited for, and those waiting at any socket now.
    // After the client returned, 0 means it sent nothing unexpected.
    std::size_t drainPending();

  private:
    struct Step {
        enum class Kind { ReceiveRequest, Receive, Send, Delay, WriteLoop };
        Kind kind;
        Socket socket = Socket::Transfer;
        Bytes packet;
        std::chrono::milliseconds pause{0};
        std::uint16_t blockSize = 0;
    };

    void run();
    bool runStep(const Step& step);
    // Waits for a datagram at `target`, recording whatever arrives meanwhile.
    bool waitFor(Socket target, Bytes& packet);
    // Reads one waiting datagram at `at` into its queue and the record.
    bool readOne(Socket at);
    int fdOf(Socket socket) const;
    bool sendFrom(Socket from, const Bytes& packet);
    void fail(std::string reason);

    platform::IpVersion version_;
    int listen_ = -1;
    int transfer_ = -1;
    int foreignPort_ = -1;
    int foreignAddress_ = -1;
    std::uint16_t port_ = 0;
    std::chrono::milliseconds stepTimeout_{3000};

    std::vector<Step> steps_;
    std::thread worker_;
    std::atomic<bool> stop_{false};

    struct Pending {
        Bytes bytes;
        std::vector<std::uint8_t> from; // raw socket address of the sender
    };
    // Received but not yet taken by a step, per socket.
    std::vector<Pending> pending_[4];
    std::size_t unclaimed_ = 0;

    // Client's address as learned from the request.
    std::vector<std::uint8_t> clientAddress_;
    std::uint32_t clientAddressLength_ = 0;

    std::vector<Datagram> received_;
    std::string failure_;
};

} // namespace tftptest
