// The simulator's Modbus RTU slave on a pseudo-terminal, driven by an
// independent master built on libmodbus. libmodbus frames and checksums
// every request; it cannot parse the converter's own 0x43 and 0x45 answers,
// so those are read from its port as raw bytes and their CRC is checked by
// letting libmodbus checksum the same bytes on a private pseudo-terminal.
#include "sim/SimBytes.h"
#include "sim/Simulator.h"
#include "sim_peers.h"

#include <gtest/gtest.h>
#include <modbus.h>

#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using simtest::Bytes;

constexpr int kSlave = 247;

Bytes readUntilSilence(int fd, int timeoutMs, int silenceMs = 40) {
    Bytes out;
    const std::uint64_t end = simtest::monoMs() + static_cast<std::uint64_t>(timeoutMs);
    for (;;) {
        const std::uint64_t now = simtest::monoMs();
        if (now >= end) {
            return out;
        }
        pollfd p{fd, POLLIN, 0};
        const int wait = out.empty() ? static_cast<int>(end - now) : silenceMs;
        if (poll(&p, 1, wait) <= 0) {
            return out;
        }
        std::uint8_t buf[512];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) {
            return out;
        }
        out.insert(out.end(), buf, buf + n);
    }
}

// libmodbus's CRC of any bytes: it appends it when sending them as a raw
// request, and a pseudo-terminal of our own catches what it sent.
class LibmodbusCrc {
  public:
    LibmodbusCrc() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(master_);
        unlockpt(master_);
        char name[PATH_MAX] = {};
        ptsname_r(master_, name, sizeof name);
        ctx_ = modbus_new_rtu(name, 115200, 'N', 8, 1);
        ok_ = ctx_ != nullptr && modbus_connect(ctx_) == 0;
    }
    ~LibmodbusCrc() {
        if (ctx_ != nullptr) {
            modbus_close(ctx_);
            modbus_free(ctx_);
        }
        close(master_);
    }
    bool ok() const { return ok_; }
    // The two CRC bytes libmodbus puts after these bytes.
    Bytes of(const Bytes& bytes) {
        modbus_set_slave(ctx_, bytes.at(0));
        if (modbus_send_raw_request(ctx_, const_cast<std::uint8_t*>(bytes.data()),
                                    static_cast<int>(bytes.size())) < 0) {
            return {};
        }
        const Bytes sent = readUntilSilence(master_, 1000, 20);
        if (sent.size() != bytes.size() + 2) {
            return {};
        }
        return Bytes(sent.end() - 2, sent.end());
    }

  private:
    int master_ = -1;
    modbus_t* ctx_ = nullptr;
    bool ok_ = false;
};

class Master {
  public:
    Master(const std::string& path, int slave, int baud = 9600, char parity = 'E') {
        ctx_ = modbus_new_rtu(path.c_str(), baud, parity, 8, 1);
        ok_ = ctx_ != nullptr && modbus_set_slave(ctx_, slave) == 0 && modbus_connect(ctx_) == 0;
    }
    ~Master() {
        if (ctx_ != nullptr) {
            modbus_close(ctx_);
            modbus_free(ctx_);
        }
    }
    bool ok() const { return ok_; }
    void setSlave(int slave) { modbus_set_slave(ctx_, slave); }
    int fd() const { return modbus_get_socket(ctx_); }

    bool send(Bytes raw) {
        modbus_flush(ctx_);
        return modbus_send_raw_request(ctx_, raw.data(), static_cast<int>(raw.size())) > 0;
    }
    // libmodbus's own receive, which checks the CRC: fine for 5-byte
    // answers (0x44, exceptions). Gives the answer without its CRC.
    int confirm(Bytes& answer) {
        answer.assign(MODBUS_RTU_MAX_ADU_LENGTH, 0);
        const int n = modbus_receive_confirmation(ctx_, answer.data());
        answer.resize(n >= 2 ? static_cast<std::size_t>(n) - 2 : 0);
        return n;
    }
    Bytes raw(int timeoutMs = 2000) const { return readUntilSilence(fd(), timeoutMs); }

  private:
    modbus_t* ctx_ = nullptr;
    bool ok_ = false;
};

Bytes readRequest(int file, int block, int n) {
    return {kSlave,
            0x43,
            0xFE,
            static_cast<std::uint8_t>(file),
            static_cast<std::uint8_t>(block >> 8),
            static_cast<std::uint8_t>(block & 0xFF),
            static_cast<std::uint8_t>(n)};
}

Bytes writeRequest(int file, const Bytes& image) {
    Bytes r{kSlave,
            0x44,
            0xFE,
            static_cast<std::uint8_t>(file),
            0,
            0,
            static_cast<std::uint8_t>(image.size())};
    r.insert(r.end(), image.begin(), image.end());
    return r;
}

Bytes identifyRequest(int item) {
    return {kSlave, 0x45, 0x00, 0x08, kSlave, 0xC8, static_cast<std::uint8_t>(item), 0, 0, 0, 0, 0};
}

Bytes withChecksum(Bytes b) {
    b.push_back(tksim::checksumFor(b));
    return b;
}

class RtuPeer : public ::testing::Test {
  protected:
    void SetUp() override {
        config.tftp.enabled = false;
        config.model.masterLoad = 25;
        config.model.initialUptimeS = 86400;
    }
    void start() {
        sim = std::make_unique<tksim::Simulator>(config, [this] { return clock.load(); });
        std::string error;
        ASSERT_TRUE(sim->start(&error)) << error;
        master = std::make_unique<Master>(sim->serialPath(), kSlave);
        ASSERT_TRUE(master->ok());
        ASSERT_TRUE(crc.ok());
    }
    // The answer's body if its CRC is the one libmodbus computes.
    void expectCrcByLibmodbus(const Bytes& answer) {
        ASSERT_GE(answer.size(), 3u);
        const Bytes body(answer.begin(), answer.end() - 2);
        EXPECT_EQ(crc.of(body), Bytes(answer.end() - 2, answer.end()));
    }
    Bytes readBlock(int file, int block, int n) {
        EXPECT_TRUE(master->send(readRequest(file, block, n)));
        const Bytes a = master->raw();
        if (a.size() != static_cast<std::size_t>(n) + 5) {
            ADD_FAILURE() << "answer of " << a.size() << " bytes to file " << file << " block "
                          << block;
            return {};
        }
        expectCrcByLibmodbus(a);
        EXPECT_EQ(a[0], kSlave);
        EXPECT_EQ(a[1], 0x43);
        return Bytes(a.begin() + 3, a.end() - 2);
    }

    tksim::Config config;
    std::atomic<std::uint64_t> clock{1000};
    std::unique_ptr<tksim::Simulator> sim;
    std::unique_ptr<Master> master;
    LibmodbusCrc crc;
};

TEST_F(RtuPeer, IdentificationItems) {
    start();
    struct Item {
        int item;
        const char* chars;
    };
    for (const Item& c :
         std::vector<Item>{{0, "TK-7"}, {1, "713T"}, {2, "1.05"}, {10, "2407"}, {11, "0001"}}) {
        ASSERT_TRUE(master->send(identifyRequest(c.item)));
        const Bytes a = master->raw();
        ASSERT_EQ(a.size(), 14u) << c.item;
        const Bytes head{kSlave, 0x45, 0x00, 0x08, kSlave, 0xC8, static_cast<std::uint8_t>(c.item),
                         0x00};
        EXPECT_EQ(Bytes(a.begin(), a.begin() + 8), head) << c.item;
        EXPECT_EQ(std::string(a.begin() + 8, a.begin() + 12), c.chars) << c.item;
        expectCrcByLibmodbus(a);
    }
}

struct BlockCase {
    const char* name;
    int number;
    std::vector<std::pair<int, int>> blocks; // block, length
};

class RtuBlocks : public RtuPeer, public ::testing::WithParamInterface<BlockCase> {};

TEST_P(RtuBlocks, ReadAsTheProgramAsksGivesTheFile) {
    start();
    const BlockCase& c = GetParam();
    Bytes joined;
    for (const auto& [block, length] : c.blocks) {
        const Bytes part = readBlock(c.number, block, length);
        joined.insert(joined.end(), part.begin(), part.end());
    }
    Bytes file = sim->model().read(tksim::fileByName(c.name)->id);
    file.resize(joined.size(), 0); // blocks longer than the file are padded with zeros
    EXPECT_EQ(joined, file);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, RtuBlocks,
    ::testing::Values(BlockCase{"info.txt", 0, {{0, 31}}},
                      BlockCase{"sys.bin", 2, {{0, 240}, {1, 152}}},
                      BlockCase{"mmrd.bin", 6, {{0, 240}}}, BlockCase{"mmrgv.bin", 7, {{0, 240}}},
                      BlockCase{"lan4.cfg", 20, {{0, 16}}}, BlockCase{"mbtcp.cfg", 22, {{0, 3}}},
                      BlockCase{"uartm.cfg", 23, {{0, 6}}}, BlockCase{"uarts.cfg", 24, {{0, 5}}}),
    [](const ::testing::TestParamInfo<BlockCase>& p) { return std::to_string(p.param.number); });

struct WriteCase {
    int number;
    Bytes image;
    std::uint8_t status;
    bool takenOver;
};

class RtuWrites : public RtuPeer, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(RtuWrites, AnswerStatusAndReadBack) {
    start();
    const WriteCase& c = GetParam();
    const Bytes before = readBlock(c.number, 0, static_cast<int>(c.image.size()));
    ASSERT_TRUE(master->send(writeRequest(c.number, c.image)));
    Bytes answer;
    ASSERT_EQ(master->confirm(answer), 5) << modbus_strerror(errno); // libmodbus checked the CRC
    EXPECT_EQ(answer, (Bytes{kSlave, 0x44, c.status}));
    EXPECT_EQ(readBlock(c.number, 0, static_cast<int>(c.image.size())),
              c.takenOver ? c.image : before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RtuWrites,
    ::testing::Values(WriteCase{20, withChecksum({10, 0, 0, 9, 255, 0, 0, 0, 10, 0, 0, 1, 0, 0, 0}),
                                0, true},
                      WriteCase{22, withChecksum({1, 200}), 0, true},
                      WriteCase{23, withChecksum({7, 2, 0x10, 0x27, 15}), 0, true},
                      WriteCase{24, withChecksum({1, 8, 0, 1}), 0, true},
                      WriteCase{22, {1, 200, 0x38}, 1, false},
                      WriteCase{24, {1, 8, 0, 1, 0}, 1, false}));

struct ExceptionCase {
    const char* what;
    Bytes request;
    std::uint8_t function;
    std::uint8_t code;
};

class RtuExceptions : public RtuPeer, public ::testing::WithParamInterface<ExceptionCase> {};

TEST_P(RtuExceptions, AreAnsweredWithTheFunctionBitAndACode) {
    start();
    ASSERT_TRUE(master->send(GetParam().request));
    Bytes answer;
    ASSERT_EQ(master->confirm(answer), 5) << modbus_strerror(errno);
    EXPECT_EQ(answer, (Bytes{kSlave, GetParam().function, GetParam().code}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RtuExceptions,
    ::testing::Values(
        ExceptionCase{"unknown_function", {kSlave, 0x03, 0x00, 0x00, 0x00, 0x01}, 0x83, 1},
        ExceptionCase{"unknown_file", readRequest(1, 0, 16), 0xC3, 2},
        ExceptionCase{"write_only_file", readRequest(3, 0, 23), 0xC3, 2},
        ExceptionCase{"block_past_the_end", readRequest(2, 2, 240), 0xC3, 2},
        ExceptionCase{"length_zero", readRequest(20, 0, 0), 0xC3, 3},
        ExceptionCase{"length_241", readRequest(2, 0, 241), 0xC3, 3},
        ExceptionCase{"write_read_only", writeRequest(2, {1, 2, 253}), 0xC4, 2},
        ExceptionCase{"write_wrong_length", writeRequest(22, {1, 2, 3, 250}), 0xC4, 3},
        ExceptionCase{"unknown_item", identifyRequest(12), 0xC5, 2},
        ExceptionCase{"unknown_message", {kSlave, 0x45, 0x00, 0x02, 0x01, 0x02}, 0xC5, 3}),
    [](const ::testing::TestParamInfo<ExceptionCase>& p) { return std::string(p.param.what); });

TEST_F(RtuPeer, WrongCrcAndOtherAddressesAreIgnored) {
    start();
    Bytes bad = readRequest(22, 0, 3);
    tksim::appendCrc(bad);
    bad.back() ^= 0x01;
    ASSERT_EQ(write(master->fd(), bad.data(), bad.size()), static_cast<ssize_t>(bad.size()));
    EXPECT_TRUE(master->raw(300).empty());
    master->setSlave(246);
    Bytes other = readRequest(22, 0, 3);
    other[0] = 246;
    ASSERT_TRUE(master->send(other));
    EXPECT_TRUE(master->raw(300).empty());
    master->setSlave(kSlave);
    EXPECT_EQ(readBlock(22, 0, 3), (Bytes{0xFF, 0x05, 0xFC}));
}

TEST_F(RtuPeer, GarbageAndEndlessStreamsAreDroppedAndServingGoesOn) {
    start();
    const int fd = master->fd();
    std::uint32_t seed = 99;
    // 300 ms of bytes with no pause long enough to end a frame.
    const std::uint64_t end = simtest::monoMs() + 300;
    std::size_t written = 0;
    while (simtest::monoMs() < end) {
        std::uint8_t chunk[64];
        for (auto& b : chunk) {
            seed = seed * 1103515245u + 12345u;
            b = static_cast<std::uint8_t>(seed >> 24);
        }
        const ssize_t n = write(fd, chunk, sizeof chunk);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
        } else {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, 1);
        }
    }
    EXPECT_GT(written, 1000u);
    EXPECT_TRUE(master->raw(300).empty());
    // Valid requests glued together without silence are one overlong frame.
    Bytes glued;
    for (int i = 0; i < 40; ++i) {
        Bytes r = readRequest(22, 0, 3);
        tksim::appendCrc(r);
        glued.insert(glued.end(), r.begin(), r.end());
    }
    ASSERT_EQ(write(fd, glued.data(), glued.size()), static_cast<ssize_t>(glued.size()));
    EXPECT_TRUE(master->raw(300).empty());
    // Short bursts of noise between silences.
    for (int i = 0; i < 20; ++i) {
        const std::uint8_t noise[3] = {static_cast<std::uint8_t>(i), 0x43, 0xFE};
        ASSERT_EQ(write(fd, noise, sizeof noise), 3);
        EXPECT_TRUE(master->raw(15).empty());
    }
    EXPECT_EQ(readBlock(22, 0, 3), (Bytes{0xFF, 0x05, 0xFC}));
}

TEST_F(RtuPeer, InjectedFaults) {
    start();
    Bytes answer;
    tksim::Faults f;
    f.exceptionCode = 4;
    sim->setFaults(f);
    ASSERT_TRUE(master->send(readRequest(22, 0, 3)));
    ASSERT_EQ(master->confirm(answer), 5);
    EXPECT_EQ(answer, (Bytes{kSlave, 0xC3, 0x04}));

    f = {};
    f.corruptCrcEvery = 1;
    sim->setFaults(f);
    ASSERT_TRUE(master->send(writeRequest(22, withChecksum({3, 3}))));
    EXPECT_EQ(master->confirm(answer), -1);
    EXPECT_EQ(errno, EMBBADCRC);

    f = {};
    f.dropEvery = 1;
    sim->setFaults(f);
    ASSERT_TRUE(master->send(identifyRequest(0)));
    EXPECT_TRUE(master->raw(300).empty());

    f = {};
    f.delayMs = 250;
    sim->setFaults(f);
    const std::uint64_t t0 = simtest::monoMs();
    ASSERT_TRUE(master->send(identifyRequest(2)));
    EXPECT_EQ(master->raw(2000).size(), 14u);
    EXPECT_GE(simtest::monoMs() - t0, 240u);

    f = {};
    f.refuseWrites = true;
    sim->setFaults(f);
    ASSERT_TRUE(master->send(writeRequest(22, withChecksum({4, 4}))));
    ASSERT_EQ(master->confirm(answer), 5);
    EXPECT_EQ(answer, (Bytes{kSlave, 0x44, 0x01}));

    f = {};
    f.ignoreWrites = true;
    sim->setFaults(f);
    const Bytes before = readBlock(22, 0, 3);
    ASSERT_TRUE(master->send(writeRequest(22, withChecksum({5, 5}))));
    ASSERT_EQ(master->confirm(answer), 5);
    EXPECT_EQ(answer, (Bytes{kSlave, 0x44, 0x00}));
    EXPECT_EQ(readBlock(22, 0, 3), before);

    sim->setFaults({});
    sim->model().setIdentity({"TK-7713T", "0.09", "24070001"});
    ASSERT_TRUE(master->send(identifyRequest(2)));
    const Bytes version = master->raw();
    ASSERT_EQ(version.size(), 14u);
    EXPECT_EQ(std::string(version.begin() + 8, version.begin() + 12), "0.09");
}

TEST_F(RtuPeer, RestartSilencesTheSlaveForItsTime) {
    config.model.restartMs = 2000;
    start();
    Bytes restart{0x00, 0xFF, 0x01, 0x00, 0xFF};
    restart.resize(22, 0);
    restart = withChecksum(restart);
    ASSERT_TRUE(master->send(writeRequest(3, restart)));
    Bytes answer;
    ASSERT_EQ(master->confirm(answer), 5);
    EXPECT_EQ(answer, (Bytes{kSlave, 0x44, 0x00}));
    ASSERT_TRUE(master->send(identifyRequest(0)));
    EXPECT_TRUE(master->raw(300).empty());
    clock += 2000;
    const Bytes sys = [&] {
        Bytes s = readBlock(2, 0, 240);
        const Bytes s1 = readBlock(2, 1, 152);
        s.insert(s.end(), s1.begin(), s1.end());
        return s;
    }();
    ASSERT_EQ(sys.size(), 392u);
    EXPECT_EQ(sys[240] | sys[241] << 8 | sys[242] << 16 | sys[243] << 24, 2);
}

TEST_F(RtuPeer, LateAnswerIsLostWhenTheClientHasClosedThePort) {
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::string> lines;
    config.log = [&](const std::string& line) {
        std::lock_guard lock(m);
        lines.push_back(line);
        cv.notify_all();
    };
    config.faults.delayMs = 100;
    start();
    ASSERT_TRUE(master->send(identifyRequest(0)));
    master.reset(); // gives up before the answer comes
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(5), [&] {
            return std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
                return l.find("discarded") != std::string::npos;
            });
        }));
    }
    sim->setFaults({});
    Master next(sim->serialPath(), kSlave);
    ASSERT_TRUE(next.ok());
    EXPECT_TRUE(next.raw(150).empty()); // nothing left over from the last client
    ASSERT_TRUE(next.send(identifyRequest(1)));
    const Bytes a = next.raw();
    ASSERT_EQ(a.size(), 14u);
    EXPECT_EQ(a[6], 1);
    sim->stop(); // the log sink above dies with this scope
}

TEST_F(RtuPeer, ClearCommandResetsTheCounters) {
    config.model.masterLoad = 100;
    start();
    clock += 30000;
    const Bytes before = readBlock(6, 0, 16);
    ASSERT_GT(before[0] | before[1] << 8, 0);
    Bytes clear{0x01, 0x01};
    clear.resize(22, 0);
    ASSERT_TRUE(master->send(writeRequest(3, withChecksum(clear))));
    Bytes answer;
    ASSERT_EQ(master->confirm(answer), 5);
    EXPECT_EQ(answer, (Bytes{kSlave, 0x44, 0x00}));
    const Bytes after = readBlock(6, 0, 16);
    EXPECT_EQ(Bytes(after.begin(), after.begin() + 12), Bytes(12, 0));
}

TEST_F(RtuPeer, SymlinkPointsAtTheTerminalWhileRunning) {
    char tmpl[] = "/tmp/tksim-rtu-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string link = std::string(tmpl) + "/converter";
    config.rtu.linkPath = link;
    start();
    char target[PATH_MAX] = {};
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(target, static_cast<std::size_t>(n)), sim->serialPath());
    master.reset(); // libmodbus opens its port exclusively
    Master viaLink(link, kSlave);
    ASSERT_TRUE(viaLink.ok());
    ASSERT_TRUE(viaLink.send(identifyRequest(1)));
    EXPECT_EQ(viaLink.raw().size(), 14u);
    sim->stop();
    struct stat st {};
    EXPECT_NE(lstat(link.c_str(), &st), 0);
    rmdir(tmpl);
}

TEST_F(RtuPeer, ExistingFileAtTheLinkPathIsNotReplaced) {
    char tmpl[] = "/tmp/tksim-rtu-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string path = std::string(tmpl) + "/file";
    {
        std::FILE* f = std::fopen(path.c_str(), "w");
        std::fputs("keep", f);
        std::fclose(f);
    }
    config.rtu.linkPath = path;
    tksim::Simulator s(config);
    std::string error;
    EXPECT_FALSE(s.start(&error));
    EXPECT_NE(error.find("not a symbolic link"), std::string::npos) << error;
    struct stat st {};
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    unlink(path.c_str());
    rmdir(tmpl);
}

TEST_F(RtuPeer, OtherSlaveAddressAnswersOnlyToItself) {
    config.rtu.address = 1;
    start();
    ASSERT_TRUE(master->send(identifyRequest(0)));
    EXPECT_TRUE(master->raw(300).empty());
    master.reset(); // libmodbus opens its port exclusively
    Master one(sim->serialPath(), 1);
    ASSERT_TRUE(one.ok());
    ASSERT_TRUE(one.send({1, 0x45, 0x00, 0x08, 1, 0xC8, 0, 0, 0, 0, 0, 0}));
    const Bytes a = one.raw();
    ASSERT_EQ(a.size(), 14u);
    EXPECT_EQ(a[0], 1);
    EXPECT_EQ(a[4], 1);
    expectCrcByLibmodbus(a);
}

TEST_F(RtuPeer, PacedAnswerTakesItsTimeOnTheLine) {
    config.rtu.pacing = true;
    config.rtu.baudCode = 4;   // 9600 Bd
    config.rtu.parityCode = 1; // 11 bit times a byte
    start();
    const std::uint64_t t0 = simtest::monoMs();
    const Bytes block = readBlock(2, 0, 240);
    const std::uint64_t took = simtest::monoMs() - t0;
    EXPECT_EQ(block.size(), 240u);
    // 245 bytes * 11 bits / 9600 Bd = 280.7 ms
    EXPECT_GE(took, 275u);
}

TEST_F(RtuPeer, TurnaroundDelaysEveryAnswer) {
    config.rtu.turnaroundMs = 150;
    start();
    const std::uint64_t t0 = simtest::monoMs();
    ASSERT_TRUE(master->send(identifyRequest(0)));
    EXPECT_EQ(master->raw().size(), 14u);
    EXPECT_GE(simtest::monoMs() - t0, 145u);
}

TEST(RtuSerialDevice, MissingDeviceIsReported) {
    tksim::Config config;
    config.tftp.enabled = false;
    config.rtu.device = "/dev/tksim-no-such-device";
    tksim::Simulator s(config);
    std::string error;
    EXPECT_FALSE(s.start(&error));
    EXPECT_NE(error.find("/dev/tksim-no-such-device"), std::string::npos) << error;
    EXPECT_TRUE(s.serialPath().empty());
}

TEST(RtuSerialDevice, APseudoTerminalCanStandInForTheDevice) {
    // An outside pseudo-terminal pair: the simulator takes the slave side as
    // its "serial device", the test talks on the master side.
    const int m = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(m, 0);
    grantpt(m);
    unlockpt(m);
    char name[PATH_MAX] = {};
    ptsname_r(m, name, sizeof name);
    // Started again on the same terminal, with parity: the terminal drops
    // the parity bit, which must not count as a failed set-up.
    for (const int parity : {1, 1, 2, 2}) {
        SCOPED_TRACE(parity);
        tksim::Config config;
        config.tftp.enabled = false;
        config.rtu.device = name;
        config.rtu.parityCode = parity;
        tksim::Simulator s(config);
        std::string error;
        ASSERT_TRUE(s.start(&error)) << error;
        EXPECT_EQ(s.serialPath(), name);
        Bytes req = identifyRequest(1);
        tksim::appendCrc(req);
        ASSERT_EQ(write(m, req.data(), req.size()), static_cast<ssize_t>(req.size()));
        const Bytes a = readUntilSilence(m, 2000);
        ASSERT_EQ(a.size(), 14u);
        EXPECT_EQ(std::string(a.begin() + 8, a.begin() + 12), "713T");
        s.stop();
    }
    close(m);
}

} // namespace
