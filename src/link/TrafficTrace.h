// Traffic trace: every TFTP packet, Modbus RTU frame and Modbus TCP ADU that
// crosses the platform seam, decoded into one timestamped line. The decoders are pure
// functions; TrafficTracer listens at the seam while it lives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/TrafficTap.h"

namespace linktrace {

struct Decoded {
    std::string text;
    bool malformed = false; // the line then always carries the bytes in hex
};

// A TFTP packet of either direction.
Decoded decodeTftp(const std::uint8_t* data, std::size_t length);
// A Modbus RTU frame as the master sees it: a request it sent, or an answer
// it received (CRC included in both).
Decoded decodeRtu(bool request, const std::uint8_t* data, std::size_t length);
// A Modbus TCP ADU (MBAP header and PDU) of either direction.
Decoded decodeModbusTcp(bool request, const std::uint8_t* data, std::size_t length);
// "01 43 FE"
std::string hexText(const std::uint8_t* data, std::size_t length);

using LineSink = std::function<void(const std::string& line)>;

// Installs itself as the traffic tap on construction and hands every line
// to the sink; the first line also carries the wall-clock time. An answer
// is reported as the link ends it: once it is complete (the length its
// request fixes, or an exception answer, with a correct CRC), once a frame
// with a correct CRC is followed by silence longer than the silence limit
// of its baud rate, once 260 bytes came, or, when the link gave up on it,
// at the next request, at closing or at finish().
class TrafficTracer final : public platform::TrafficTap {
  public:
    TrafficTracer(LineSink sink, bool withHex);
    ~TrafficTracer() override; // finish() and uninstall

    TrafficTracer(const TrafficTracer&) = delete;
    TrafficTracer& operator=(const TrafficTracer&) = delete;

    // Reports every answer still open.
    void finish();

    void serialOpened(platform::SerialHandle handle, std::int32_t comNumber,
                      const platform::SerialLineSettings& settings) override;
    void serialWritten(platform::SerialHandle handle, const std::uint8_t* data,
                       std::size_t count) override;
    void serialRead(platform::SerialHandle handle, const std::uint8_t* data,
                    std::size_t count) override;
    void serialClosed(platform::SerialHandle handle) override;
    void udpSent(std::intptr_t socket, const platform::UdpEndpoint& to, const std::uint8_t* data,
                 std::size_t length) override;
    void udpReceived(std::intptr_t socket, const platform::UdpEndpoint& from,
                     const std::uint8_t* data, std::size_t length, bool truncated) override;
    void tcpSent(std::intptr_t socket, const platform::UdpEndpoint& to, const std::uint8_t* data,
                 std::size_t length) override;
    void tcpReceived(std::intptr_t socket, const platform::UdpEndpoint& from,
                     const std::uint8_t* data, std::size_t length) override;

  private:
    struct SerialLine {
        std::string name; // "COM3"
        std::uint32_t silenceMs = 4;
        bool awaiting = false;      // a request went out, its answer is not reported yet
        std::uint16_t expected = 0; // answer length the request fixes, 0 when it does not
        std::vector<std::uint8_t> answer;
        std::size_t count = 0; // bytes received, also those beyond the kept ones
        std::uint64_t requestAt = 0;
        std::uint64_t firstByteAt = 0;
        std::uint64_t lastByteAt = 0;
        std::uint64_t lastReadAt = 0;
    };
    struct UdpFlow {
        bool asked = false; // a request went out: later senders can be foreign
        platform::UdpEndpoint server;
        bool peerKnown = false;
        platform::UdpEndpoint peer;
    };

    std::uint64_t now();
    void writeLine(std::uint64_t at, bool sent, const std::string& where, const Decoded& decoded,
                   const std::uint8_t* data, std::size_t length, const std::string& note);
    SerialLine& line(platform::SerialHandle handle);
    void reportAnswer(SerialLine& l, const std::string& ending);
    static std::string silenceEnding(std::uint64_t quietMs);
    static bool frameChecks(const SerialLine& l);
    void reportOpenAnswer(SerialLine& l);

    LineSink sink_;
    bool withHex_;
    bool firstLine_ = true;
    std::uint32_t lastTimeOfDay_;
    std::uint64_t elapsed_ = 0;
    std::map<platform::SerialHandle, SerialLine> serial_;
    std::map<std::intptr_t, UdpFlow> udp_;
};

// A trace file opened for appending. The first failure, to open or to
// write, calls onFailure once; nothing is written after it.
class TraceFile {
  public:
    TraceFile(const std::filesystem::path& path, std::function<void()> onFailure);
    void write(const std::string& line);
    bool ok() const { return !failed_; }

  private:
    void fail();

    std::ofstream stream_;
    std::function<void()> onFailure_;
    bool failed_ = false;
};

} // namespace linktrace
