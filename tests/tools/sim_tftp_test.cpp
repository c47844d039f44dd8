// The simulator's TFTP server against clients nobody here wrote (curl,
// tftp-hpa) and against raw datagrams for the protocol's corners.
#include "sim/SimBytes.h"
#include "sim/Simulator.h"
#include "sim_peers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace {

using simtest::Bytes;
using simtest::Udp;
namespace fs = std::filesystem;

constexpr std::uint16_t kRrq = 1, kWrq = 2, kData = 3, kAck = 4, kError = 5, kOack = 6;

const std::vector<std::string> kReadable{"info.txt", "sys.bin",   "mmrd.bin",  "mmrgv.bin",
                                         "lan4.cfg", "mbtcp.cfg", "uarts.cfg", "uartm.cfg"};

Bytes withChecksum(Bytes b) {
    b.push_back(tksim::checksumFor(b));
    return b;
}

Bytes oackOf(const std::vector<std::string>& pairs) {
    Bytes p{0, 6};
    for (const std::string& s : pairs) {
        p.insert(p.end(), s.begin(), s.end());
        p.push_back(0);
    }
    return p;
}

class TftpPeer : public ::testing::Test {
  protected:
    void SetUp() override {
        config.rtu.enabled = false;
        config.tftp.port = 0;
        config.tftp.retransmitMs = 300;
        config.tftp.retries = 2;
        config.model.masterLoad = 30;
        config.model.initialUptimeS = 3600;
        char tmpl[] = "/tmp/tksim-tftp-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override {
        sim.reset();
        fs::remove_all(dir);
    }
    void start() {
        sim = std::make_unique<tksim::Simulator>(config, [this] { return clock.load(); });
        std::string error;
        ASSERT_TRUE(sim->start(&error)) << error;
        port = sim->tftpPort();
        ASSERT_NE(port, 0);
    }
    std::string url(const std::string& name) const {
        return "tftp://127.0.0.1:" + std::to_string(port) + "/" + name;
    }
    Bytes load(const std::string& path) const {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    void save(const std::string& path, const Bytes& bytes) const {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    Bytes expected(const std::string& name) {
        return sim->model().read(tksim::fileByName(name)->id);
    }
    // A raw read of a whole file with given options; returns the file or
    // nothing when the transfer did not complete.
    std::optional<Bytes> rawRead(const std::string& name,
                                 const std::vector<std::string>& options = {}) {
        Udp c;
        c.send(simtest::request(kRrq, name, options), port);
        Bytes file;
        std::size_t blksize = 512;
        std::uint16_t expect = 1;
        for (;;) {
            const auto d = c.receive(2000);
            if (!d) {
                return std::nullopt;
            }
            if (simtest::opcodeOf(d->bytes) == kOack) {
                for (std::size_t i = 0; i + 1 < options.size(); i += 2) {
                    if (options[i] == "blksize") {
                        blksize = std::stoul(options[i + 1]);
                    }
                }
                c.send(simtest::ack(0), d->port);
                continue;
            }
            if (simtest::opcodeOf(d->bytes) != kData) {
                return std::nullopt;
            }
            if (simtest::numberOf(d->bytes) != expect) {
                continue;
            }
            const Bytes part = simtest::payloadOf(d->bytes);
            file.insert(file.end(), part.begin(), part.end());
            c.send(simtest::ack(expect), d->port);
            if (part.size() < blksize) {
                return file;
            }
            ++expect;
        }
    }

    tksim::Config config;
    std::atomic<std::uint64_t> clock{100000};
    std::unique_ptr<tksim::Simulator> sim;
    std::uint16_t port = 0;
    std::string dir;
};

// ---- curl ----------------------------------------------------------------

class CurlRead : public TftpPeer, public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(CurlRead, EveryReadableFileByteExact) {
    start();
    for (const std::string& name : kReadable) {
        const std::string out = dir + "/" + name;
        std::vector<std::string> argv{"curl", "-s", "-S", "--max-time", "10", "-o", out};
        argv.insert(argv.end(), GetParam().begin(), GetParam().end());
        argv.push_back(url(name));
        const auto r = simtest::run(argv);
        ASSERT_EQ(r.code, 0) << name << ": " << r.err;
        EXPECT_EQ(load(out), expected(name)) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Options, CurlRead,
                         ::testing::Values(std::vector<std::string>{},
                                           std::vector<std::string>{"--tftp-no-options"},
                                           std::vector<std::string>{"--tftp-blksize", "8"},
                                           std::vector<std::string>{"--tftp-blksize", "100"},
                                           std::vector<std::string>{"--tftp-blksize", "1500"},
                                           std::vector<std::string>{"--tftp-blksize", "65464"}));

struct Upload {
    const char* name;
    Bytes image;
};

class CurlUpload : public TftpPeer,
                   public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(CurlUpload, ConfigurationFilesAreTakenOverAndReadBack) {
    start();
    const std::vector<Upload> uploads{
        {"lan4.cfg", withChecksum({10, 1, 2, 3, 255, 255, 255, 0, 10, 1, 2, 254, 0, 0, 0})},
        {"mbtcp.cfg", withChecksum({7, 60})},
        {"uarts.cfg", withChecksum({12, 8, 2, 1})},
        {"uartm.cfg", withChecksum({6, 0, 0xE8, 0x03, 3})},
    };
    for (const Upload& u : uploads) {
        const std::string in = dir + "/up_" + u.name;
        save(in, u.image);
        std::vector<std::string> argv{"curl", "-s", "-S", "--max-time", "10", "-T", in};
        argv.insert(argv.end(), GetParam().begin(), GetParam().end());
        argv.push_back(url(u.name));
        const auto r = simtest::run(argv);
        ASSERT_EQ(r.code, 0) << u.name << ": " << r.err;
        EXPECT_EQ(expected(u.name), u.image) << u.name;
        const std::string back = dir + "/back_" + u.name;
        ASSERT_EQ(
            simtest::run({"curl", "-s", "-S", "--max-time", "10", "-o", back, url(u.name)}).code,
            0);
        EXPECT_EQ(load(back), u.image) << u.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Options, CurlUpload,
                         ::testing::Values(std::vector<std::string>{},
                                           std::vector<std::string>{"--tftp-no-options"},
                                           std::vector<std::string>{"--tftp-blksize", "8"}));

struct Refusal {
    const char* what;
    const char* name;
    Bytes image;
    int curlCode; // curl's exit code for the server's error
};

class CurlRefusal : public TftpPeer, public ::testing::WithParamInterface<Refusal> {};

TEST_P(CurlRefusal, FailsAndLeavesTheFileAlone) {
    start();
    const Refusal& c = GetParam();
    const std::string in = dir + "/upload";
    save(in, c.image);
    const tksim::FileInfo* file = tksim::fileByName(c.name);
    const Bytes before = file ? sim->model().read(file->id) : Bytes{};
    const auto r = simtest::run({"curl", "-s", "-S", "--max-time", "10", "-T", in, url(c.name)});
    EXPECT_EQ(r.code, c.curlCode) << r.err;
    if (file != nullptr) {
        EXPECT_EQ(sim->model().read(file->id), before);
    }
}

// curl: 68 file not found, 69 access violation, 71 other server errors.
INSTANTIATE_TEST_SUITE_P(
    Cases, CurlRefusal,
    ::testing::Values(Refusal{"bad_checksum",
                              "lan4.cfg",
                              {10, 1, 2, 3, 255, 255, 255, 0, 10, 1, 2, 254, 0, 0, 0, 0},
                              71},
                      Refusal{"wrong_length", "mbtcp.cfg", withChecksum({7, 60, 1}), 71},
                      Refusal{"read_only", "sys.bin", withChecksum({1, 2}), 69},
                      Refusal{"unknown", "nothing.cfg", withChecksum({1, 2}), 68}),
    [](const ::testing::TestParamInfo<Refusal>& p) { return std::string(p.param.what); });

TEST_F(TftpPeer, CurlGetsFileNotFoundAndAccessViolation) {
    start();
    EXPECT_EQ(
        simtest::run({"curl", "-s", "--max-time", "10", "-o", dir + "/x", url("nothing.txt")}).code,
        68);
    EXPECT_EQ(
        simtest::run({"curl", "-s", "--max-time", "10", "-o", dir + "/x", url("ctrl.bin")}).code,
        69);
    EXPECT_EQ(
        simtest::run({"curl", "-s", "--max-time", "10", "-o", dir + "/x", url("SYS.BIN")}).code,
        68);
}

// ---- tftp-hpa -------------------------------------------------------------

TEST_F(TftpPeer, TftpHpaReadsEveryFileByteExact) {
    start();
    for (const std::string& name : kReadable) {
        const auto r = simtest::run({"tftp", "-m", "binary", "127.0.0.1", std::to_string(port),
                                     "-c", "get", name, dir + "/" + name});
        ASSERT_EQ(r.code, 0) << name << r.out << r.err;
        EXPECT_EQ(load(dir + "/" + name), expected(name)) << name << r.out << r.err;
    }
}

TEST_F(TftpPeer, TftpHpaWritesAndReadsBack) {
    start();
    const Bytes image = withChecksum({0x08, 0x00, 0x10, 0x27, 0x0F});
    save(dir + "/uartm.cfg", image);
    const auto put = simtest::run({"tftp", "-m", "binary", "127.0.0.1", std::to_string(port), "-c",
                                   "put", dir + "/uartm.cfg", "uartm.cfg"});
    ASSERT_EQ(put.code, 0) << put.out << put.err;
    EXPECT_EQ(expected("uartm.cfg"), image);
    const auto get = simtest::run({"tftp", "-m", "binary", "127.0.0.1", std::to_string(port), "-c",
                                   "get", "uartm.cfg", dir + "/back"});
    ASSERT_EQ(get.code, 0) << get.out << get.err;
    EXPECT_EQ(load(dir + "/back"), image);
}

TEST_F(TftpPeer, TftpHpaSeesTheServersErrors) {
    start();
    const auto missing = simtest::run({"tftp", "-m", "binary", "127.0.0.1", std::to_string(port),
                                       "-c", "get", "nothing.txt", dir + "/x"});
    EXPECT_NE((missing.out + missing.err).find("Error code 1"), std::string::npos)
        << missing.out << missing.err;
    save(dir + "/sys.bin", Bytes(392, 0));
    const auto readOnly = simtest::run({"tftp", "-m", "binary", "127.0.0.1", std::to_string(port),
                                        "-c", "put", dir + "/sys.bin", "sys.bin"});
    EXPECT_NE((readOnly.out + readOnly.err).find("Error code 2"), std::string::npos)
        << readOnly.out << readOnly.err;
    // Its default mode is netascii, which the converter does not offer.
    const auto ascii = simtest::run(
        {"tftp", "127.0.0.1", std::to_string(port), "-c", "get", "info.txt", dir + "/y"});
    EXPECT_NE((ascii.out + ascii.err).find("Error code 0"), std::string::npos)
        << ascii.out << ascii.err;
}

// ---- raw datagrams ----------------------------------------------------------

TEST_F(TftpPeer, OptionsAreAcknowledgedFromANewPortPerTransfer) {
    start();
    Udp a;
    Udp b;
    a.send(simtest::request(kRrq, "sys.bin", {"blksize", "1500", "tsize", "0"}), port);
    b.send(simtest::request(kRrq, "sys.bin", {"tsize", "0", "blksize", "1500"}), port);
    const auto oa = a.receive(2000);
    const auto ob = b.receive(2000);
    ASSERT_TRUE(oa && ob);
    EXPECT_EQ(oa->bytes, oackOf({"blksize", "1500", "tsize", "392"}));
    EXPECT_EQ(ob->bytes, oackOf({"tsize", "392", "blksize", "1500"}));
    EXPECT_NE(oa->port, port);
    EXPECT_NE(ob->port, port);
    EXPECT_NE(oa->port, ob->port);
    a.send(simtest::ack(0), oa->port);
    const auto d1 = a.receive(2000);
    ASSERT_TRUE(d1);
    EXPECT_EQ(d1->port, oa->port);
    EXPECT_EQ(simtest::opcodeOf(d1->bytes), kData);
    EXPECT_EQ(simtest::numberOf(d1->bytes), 1);
    EXPECT_EQ(simtest::payloadOf(d1->bytes), expected("sys.bin"));
    a.send(simtest::ack(1), oa->port);
    EXPECT_FALSE(a.receive(200)); // the short block was the last
}

struct BlksizeCase {
    const char* offered;
    const char* answered; // empty: the option is not acknowledged
};

class BlksizeValues : public TftpPeer, public ::testing::WithParamInterface<BlksizeCase> {};

TEST_P(BlksizeValues, AreAnsweredWithinTheirRange) {
    start();
    Udp c;
    c.send(simtest::request(kRrq, "info.txt", {"blksize", GetParam().offered, "tsize", "0"}), port);
    const auto d = c.receive(2000);
    ASSERT_TRUE(d);
    if (std::string(GetParam().answered).empty()) {
        EXPECT_EQ(d->bytes, oackOf({"tsize", "31"}));
    } else {
        EXPECT_EQ(d->bytes, oackOf({"blksize", GetParam().answered, "tsize", "31"}));
    }
}

INSTANTIATE_TEST_SUITE_P(Values, BlksizeValues,
                         ::testing::Values(BlksizeCase{"8", "8"}, BlksizeCase{"7", ""},
                                           BlksizeCase{"0", ""}, BlksizeCase{"65464", "65464"},
                                           BlksizeCase{"65465", "65464"},
                                           BlksizeCase{"999999999", "65464"},
                                           BlksizeCase{"12a", ""}, BlksizeCase{"", ""},
                                           BlksizeCase{"-8", ""}));

TEST_F(TftpPeer, OptionNamesIgnoreCaseAndUnknownOptionsAreLeftOut) {
    start();
    Udp c;
    c.send(simtest::request(kRrq, "mbtcp.cfg",
                            {"TIMEOUT", "5", "BlkSize", "16", "windowsize", "4", "TSIZE", "0"}),
           port);
    const auto d = c.receive(2000);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->bytes, oackOf({"blksize", "16", "tsize", "3"}));
}

TEST_F(TftpPeer, WithoutOptionsTheFirstAnswerIsData) {
    start();
    Udp c;
    c.send(simtest::request(kRrq, "sys.bin"), port);
    const auto d = c.receive(2000);
    ASSERT_TRUE(d);
    EXPECT_EQ(simtest::opcodeOf(d->bytes), kData);
    EXPECT_EQ(simtest::payloadOf(d->bytes).size(), 392u);
    Udp w;
    w.send(simtest::request(kWrq, "mbtcp.cfg"), port);
    const auto a = w.receive(2000);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->bytes, simtest::ack(0));
}

TEST_F(TftpPeer, LastPacketIsRetransmittedFromTheSamePortThenGivenUp) {
    start();
    Udp c;
    const std::uint64_t t0 = simtest::monoMs();
    c.send(simtest::request(kRrq, "info.txt"), port);
    const auto first = c.receive(2000);
    ASSERT_TRUE(first);
    const auto again = c.receive(2000);
    ASSERT_TRUE(again);
    EXPECT_GE(simtest::monoMs() - t0, 250u);
    EXPECT_EQ(again->bytes, first->bytes);
    EXPECT_EQ(again->port, first->port);
    EXPECT_TRUE(c.receive(2000)); // second and last retransmission
    EXPECT_FALSE(c.receive(900)); // given up
    c.send(simtest::ack(1), first->port);
    EXPECT_FALSE(c.receive(200));
}

TEST_F(TftpPeer, DuplicateAcknowledgementsDoNotDoubleTheData) {
    start();
    Udp c;
    c.send(simtest::request(kRrq, "lan4.cfg", {"blksize", "8"}), port);
    const auto o = c.receive(2000);
    ASSERT_TRUE(o);
    c.send(simtest::ack(0), o->port);
    const auto d1 = c.receive(2000);
    ASSERT_TRUE(d1);
    c.send(simtest::ack(1), o->port);
    c.send(simtest::ack(1), o->port);
    c.send(simtest::ack(0), o->port);
    const auto d2 = c.receive(2000);
    ASSERT_TRUE(d2);
    EXPECT_EQ(simtest::numberOf(d2->bytes), 2);
    EXPECT_FALSE(c.receive(150)); // nothing answered the duplicates
}

TEST_F(TftpPeer, PacketsFromAnotherPortGetUnknownTransferId) {
    start();
    Udp c;
    Udp stranger;
    c.send(simtest::request(kRrq, "sys.bin", {"blksize", "100"}), port);
    const auto o = c.receive(2000);
    ASSERT_TRUE(o);
    stranger.send(simtest::ack(0), o->port);
    const auto e = stranger.receive(2000);
    ASSERT_TRUE(e);
    EXPECT_EQ(simtest::opcodeOf(e->bytes), kError);
    EXPECT_EQ(simtest::numberOf(e->bytes), 5);
    c.send(simtest::ack(0), o->port);
    const auto d1 = c.receive(2000);
    ASSERT_TRUE(d1);
    EXPECT_EQ(simtest::numberOf(d1->bytes), 1);
}

TEST_F(TftpPeer, WriteInSmallBlocksEndsWithAnEmptyBlock) {
    start();
    const Bytes image = withChecksum({172, 16, 0, 5, 255, 255, 0, 0, 172, 16, 0, 1, 0, 0, 0});
    Udp c;
    c.send(simtest::request(kWrq, "lan4.cfg", {"blksize", "8", "tsize", "16"}), port);
    const auto o = c.receive(2000);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->bytes, oackOf({"blksize", "8", "tsize", "16"}));
    c.send(simtest::data(1, Bytes(image.begin(), image.begin() + 8)), o->port);
    auto a = c.receive(2000);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->bytes, simtest::ack(1));
    // A repeated block (our acknowledgement lost) is acknowledged again, not appended.
    c.send(simtest::data(1, Bytes(image.begin(), image.begin() + 8)), o->port);
    a = c.receive(2000);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->bytes, simtest::ack(1));
    c.send(simtest::data(2, Bytes(image.begin() + 8, image.end())), o->port);
    ASSERT_TRUE(c.receive(2000));
    EXPECT_EQ(expected("lan4.cfg"), tksim::DeviceModel::factoryImage(tksim::SimFile::Lan4));
    c.send(simtest::data(3, {}), o->port);
    a = c.receive(2000);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->bytes, simtest::ack(3));
    EXPECT_EQ(expected("lan4.cfg"), image);
}

TEST_F(TftpPeer, WrongChecksumEndsTheWriteWithAnErrorInsteadOfTheLastAck) {
    start();
    Udp c;
    c.send(simtest::request(kWrq, "mbtcp.cfg"), port);
    const auto a0 = c.receive(2000);
    ASSERT_TRUE(a0);
    c.send(simtest::data(1, {0x01, 0x02, 0x03}), a0->port);
    const auto e = c.receive(2000);
    ASSERT_TRUE(e);
    EXPECT_EQ(simtest::opcodeOf(e->bytes), kError);
    EXPECT_EQ(simtest::numberOf(e->bytes), 0);
    EXPECT_EQ(expected("mbtcp.cfg"), (Bytes{0xFF, 0x05, 0xFC}));
}

TEST_F(TftpPeer, UploadsAreCappedAt10000Bytes) {
    start();
    Udp c;
    c.send(simtest::request(kWrq, "lan4.cfg"), port);
    const auto a0 = c.receive(2000);
    ASSERT_TRUE(a0);
    std::optional<simtest::Datagram> last;
    std::uint16_t block = 1;
    for (; block <= 30; ++block) {
        c.send(simtest::data(block, Bytes(512, 0xAA)), a0->port);
        last = c.receive(2000);
        ASSERT_TRUE(last);
        if (simtest::opcodeOf(last->bytes) != kAck) {
            break;
        }
    }
    EXPECT_EQ(block, 20); // 19 * 512 = 9728; the 20th block would pass 10000
    EXPECT_EQ(simtest::opcodeOf(last->bytes), kError);
    EXPECT_EQ(simtest::numberOf(last->bytes), 3);
    Udp big;
    big.send(simtest::request(kWrq, "lan4.cfg", {"tsize", "10001"}), port);
    const auto e = big.receive(2000);
    ASSERT_TRUE(e);
    EXPECT_EQ(simtest::opcodeOf(e->bytes), kError);
    EXPECT_EQ(simtest::numberOf(e->bytes), 3);
}

struct BadPacket {
    const char* what;
    Bytes packet;
    int errorCode; // -1: no answer at all
};

class MalformedRequests : public TftpPeer, public ::testing::WithParamInterface<BadPacket> {};

TEST_P(MalformedRequests, AreRefusedAndTheServerGoesOn) {
    start();
    Udp c;
    c.send(GetParam().packet, port);
    const auto d = c.receive(500);
    if (GetParam().errorCode < 0) {
        EXPECT_FALSE(d);
    } else {
        ASSERT_TRUE(d);
        EXPECT_EQ(simtest::opcodeOf(d->bytes), kError);
        EXPECT_EQ(simtest::numberOf(d->bytes), GetParam().errorCode);
        EXPECT_EQ(d->port, port); // refusals come from the server's own port
        EXPECT_EQ(d->bytes.back(), 0);
    }
    EXPECT_EQ(rawRead("uarts.cfg"), expected("uarts.cfg"));
}

Bytes raw(std::initializer_list<int> bytes) {
    Bytes b;
    for (int x : bytes) {
        b.push_back(static_cast<std::uint8_t>(x));
    }
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedRequests,
    ::testing::Values(BadPacket{"empty", {}, 4}, BadPacket{"one_byte", raw({0}), 4},
                      BadPacket{"data_to_server_port", simtest::data(1, {1, 2}), 4},
                      BadPacket{"ack_to_server_port", simtest::ack(1), 4},
                      BadPacket{"oack_to_server_port", raw({0, 6, 'a', 0, 'b', 0}), 4},
                      BadPacket{"unknown_opcode", raw({0, 9, 'x', 0}), 4},
                      BadPacket{"opcode_only", raw({0, 1}), 4},
                      BadPacket{"name_without_zero", raw({0, 1, 's', 'y', 's'}), 4},
                      BadPacket{"mode_without_zero", raw({0, 1, 's', 0, 'o', 'c', 't'}), 4},
                      BadPacket{"no_mode", raw({0, 1, 's', 'y', 's', '.', 'b', 'i', 'n', 0}), 4},
                      BadPacket{"error_is_never_answered", raw({0, 5, 0, 1, 'x', 0}), -1},
                      BadPacket{"parent_path", simtest::request(kRrq, "../etc/passwd"), 2},
                      BadPacket{"absolute_path", simtest::request(kRrq, "/etc/passwd"), 2},
                      BadPacket{"sub_path", simtest::request(kRrq, "a/sys.bin"), 2},
                      BadPacket{"backslash_path", simtest::request(kRrq, "..\\sys.bin"), 2},
                      BadPacket{"write_path", simtest::request(kWrq, "../lan4.cfg"), 2},
                      BadPacket{"upper_case_name", simtest::request(kRrq, "INFO.TXT"), 1},
                      BadPacket{"unknown_name", simtest::request(kRrq, "firmware.hbin"), 1},
                      BadPacket{"empty_name", simtest::request(kRrq, ""), 1},
                      BadPacket{"huge_name", simtest::request(kRrq, std::string(60000, 'a')), 1},
                      BadPacket{"read_write_only_file", simtest::request(kRrq, "ctrl.bin"), 2},
                      BadPacket{"write_read_only_file", simtest::request(kWrq, "sys.bin"), 2},
                      BadPacket{"netascii", simtest::request(kRrq, "info.txt", {}, "netascii"), 0},
                      BadPacket{"mail", simtest::request(kRrq, "info.txt", {}, "mail"), 0}),
    [](const ::testing::TestParamInfo<BadPacket>& p) { return std::string(p.param.what); });

TEST_F(TftpPeer, ModeIsCaseInsensitive) {
    start();
    Udp c;
    c.send(simtest::request(kRrq, "mbtcp.cfg", {}, "OcTeT"), port);
    const auto d = c.receive(2000);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->bytes, simtest::data(1, {0xFF, 0x05, 0xFC}));
}

TEST_F(TftpPeer, TransfersAreBoundedAndABusyServerSaysSo) {
    config.tftp.maxTransfers = 3;
    config.tftp.retransmitMs = 5000;
    start();
    std::vector<std::unique_ptr<Udp>> clients;
    std::vector<std::uint16_t> transferPorts;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(std::make_unique<Udp>());
        clients.back()->send(simtest::request(kRrq, "sys.bin"), port);
        const auto d = clients.back()->receive(2000);
        ASSERT_TRUE(d);
        transferPorts.push_back(d->port);
    }
    Udp extra;
    extra.send(simtest::request(kRrq, "sys.bin"), port);
    const auto e = extra.receive(2000);
    ASSERT_TRUE(e);
    EXPECT_EQ(simtest::opcodeOf(e->bytes), kError);
    EXPECT_EQ(simtest::numberOf(e->bytes), 0);
    // Finishing one frees a place.
    clients[0]->send(simtest::ack(1), transferPorts[0]);
    EXPECT_EQ(rawRead("mbtcp.cfg"), expected("mbtcp.cfg"));
}

TEST_F(TftpPeer, FloodOfGarbageLeavesTheServerServing) {
    start();
    Udp flood;
    std::uint32_t seed = 12345;
    for (int i = 0; i < 3000; ++i) {
        seed = seed * 1103515245u + 12345u;
        Bytes junk((seed >> 8) % 600);
        for (auto& b : junk) {
            seed = seed * 1103515245u + 12345u;
            b = static_cast<std::uint8_t>(seed >> 24);
        }
        flood.send(junk, port);
    }
    flood.send(Bytes(65000, 0x01), port);
    // Let the server work through what the socket kept (the kernel drops
    // the rest, as it would drop a request sent into a full queue).
    while (flood.receive(300)) {
    }
    EXPECT_EQ(rawRead("info.txt"), expected("info.txt"));
    EXPECT_EQ(rawRead("sys.bin", {"blksize", "64"}), expected("sys.bin"));
}

TEST_F(TftpPeer, RestartCommandIsAcknowledgedThenTheConverterIsAwayForItsTime) {
    config.model.restartMs = 2000;
    start();
    Bytes restart{0x00, 0xFF, 0x01, 0x00, 0xFF};
    restart.resize(22, 0);
    restart = withChecksum(restart);
    ASSERT_EQ(restart.back(), 0x01);
    Udp c;
    c.send(simtest::request(kWrq, "ctrl.bin", {"tsize", "23"}), port);
    const auto o = c.receive(2000);
    ASSERT_TRUE(o);
    c.send(simtest::data(1, restart), o->port);
    const auto a = c.receive(2000);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->bytes, simtest::ack(1));
    Udp probe;
    probe.send(simtest::request(kRrq, "info.txt"), port);
    EXPECT_FALSE(probe.receive(300));
    clock += 2000;
    EXPECT_EQ(rawRead("info.txt"), expected("info.txt"));
    const Bytes sys = expected("sys.bin");
    EXPECT_EQ(sys[240] | sys[241] << 8, 2); // run time counts again from the restart
}

TEST_F(TftpPeer, ClearCommandResetsTheMasterStatistics) {
    config.model.masterLoad = 100;
    start();
    clock += 60000;
    ASSERT_GT(sim->model().masterStats().messages, 0u);
    Bytes clear{0x01, 0x01};
    clear.resize(22, 0);
    clear = withChecksum(clear);
    ASSERT_EQ(clear.back(), 0xFE);
    const std::string in = dir + "/ctrl.bin";
    save(in, clear);
    ASSERT_EQ(
        simtest::run({"curl", "-s", "-S", "--max-time", "10", "-T", in, url("ctrl.bin")}).code, 0);
    const auto mmrd = rawRead("mmrd.bin");
    ASSERT_TRUE(mmrd);
    EXPECT_EQ(*mmrd, (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 21, 0, 100, 0}));
}

// ---- faults -------------------------------------------------------------------

TEST_F(TftpPeer, FaultNoOackAnswersAsPlainTftp) {
    config.faults.noOack = true;
    start();
    Udp c;
    c.send(simtest::request(kRrq, "sys.bin", {"blksize", "1500", "tsize", "0"}), port);
    const auto d = c.receive(2000);
    ASSERT_TRUE(d);
    EXPECT_EQ(simtest::opcodeOf(d->bytes), kData);
    EXPECT_EQ(simtest::payloadOf(d->bytes), expected("sys.bin"));
}

TEST_F(TftpPeer, FaultForcedBlockSizeIsOfferedWhateverWasAsked) {
    config.faults.forceBlksize = 4;
    start();
    Udp c;
    c.send(simtest::request(kRrq, "sys.bin", {"blksize", "1500", "tsize", "0"}), port);
    const auto o = c.receive(2000);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->bytes, oackOf({"blksize", "4", "tsize", "392"}));
    c.send(simtest::ack(0), o->port);
    const auto d = c.receive(2000);
    ASSERT_TRUE(d);
    EXPECT_EQ(simtest::payloadOf(d->bytes).size(), 4u);
}

TEST_F(TftpPeer, FaultDuplicateDataSendsEveryBlockTwice) {
    config.faults.duplicateData = true;
    start();
    Udp c;
    c.send(simtest::request(kRrq, "info.txt"), port);
    const auto d1 = c.receive(2000);
    const auto d2 = c.receive(2000);
    ASSERT_TRUE(d1 && d2);
    EXPECT_EQ(d1->bytes, d2->bytes);
    EXPECT_EQ(d1->port, d2->port);
}

TEST_F(TftpPeer, FaultForeignPortChangesTheSenderAfterTheFirstAnswer) {
    config.faults.foreignPort = true;
    start();
    Udp c;
    c.send(simtest::request(kRrq, "sys.bin", {"blksize", "1500"}), port);
    const auto o = c.receive(2000);
    ASSERT_TRUE(o);
    c.send(simtest::ack(0), o->port);
    const auto d = c.receive(2000);
    ASSERT_TRUE(d);
    EXPECT_EQ(simtest::opcodeOf(d->bytes), kData);
    EXPECT_NE(d->port, o->port);
    EXPECT_NE(d->port, port);
}

TEST_F(TftpPeer, FaultDropEverySecondPacketIsRecoveredByRetransmission) {
    config.faults.dropEvery = 2;
    start();
    Udp a;
    a.send(simtest::request(kRrq, "info.txt"), port);
    const auto first = a.receive(2000); // packet 1 goes out
    ASSERT_TRUE(first);
    a.send(simtest::ack(1), first->port);
    Udp b;
    const std::uint64_t t0 = simtest::monoMs();
    b.send(simtest::request(kRrq, "info.txt"), port); // packet 2 is lost
    const auto d = b.receive(2000);
    ASSERT_TRUE(d);
    EXPECT_GE(simtest::monoMs() - t0, 250u);
    EXPECT_EQ(simtest::payloadOf(d->bytes), expected("info.txt"));
}

TEST_F(TftpPeer, FaultDelayMakesTheFirstAnswerLate) {
    config.faults.delayMs = 400;
    config.tftp.retransmitMs = 2000;
    start();
    Udp c;
    const std::uint64_t t0 = simtest::monoMs();
    c.send(simtest::request(kRrq, "info.txt"), port);
    EXPECT_FALSE(c.receive(250));
    const auto d = c.receive(2000);
    ASSERT_TRUE(d);
    EXPECT_GE(simtest::monoMs() - t0, 380u);
}

TEST_F(TftpPeer, FaultRefuseWritesAndIgnoreWrites) {
    start();
    const std::string in = dir + "/mbtcp.cfg";
    save(in, withChecksum({9, 9}));
    tksim::Faults f;
    f.refuseWrites = true;
    sim->setFaults(f);
    EXPECT_EQ(simtest::run({"curl", "-s", "--max-time", "10", "-T", in, url("mbtcp.cfg")}).code,
              69);
    f = {};
    f.ignoreWrites = true;
    sim->setFaults(f);
    EXPECT_EQ(simtest::run({"curl", "-s", "--max-time", "10", "-T", in, url("mbtcp.cfg")}).code, 0);
    EXPECT_EQ(expected("mbtcp.cfg"), (Bytes{0xFF, 0x05, 0xFC}));
    sim->setFaults({});
    EXPECT_EQ(simtest::run({"curl", "-s", "--max-time", "10", "-T", in, url("mbtcp.cfg")}).code, 0);
    EXPECT_EQ(expected("mbtcp.cfg"), withChecksum({9, 9}));
}

TEST_F(TftpPeer, AnotherReportedIdentityShowsInInfoTxt) {
    start();
    sim->model().setIdentity({"TK-7713T", "3.00", "99999999"});
    const auto info = rawRead("info.txt");
    ASSERT_TRUE(info);
    EXPECT_EQ(std::string(info->begin(), info->end()), "TK-7713T (v.3.00 sn.99999999)\r\n");
}

TEST(TftpStart, BusyPortIsReportedAndNothingStaysOpen) {
    tksim::Config config;
    config.rtu.enabled = false;
    config.tftp.port = 0;
    tksim::Simulator first(config);
    ASSERT_TRUE(first.start());
    config.tftp.port = first.tftpPort();
    tksim::Simulator second(config);
    std::string error;
    EXPECT_FALSE(second.start(&error));
    EXPECT_NE(error.find("Address already in use"), std::string::npos) << error;
    EXPECT_EQ(second.tftpPort(), 0);
    second.stop();
    first.stop();
    tksim::Simulator third(config);
    EXPECT_TRUE(third.start(&error)) << error; // the port was released
}

} // namespace
