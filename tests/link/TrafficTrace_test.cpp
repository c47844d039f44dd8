// The traffic trace: the decoder on hand-built packets and frames, how a
// serial answer ended on a scripted line, and a TFTP error from the
// simulator.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/M_ModbusRTU.h"
#include "link/M_TFTP.h"
#include "link/TrafficTrace.h"
#include "support/FakeClock.h"
#include "support/ScriptedSerialPort.h"
#include "support/TestTftpPeer.h"
#include "support/TraceText.h"
#include "tools/SimHarness.h"

namespace {

using namespace std::string_literals;
using Bytes = std::vector<std::uint8_t>;

Bytes raw(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes rtu(const std::string& hexText) {
    Bytes frame = tftptest::fromHex(hexText);
    const std::uint16_t crc = MBRTU_CRC16(frame.data(), static_cast<std::uint32_t>(frame.size()));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

enum class Kind { Tftp, Request, Answer, TcpRequest, TcpAnswer };

struct Case {
    Kind kind;
    Bytes bytes;
    const char* text; // "malformed ..." marks a malformed unit
};

const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        // TFTP: every opcode, then the malformed ones.
        {Kind::Tftp, raw("\0\1info.txt\0octet\0blksize\0001500\0tsize\0000\0"s),
         "RRQ \"info.txt\" octet blksize=1500 tsize=0"},
        {Kind::Tftp, raw("\0\2lan4.cfg\0octet\0blksize\0001500\0tsize\00016\0"s),
         "WRQ \"lan4.cfg\" octet blksize=1500 tsize=16"},
        {Kind::Tftp, raw("\0\1a\1\"\0octet\0"s), "RRQ \"a\\x01\\x22\" octet"},
        {Kind::Tftp, raw("\0\3\0\1"s + std::string(31, 'x')), "DATA 1, 31 bytes"},
        {Kind::Tftp, raw("\0\3\1\0"s), "DATA 256, 0 bytes"},
        {Kind::Tftp, raw("\0\4\0\0"s), "ACK 0"},
        {Kind::Tftp, raw("\0\5\0\1File not found\0"s),
         "ERROR 1 (file not found) \"File not found\""},
        {Kind::Tftp, raw("\0\5\0\10Unsupported option: \"timeout\"\0"s),
         "ERROR 8 (option refused) \"Unsupported option: \\x22timeout\\x22\""},
        {Kind::Tftp, raw("\0\5\0\52\0"s), "ERROR 42 \"\""},
        {Kind::Tftp, raw("\0\6blksize\0001500\0tsize\00031\0"s), "OACK blksize=1500 tsize=31"},
        {Kind::Tftp, raw("\0\6"s), "OACK without options"},
        {Kind::Tftp, {}, "malformed TFTP packet of 0 bytes"},
        {Kind::Tftp, raw("\0"s), "malformed TFTP packet of 1 bytes"},
        {Kind::Tftp, raw("\0\1info.txt"s), "malformed RRQ: a string without its zero"},
        {Kind::Tftp, raw("\0\2a\0octet\0blksize\0"s), "malformed WRQ: a string without its zero"},
        {Kind::Tftp, raw("\0\3\0"s), "malformed DATA without block number"},
        {Kind::Tftp, raw("\0\4\0\1\0"s), "malformed ACK of 5 bytes"},
        {Kind::Tftp, raw("\0\5\0\1oops"s), "malformed ERROR: code or message incomplete"},
        {Kind::Tftp, raw("\0\5\0"s), "malformed ERROR: code or message incomplete"},
        {Kind::Tftp, raw("\0\6blk"s), "malformed OACK: a string without its zero"},
        {Kind::Tftp, raw("\0\11\0\1"s), "malformed TFTP packet, opcode 9"},
        // Modbus RTU requests.
        {Kind::Request, rtu("01 43 FE 17 00 00 06"),
         "addr 1 fn 0x43 read block: file 23 uartm.cfg, block 0, 6 bytes, CRC ok"},
        {Kind::Request, rtu("F7 43 00 02 00 01 98"),
         "addr 247 fn 0x43 read block: file 2 sys.bin, block 1, 152 bytes, marker 0x00, CRC ok"},
        {Kind::Request, rtu("01 44 FE 05 00 00 02 AA BB"),
         "addr 1 fn 0x44 write block: file 5, block 0, 2 bytes, CRC ok"},
        {Kind::Request, rtu("01 45 00 08 01 C8 0A 00 00 00 00 00"),
         "addr 1 fn 0x45 message, 8 bytes: identification item 10 (serial number 1-4), CRC ok"},
        {Kind::Request, rtu("01 45 00 02 10 20"), "addr 1 fn 0x45 message, 2 bytes, CRC ok"},
        {Kind::Request, rtu("01 03 00 00 00 01"), "addr 1 fn 0x03 with 4 data bytes, CRC ok"},
        {Kind::Request, tftptest::fromHex("01 43 FE 17 00 00 06 00 00"),
         "addr 1 fn 0x43 read block: file 23 uartm.cfg, block 0, 6 bytes, CRC wrong"},
        {Kind::Request, rtu("01 43 FE 17 00 00"),
         "malformed read block request with 4 bytes after the function"},
        {Kind::Request, rtu("01 44 FE 03 00 00 03 AA BB"),
         "malformed write block request with 7 bytes after the function"},
        {Kind::Request, rtu("01 45 00 08 01 C8"),
         "malformed message request with 4 bytes after the function"},
        // Modbus RTU answers, every exception code with a name and one without.
        {Kind::Answer, rtu("01 43 FE 10 20 30 40 50 60"),
         "addr 1 fn 0x43 block data, 6 bytes, CRC ok"},
        {Kind::Answer, rtu("01 44 00"), "addr 1 fn 0x44 status 0 (accepted), CRC ok"},
        {Kind::Answer, rtu("01 44 01"), "addr 1 fn 0x44 status 1 (refused), CRC ok"},
        {Kind::Answer, rtu("01 45 00 08 01 C8 00 00 54 4B 2D 37"),
         "addr 1 fn 0x45 answer, 8 bytes: identification item 0 \"TK-7\", CRC ok"},
        {Kind::Answer, rtu("01 45 00 02 AA BB"), "addr 1 fn 0x45 answer, 2 bytes, CRC ok"},
        {Kind::Answer, rtu("01 03 02 00 2A"), "addr 1 fn 0x03 with 3 data bytes, CRC ok"},
        {Kind::Answer, rtu("01 C3 01"),
         "addr 1 fn 0xC3 exception 1 (illegal function) to function 0x43, CRC ok"},
        {Kind::Answer, rtu("01 C3 02"),
         "addr 1 fn 0xC3 exception 2 (illegal data address) to function 0x43, CRC ok"},
        {Kind::Answer, rtu("01 C4 03"),
         "addr 1 fn 0xC4 exception 3 (illegal data value) to function 0x44, CRC ok"},
        {Kind::Answer, rtu("01 C5 04"),
         "addr 1 fn 0xC5 exception 4 (server device failure) to function 0x45, CRC ok"},
        {Kind::Answer, rtu("01 C3 05"),
         "addr 1 fn 0xC3 exception 5 (acknowledge) to function 0x43, CRC ok"},
        {Kind::Answer, rtu("01 C3 06"),
         "addr 1 fn 0xC3 exception 6 (server device busy) to function 0x43, CRC ok"},
        {Kind::Answer, rtu("01 C3 08"),
         "addr 1 fn 0xC3 exception 8 (memory parity error) to function 0x43, CRC ok"},
        {Kind::Answer, rtu("01 C3 0A"),
         "addr 1 fn 0xC3 exception 10 (gateway path unavailable) to function 0x43, CRC ok"},
        {Kind::Answer, rtu("01 C3 0B"),
         "addr 1 fn 0xC3 exception 11 (gateway target device failed to respond) to function 0x43, "
         "CRC ok"},
        {Kind::Answer, rtu("01 C3 99"), "addr 1 fn 0xC3 exception 153 to function 0x43, CRC ok"},
        {Kind::Answer, tftptest::fromHex("01 44 00 00 00"),
         "addr 1 fn 0x44 status 0 (accepted), CRC wrong"},
        {Kind::Answer, tftptest::fromHex("01 43 00"), "malformed frame of 3 bytes"},
        {Kind::Answer, rtu("01 C3"), "malformed exception answer with 0 bytes after the function"},
        {Kind::Answer, rtu("01 43"), "malformed read block answer without data"},
        {Kind::Answer, rtu("01 44 00 00"),
         "malformed write block answer with 2 bytes after the function"},
        {Kind::Answer, rtu("01 45 00"), "malformed message answer without its header"},
        // Modbus TCP requests of every function the gateway test sends, and answers.
        {Kind::TcpRequest, tftptest::fromHex("00 00 00 00 00 06 01 03 00 00 00 0A"),
         "tid 0 unit 1 fn 0x03 request, 12 bytes: read holding registers from 0, 10"},
        {Kind::TcpRequest, tftptest::fromHex("12 34 00 00 00 06 11 01 00 13 00 25"),
         "tid 4660 unit 17 fn 0x01 request, 12 bytes: read coils from 19, 37"},
        {Kind::TcpRequest, tftptest::fromHex("00 00 00 00 00 06 02 05 00 AC FF 00"),
         "tid 0 unit 2 fn 0x05 request, 12 bytes: write coil 172 = 1"},
        {Kind::TcpRequest, tftptest::fromHex("00 00 00 00 00 06 00 06 00 01 AB CD"),
         "tid 0 unit 0 fn 0x06 request, 12 bytes: write register 1 = 43981"},
        {Kind::TcpRequest, tftptest::fromHex("00 00 00 00 00 09 01 0F 00 13 00 0A 02 CD 01"),
         "tid 0 unit 1 fn 0x0F request, 15 bytes: write 10 coils from 19: 10110011 10000000"},
        {Kind::TcpRequest, tftptest::fromHex("00 00 00 00 00 0B 01 10 00 01 00 02 04 00 0A 01 02"),
         "tid 0 unit 1 fn 0x10 request, 17 bytes: write 2 registers from 1: 10 258"},
        {Kind::TcpAnswer, tftptest::fromHex("00 00 00 00 00 07 01 04 04 00 07 00 08"),
         "tid 0 unit 1 fn 0x04 answer, 13 bytes: 2 input registers: 7 8"},
        {Kind::TcpAnswer, tftptest::fromHex("00 00 00 00 00 04 01 02 01 09"),
         "tid 0 unit 1 fn 0x02 answer, 10 bytes: discrete inputs, 1 bytes: 10010000"},
        {Kind::TcpAnswer, tftptest::fromHex("00 00 00 00 00 06 01 10 00 01 00 02"),
         "tid 0 unit 1 fn 0x10 answer, 12 bytes: 2 registers from 1 written"},
        {Kind::TcpAnswer, tftptest::fromHex("00 00 00 00 00 03 09 83 0B"),
         "tid 0 unit 9 fn 0x83 answer, 9 bytes: exception 11 (gateway target device failed to "
         "respond) to function 0x03"},
        {Kind::TcpAnswer, tftptest::fromHex("00 00 00 05 00 03 09 83 0B"),
         "malformed MBAP: protocol id 5"},
        {Kind::TcpAnswer, tftptest::fromHex("00 00 00 00 00 09 01 03 04 00 01 00 02"),
         "malformed MBAP: length 9 for 7 bytes"},
        {Kind::TcpAnswer, tftptest::fromHex("00 00 00 00 00 01 01"),
         "malformed Modbus TCP message of 7 bytes"},
        {Kind::TcpAnswer, tftptest::fromHex("00 00 00 00 00 05 01 03 04 00 01"),
         "malformed read answer with 4 PDU bytes"},
        {Kind::TcpRequest, tftptest::fromHex("00 00 00 00 00 05 01 03 00 00 00"),
         "malformed request of function 0x03 with 4 PDU bytes"},
    };
    return all;
}

linktrace::Decoded decode(Kind kind, const std::uint8_t* data, std::size_t length) {
    switch (kind) {
    case Kind::Tftp:
        return linktrace::decodeTftp(data, length);
    case Kind::TcpRequest:
    case Kind::TcpAnswer:
        return linktrace::decodeModbusTcp(kind == Kind::TcpRequest, data, length);
    default:
        return linktrace::decodeRtu(kind == Kind::Request, data, length);
    }
}

TEST(TrafficTraceDecoder, DecodesEveryHandBuiltUnit) {
    for (const Case& c : cases()) {
        const linktrace::Decoded d = decode(c.kind, c.bytes.data(), c.bytes.size());
        EXPECT_EQ(d.text, c.text) << tftptest::toHex(c.bytes);
        EXPECT_EQ(d.malformed, std::string(c.text).rfind("malformed", 0) == 0) << c.text;
    }
}

TEST(TrafficTraceDecoder, EveryTruncationDecodesWithinItsBytes) {
    // Each prefix lives in a buffer of exactly its size, so a read past the
    // end shows up under the sanitizers.
    for (const Case& c : cases()) {
        for (std::size_t n = 0; n < c.bytes.size(); ++n) {
            const Bytes prefix(c.bytes.begin(), c.bytes.begin() + static_cast<std::ptrdiff_t>(n));
            EXPECT_FALSE(decode(c.kind, prefix.data(), prefix.size()).text.empty());
        }
    }
}

struct Collected {
    std::vector<std::string> lines;
    linktrace::LineSink sink() {
        return [this](const std::string& l) { lines.push_back(l); };
    }
};

TEST(TrafficTracer, TellsHowEachSerialAnswerEnded) {
    support::FakeClock clock;
    support::ScriptedSerialPort port(clock);
    Collected out;
    linktrace::TrafficTracer tracer(out.sink(), false);
    TMBRTU mb;
    ASSERT_EQ(MBRTU_Init(3, 4, 1, 100, mb), 0);  // 9600 Bd: silence limit 10 ms
    support::ScriptedSerialPort::Answer trickle; // a byte every 8 ms, past the timeout
    for (std::uint32_t ms = 0; ms <= 160; ms += 8) {
        trickle.push_back({ms, {0x55}});
    }
    const Bytes answer = rtu("01 43 FE 10 20 30");
    const Bytes head(answer.begin(), answer.begin() + 4);
    const Bytes tail(answer.begin() + 4, answer.end());
    port.queueAnswer({{5, answer}});
    port.queueAnswer({});
    port.queueAnswer({{2, Bytes(300, 0x11)}});
    port.queueAnswer({{2, head}, {40, tail}}); // the gap does not end a frame that fails its CRC
    port.queueAnswer({{2, head}});
    port.queueAnswer({{2, rtu("01 43 FE 10")}}); // short, but its CRC checks
    port.queueAnswer(trickle);
    std::uint8_t block[3];
    for (std::int32_t code : {0, 1, 1, 0, 1, 2, 1}) {
        EXPECT_EQ(MBRTU_PrectiBlok(mb, 23, 0, 3, block), code);
    }
    MBRTU_Zavri(mb); // reports the answer the link gave up on
    const char* request =
        "-> COM3  addr 1 fn 0x43 read block: file 23 uartm.cfg, block 0, 3 bytes, CRC ok";
    const std::vector<std::string> expected = {
        "      0 ms 12:00:00.000 "s + request,
        "      5 ms              <- COM3  addr 1 fn 0x43 block data, 3 bytes, CRC ok; complete",
        "      5 ms              "s + request,
        "    106 ms              <- COM3  no answer; timeout after 101 ms",
        "    106 ms              "s + request,
        "    108 ms              <- COM3  addr 17 fn 0x11 with 296 data bytes, CRC wrong; overrun, "
        "300 bytes",
        "    108 ms              "s + request,
        "    110 ms              <- COM3  addr 1 fn 0x43 block data, 3 bytes, CRC ok; complete",
        "    148 ms              "s + request,
        "    150 ms              <- COM3  malformed read block answer without data; timeout after "
        "101 ms: 01 43 FE 10",
        "    249 ms              "s + request,
        "    251 ms              <- COM3  addr 1 fn 0x43 block data, 1 bytes, CRC ok; silence "
        "after 11 ms",
        "    262 ms              "s + request,
        "    262 ms              <- COM3  addr 85 fn 0x55 with 9 data bytes, CRC wrong; timeout "
        "after 101 ms "
        "while receiving",
    };
    EXPECT_EQ(out.lines, expected);
}

platform::UdpEndpoint loopback(std::uint8_t last, std::uint16_t port) {
    platform::UdpEndpoint e;
    e.address = {127, 0, 0, last};
    e.port = port;
    return e;
}

TEST(TrafficTracer, MarksForeignSendersAndShowsBytesInHex) {
    support::FakeClock clock;
    Collected out;
    linktrace::TrafficTracer tracer(out.sink(), true);
    const Bytes request = raw("\0\1a\0octet\0"s);
    const Bytes ack = raw("\0\4\0\1"s);
    tracer.udpSent(7, loopback(1, 69), request.data(), request.size());
    clock.advance(2);
    tracer.udpReceived(7, loopback(1, 50000), ack.data(), ack.size(), false); // the peer
    tracer.udpReceived(7, loopback(1, 50001), ack.data(), ack.size(), false);
    tracer.udpReceived(7, loopback(2, 50000), ack.data(), ack.size(), false);
    tracer.udpReceived(7, loopback(1, 50000), ack.data(), 3, true);
    platform::UdpEndpoint v6;
    v6.version = platform::IpVersion::V6;
    v6.address[15] = 1;
    v6.port = 69;
    tracer.udpSent(8, v6, ack.data(), ack.size());
    const std::vector<std::string> expected = {
        "      0 ms 12:00:00.000 -> UDP 127.0.0.1:69  RRQ \"a\" octet  | 00 01 61 00 6F 63 74 65 "
        "74 00",
        "      2 ms              <- UDP 127.0.0.1:50000  ACK 1  | 00 04 00 01",
        "      2 ms              <- UDP 127.0.0.1:50001  ACK 1 (foreign sender, ignored)  | 00 04 "
        "00 01",
        "      2 ms              <- UDP 127.0.0.2:50000  ACK 1 (foreign sender, ignored)  | 00 04 "
        "00 01",
        "      2 ms              <- UDP 127.0.0.1:50000  malformed ACK of 3 bytes (truncated to 3 "
        "bytes): 00 04 00",
        "      2 ms              -> UDP [::1]:69  ACK 1  | 00 04 00 01",
    };
    EXPECT_EQ(out.lines, expected);
}

TEST(TrafficTracer, TftpErrorFromTheSimulator) {
    harness::Sim sim;
    ASSERT_TRUE(sim.started()) << sim.error();
    Collected out;
    linktrace::TrafficTracer tracer(out.sink(), false);
    TTFTP tftp;
    TFTP_Init(tftp, sim.lan(), 0, 300);
    std::vector<std::uint8_t> buffer(10000);
    std::int32_t length = 0;
    EXPECT_FALSE(TFTP_PrectiSoubor(tftp, "nosuch.bin", buffer.data(), length));
    ASSERT_EQ(out.lines.size(), 2u);
    EXPECT_EQ(
        support::maskedTrace(out.lines[0] + "\n" + out.lines[1]),
        "t ms hh:mm:ss.mmm -> UDP 127.0.0.1:port  RRQ \"nosuch.bin\" octet blksize=1500 tsize=0\n"
        "t ms              <- UDP 127.0.0.1:port  ERROR 1 (file not found) \"File not found\"");
}

} // namespace
