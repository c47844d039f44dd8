// The converter access object over its transports: the requests it sends,
// and the result contract (not initialised, failed transfer, success).
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/U_TK7713T.h"
#include "support/FakeClock.h"
#include "support/ScriptedSerialPort.h"
#include "support/TestTftpPeer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using support::FakeClock;
using support::ScriptedSerialPort;

Bytes hex(const std::string& s) {
    return tftptest::fromHex(s);
}

// Modbus CRC-16 computed here, independent of the link.
std::uint16_t crc16(const Bytes& b, std::size_t n) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= b[i];
        for (int k = 0; k < 8; ++k) {
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<std::uint16_t>(crc >> 1);
        }
    }
    return crc;
}

Bytes withCrc(Bytes b) {
    const std::uint16_t c = crc16(b, b.size());
    b.push_back(static_cast<std::uint8_t>(c & 0xFF));
    b.push_back(static_cast<std::uint8_t>(c >> 8));
    return b;
}

Bytes pattern(std::size_t n, unsigned seed) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) {
        b[i] = static_cast<std::uint8_t>(i * 31 + seed + (i >> 8));
    }
    return b;
}

// ---------------------------------------------------------------------------
// Operations as uniform cases. Each keeps a record that starts as a
// sentinel, so a test can tell whether the operation touched it.

struct OpResult {
    bool ok = false;
    std::int32_t status = -1;
    bool fieldsAsBefore = false; // every field but Status unchanged
    bool untouched = false;      // the whole record unchanged, Status included
};

template <class Record> OpResult runOp(bool (*op)(TTK7713T&, Record&), TTK7713T& tk, Record& rec) {
    Record before = rec;
    OpResult r;
    r.ok = op(tk, rec);
    r.status = rec.Status;
    r.untouched = rec == before;
    Record withoutStatus = rec;
    withoutStatus.Status = before.Status;
    r.fieldsAsBefore = withoutStatus == before;
    return r;
}

// A record with Status 77 and some fields set, to see whether it was touched.
template <class Record> Record sentinel();
#define TK_SENTINEL(Type, ...)                                                                     \
    template <> Type sentinel() {                                                                  \
        Type r;                                                                                    \
        r.Status = 77;                                                                             \
        __VA_ARGS__;                                                                               \
        return r;                                                                                  \
    }
TK_SENTINEL(TTK7713T_InfoTxt, r.Text = "earlier text")
TK_SENTINEL(TTK7713T_SysBin, r.TypFW = "earlier"; r.UptimeS = 1234; r.TeplotaUP = 21.5;
            r.NapetiPWR_CisloMereni = 99)
TK_SENTINEL(TTK7713T_MmrdBin, r.PocetZprav = 5)
TK_SENTINEL(TTK7713T_MmrgvBin, r.IndexZapisu = 3; r.PoleDat = {9, 8, 7})
TK_SENTINEL(TTK7713T_Lan4Cfg, r.IP4_Adresa = {10, 1, 2, 3}; r.IP4_Maska = {255, 255, 0, 0};
            r.IP4_Brana = {10, 1, 0, 1}; r.IP4_DHCP = 1)
TK_SENTINEL(TTK7713T_MbtcpCfg, r.UnitID = 255; r.Timeout = 5)
TK_SENTINEL(TTK7713T_UartsCfg, r.Adresa = 247; r.KodBaud = 4; r.KodParita = 1)
TK_SENTINEL(TTK7713T_UartmCfg, r.KodBaud = 4; r.KodParita = 1; r.Timeout = 330)
TK_SENTINEL(TTK7713T_CtrlBin, r = tk7713t::restartCommand(); r.Status = 77)
#undef TK_SENTINEL

struct OpCase {
    const char* name;
    tk7713t::FileId file;
    bool write;
    std::function<OpResult(TTK7713T&)> run;
    // The image a write sends, from the sentinel record.
    Bytes image;
};

template <class Record>
OpCase opCase(const char* name, tk7713t::FileId file, bool (*op)(TTK7713T&, Record&),
              bool write = false, Bytes image = {}) {
    return OpCase{name, file, write,
                  [op](TTK7713T& tk) {
                      Record rec = sentinel<Record>();
                      return runOp(op, tk, rec);
                  },
                  std::move(image)};
}

template <std::size_t N> Bytes toBytes(const std::array<std::uint8_t, N>& a) {
    return Bytes(a.begin(), a.end());
}

std::vector<OpCase> allOps() {
    using tk7713t::FileId;
    return {
        opCase("PrectiInfo", FileId::Info, &TK7713T_PrectiInfo),
        opCase("PrectiSys", FileId::Sys, &TK7713T_PrectiSys),
        opCase("PrectiMmrd", FileId::Mmrd, &TK7713T_PrectiMmrd),
        opCase("PrectiMmrgv", FileId::Mmrgv, &TK7713T_PrectiMmrgv),
        opCase("PrectiLan4", FileId::Lan4, &TK7713T_PrectiLan4),
        opCase("PrectiMbtcp", FileId::Mbtcp, &TK7713T_PrectiMbtcp),
        opCase("PrectiUarts", FileId::Uarts, &TK7713T_PrectiUarts),
        opCase("PrectiUartm", FileId::Uartm, &TK7713T_PrectiUartm),
        opCase("ZapisCtrl", FileId::Ctrl, &TK7713T_ZapisCtrl, true,
               toBytes(tk7713t::encodeCtrl(sentinel<TTK7713T_CtrlBin>()))),
        opCase("ZapisLan4", FileId::Lan4, &TK7713T_ZapisLan4, true,
               toBytes(tk7713t::encodeLan4(sentinel<TTK7713T_Lan4Cfg>()))),
        opCase("ZapisMbtcp", FileId::Mbtcp, &TK7713T_ZapisMbtcp, true,
               toBytes(tk7713t::encodeMbtcp(sentinel<TTK7713T_MbtcpCfg>()))),
        opCase("ZapisUarts", FileId::Uarts, &TK7713T_ZapisUarts, true,
               toBytes(tk7713t::encodeUarts(sentinel<TTK7713T_UartsCfg>()))),
        opCase("ZapisUartm", FileId::Uartm, &TK7713T_ZapisUartm, true,
               toBytes(tk7713t::encodeUartm(sentinel<TTK7713T_UartmCfg>()))),
    };
}

// ---------------------------------------------------------------------------
// A converter behind the scripted serial port. Files are served in 240-byte
// blocks: block b starts at byte 240 * b.

struct FakeConverter {
    std::map<std::uint8_t, Bytes> files;
    std::set<std::pair<std::uint8_t, std::uint16_t>> silentBlocks;    // no answer at all
    std::set<std::pair<std::uint8_t, std::uint16_t>> exceptionBlocks; // exception answer
    std::uint8_t writeStatus = 0;
    std::map<std::uint8_t, Bytes> written;

    ScriptedSerialPort::Answer answer(const Bytes& req) {
        if (req.size() < 9) {
            return {};
        }
        const std::uint8_t addr = req[0];
        const std::uint8_t fn = req[1];
        const std::uint8_t number = req[3];
        const auto block = static_cast<std::uint16_t>((req[4] << 8) | req[5]);
        const std::uint8_t n = req[6];
        const auto key = std::make_pair(number, block);
        if (silentBlocks.count(key) != 0) {
            return {};
        }
        if (exceptionBlocks.count(key) != 0) {
            return {{2, withCrc({addr, static_cast<std::uint8_t>(fn | 0x80), 0x02})}};
        }
        if (fn == 0x43) {
            Bytes a{addr, fn, 0xFE};
            const Bytes& f = files[number];
            for (std::size_t i = 0; i < n; ++i) {
                const std::size_t at = 240u * block + i;
                a.push_back(at < f.size() ? f[at] : 0);
            }
            return {{3, withCrc(a)}};
        }
        if (fn == 0x44) {
            written[number] = Bytes(req.begin() + 7, req.end() - 2);
            return {{2, withCrc({addr, fn, writeStatus})}};
        }
        return {};
    }
};

class SerialLink : public ::testing::Test {
  protected:
    void SetUp() override {
        port_.setResponder([this](const Bytes& req) { return converter_.answer(req); });
    }
    void TearDown() override { MBRTU_Zavri(tk_.MBRTU); }

    void connect(std::int32_t rozhrani, std::uint8_t address) {
        ASSERT_EQ(MBRTU_Init(rozhrani == ROZHRANI_COM ? 3 : 7, 4, 1, 330, tk_.MBRTU), 0);
        tk_.MBRTU.CFG.Adresa = address;
        tk_.Rozhrani = rozhrani;
        tk_.Init = true;
    }

    // The writes without their CRC, after checking the CRC of each.
    std::vector<Bytes> requests() const {
        std::vector<Bytes> out;
        for (const Bytes& w : port_.writes()) {
            EXPECT_GE(w.size(), 3u);
            if (w.size() < 3) {
                continue;
            }
            const std::uint16_t c = crc16(w, w.size() - 2);
            EXPECT_EQ(w[w.size() - 2], c & 0xFF);
            EXPECT_EQ(w[w.size() - 1], c >> 8);
            out.emplace_back(w.begin(), w.end() - 2);
        }
        return out;
    }

    FakeClock clock_;
    ScriptedSerialPort port_{clock_};
    FakeConverter converter_;
    TTK7713T tk_;
};

// Requests each operation sends: function, FE, file number, block (BE), length[, data].
const std::map<std::string, std::vector<std::string>> kSerialRequests = {
    {"PrectiInfo", {"43 FE 00 0000 1F"}},
    {"PrectiSys", {"43 FE 02 0000 F0", "43 FE 02 0001 98"}},
    {"PrectiMmrd", {"43 FE 06 0000 F0"}},
    {"PrectiMmrgv", {"43 FE 07 0000 F0"}},
    {"PrectiLan4", {"43 FE 14 0000 10"}},
    {"PrectiMbtcp", {"43 FE 16 0000 03"}},
    {"PrectiUartm", {"43 FE 17 0000 06"}},
    {"PrectiUarts", {"43 FE 18 0000 05"}},
    {"ZapisCtrl", {"44 FE 03 0000 17 00 FF0100FF 0000000000000000000000000000000000 01"}},
    {"ZapisLan4", {"44 FE 14 0000 10 0A010203 FFFF0000 0A010001 01 0000 E5"}},
    {"ZapisMbtcp", {"44 FE 16 0000 03 FF 05 FC"}},
    {"ZapisUartm", {"44 FE 17 0000 06 04 01 4A01 00 B0"}},
    {"ZapisUarts", {"44 FE 18 0000 05 F7 04 01 00 04"}},
};

TEST_F(SerialLink, EachOperationSendsExactlyItsCatalogueBlocks) {
    for (const auto& [rozhrani, address] : std::vector<std::pair<std::int32_t, std::uint8_t>>{
             {ROZHRANI_COM, 0xF7}, {ROZHRANI_USBCOM, 0x05}}) {
        SCOPED_TRACE(rozhrani);
        MBRTU_Zavri(tk_.MBRTU);
        connect(rozhrani, address);
        for (const OpCase& c : allOps()) {
            SCOPED_TRACE(c.name);
            const std::size_t before = port_.writes().size();
            const OpResult r = c.run(tk_);
            EXPECT_TRUE(r.ok);
            EXPECT_EQ(r.status, 0);
            const std::vector<Bytes> all = requests();
            const std::vector<Bytes> sent(all.begin() + static_cast<std::ptrdiff_t>(before),
                                          all.end());
            const auto& expected = kSerialRequests.at(c.name);
            ASSERT_EQ(sent.size(), expected.size());
            for (std::size_t i = 0; i < sent.size(); ++i) {
                Bytes frame = hex(expected[i]);
                frame.insert(frame.begin(), address);
                EXPECT_EQ(tftptest::toHex(sent[i]), tftptest::toHex(frame)) << "request " << i;
            }
        }
    }
}

TEST_F(SerialLink, SysBinIsTheTwoBlocksConcatenated) {
    connect(ROZHRANI_COM, 0xF7);
    const Bytes sys = pattern(392, 5);
    converter_.files[2] = sys;
    TTK7713T_SysBin expected;
    ASSERT_TRUE(tk7713t::decodeSys(sys.data(), sys.size(), expected));
    TTK7713T_SysBin got = sentinel<TTK7713T_SysBin>();
    ASSERT_TRUE(TK7713T_PrectiSys(tk_, got));
    EXPECT_EQ(got.Status, 0);
    got.Status = expected.Status;
    EXPECT_EQ(got, expected);
}

TEST_F(SerialLink, InfoOverSerialIsAlways31Characters) {
    connect(ROZHRANI_COM, 0xF7);
    converter_.files[0] = Bytes{'T', 'K', '-', '7', '7', '1', '3', 'T'}; // shorter than the block
    TTK7713T_InfoTxt info = sentinel<TTK7713T_InfoTxt>();
    ASSERT_TRUE(TK7713T_PrectiInfo(tk_, info));
    EXPECT_EQ(info.Text, std::string("TK-7713T") + std::string(23, '\0'));
}

struct SysFailure {
    const char* name;
    bool silent; // no answer rather than an exception answer
    std::uint16_t block;
    std::size_t requests;
};

TEST_F(SerialLink, SysBinStopsAtTheFirstFailedBlockAndKeepsTheRecord) {
    const SysFailure cases[] = {
        {"block 0 silent", true, 0, 1},
        {"block 0 exception", false, 0, 1},
        {"block 1 silent", true, 1, 2},
        {"block 1 exception", false, 1, 2},
    };
    connect(ROZHRANI_COM, 0xF7);
    converter_.files[2] = pattern(392, 9);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        converter_.silentBlocks.clear();
        converter_.exceptionBlocks.clear();
        (c.silent ? converter_.silentBlocks : converter_.exceptionBlocks).insert({2, c.block});
        const std::size_t before = port_.writes().size();
        TTK7713T_SysBin rec = sentinel<TTK7713T_SysBin>();
        const OpResult r = runOp(&TK7713T_PrectiSys, tk_, rec);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.fieldsAsBefore) << "half-decoded record";
        EXPECT_EQ(port_.writes().size() - before, c.requests);
        clock_.advance(100); // let a late answer pass before the next case
    }
}

TEST_F(SerialLink, EveryOperationFailsWithStatus1AndKeepsItsFields) {
    connect(ROZHRANI_COM, 0xF7);
    for (const OpCase& c : allOps()) {
        SCOPED_TRACE(c.name);
        converter_.exceptionBlocks = {{tk7713t::file(c.file).number, 0}};
        const OpResult r = c.run(tk_);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.fieldsAsBefore);
    }
}

TEST_F(SerialLink, RefusedWriteIsAFailure) {
    connect(ROZHRANI_COM, 0xF7);
    converter_.writeStatus = 1;
    TTK7713T_MbtcpCfg m = sentinel<TTK7713T_MbtcpCfg>();
    EXPECT_FALSE(TK7713T_ZapisMbtcp(tk_, m));
    EXPECT_EQ(m.Status, 1);
    std::int32_t status = -5;
    EXPECT_FALSE(TK7713T_Restart(tk_, status));
    EXPECT_EQ(status, 1);
}

TEST_F(SerialLink, ASuccessAfterAFailureSetsStatusBackTo0) {
    connect(ROZHRANI_COM, 0xF7);
    converter_.files[24] = hex("0A 05 02 01 00");
    converter_.silentBlocks = {{24, 0}};
    TTK7713T_UartsCfg r = sentinel<TTK7713T_UartsCfg>();
    EXPECT_FALSE(TK7713T_PrectiUarts(tk_, r));
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Adresa, 247);
    converter_.silentBlocks.clear();
    clock_.advance(100);
    EXPECT_TRUE(TK7713T_PrectiUarts(tk_, r));
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Adresa, 10);
    EXPECT_EQ(r.Repeater, 1);
}

TEST_F(SerialLink, ClosedPortFailsWithoutTraffic) {
    connect(ROZHRANI_COM, 0xF7);
    MBRTU_Zavri(tk_.MBRTU);
    for (const OpCase& c : allOps()) {
        SCOPED_TRACE(c.name);
        const OpResult r = c.run(tk_);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.fieldsAsBefore);
    }
    EXPECT_TRUE(port_.writes().empty());
}

TEST_F(SerialLink, NotInitialisedTouchesNothingAndSendsNothing) {
    for (std::int32_t rozhrani : {ROZHRANI_LAN, ROZHRANI_COM, ROZHRANI_USBCOM}) {
        SCOPED_TRACE(rozhrani);
        MBRTU_Zavri(tk_.MBRTU);
        connect(ROZHRANI_COM, 0xF7);
        tk_.Rozhrani = rozhrani;
        tk_.Init = false;
        for (const OpCase& c : allOps()) {
            SCOPED_TRACE(c.name);
            const OpResult r = c.run(tk_);
            EXPECT_FALSE(r.ok);
            EXPECT_TRUE(r.untouched);
        }
        for (auto* command : {&TK7713T_Restart, &TK7713T_VymazStatistiku}) {
            std::int32_t status = 55;
            EXPECT_FALSE(command(tk_, status));
            EXPECT_EQ(status, 55);
        }
    }
    EXPECT_TRUE(port_.writes().empty());
}

TEST_F(SerialLink, InterfaceCodeOutOfRangeFailsWithoutTraffic) {
    connect(ROZHRANI_COM, 0xF7);
    for (std::int32_t rozhrani : {3, -1}) {
        tk_.Rozhrani = rozhrani;
        for (const OpCase& c : allOps()) {
            SCOPED_TRACE(c.name);
            const OpResult r = c.run(tk_);
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(r.status, 1);
            EXPECT_TRUE(r.fieldsAsBefore);
        }
    }
    EXPECT_TRUE(port_.writes().empty());
}

TEST_F(SerialLink, CommandsReportTheirStatus) {
    connect(ROZHRANI_USBCOM, 0x20);
    struct Case {
        const char* name;
        bool (*command)(TTK7713T&, std::int32_t&);
        const char* frame;
    };
    const Case cases[] = {
        {"restart", &TK7713T_Restart,
         "20 44 FE 03 0000 17 00 FF0100FF 0000000000000000000000000000000000 01"},
        {"clear statistics", &TK7713T_VymazStatistiku,
         "20 44 FE 03 0000 17 01 01 0000000000000000000000000000000000000000 FE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = port_.writes().size();
        std::int32_t status = 9;
        EXPECT_TRUE(c.command(tk_, status));
        EXPECT_EQ(status, 0);
        const auto sent = requests();
        ASSERT_EQ(sent.size(), before + 1);
        EXPECT_EQ(tftptest::toHex(sent.back()), tftptest::toHex(hex(c.frame)));
    }
}

TEST_F(SerialLink, GenericTransfersRespectDirectionAndBlockLimit) {
    connect(ROZHRANI_COM, 0xF7);
    std::vector<std::uint8_t> image{1, 2, 3};
    EXPECT_EQ(tk7713t::readImage(tk_, tk7713t::file(tk7713t::FileId::Ctrl), image),
              tk7713t::Transfer::Failed);
    EXPECT_EQ(image, (Bytes{1, 2, 3}));
    const Bytes sys(392, 0);
    EXPECT_EQ(tk7713t::writeImage(tk_, tk7713t::file(tk7713t::FileId::Sys), sys.data(), 5),
              tk7713t::Transfer::Failed);
    const Bytes big(241, 0);
    EXPECT_EQ(
        tk7713t::writeImage(tk_, tk7713t::file(tk7713t::FileId::Lan4), big.data(), big.size()),
        tk7713t::Transfer::Failed);
    EXPECT_TRUE(port_.writes().empty());

    converter_.files[7] = pattern(240, 3);
    ASSERT_EQ(tk7713t::readImage(tk_, tk7713t::file(tk7713t::FileId::Mmrgv), image),
              tk7713t::Transfer::Done);
    EXPECT_EQ(image, pattern(240, 3));
}

TEST(TK7713TReset, InitialState) {
    Konvertor.Init = true;
    Konvertor.Rozhrani = ROZHRANI_LAN;
    Konvertor.MBRTU.ID.HNDL = 0;
    TK7713T_Reset();
    EXPECT_FALSE(Konvertor.Init);
    EXPECT_EQ(Konvertor.Rozhrani, ROZHRANI_COM);
    EXPECT_EQ(Konvertor.TFTP.ID.IdTrivialFTP1, nullptr);
    EXPECT_EQ(Konvertor.MBRTU.ID.HNDL, 0u);
    TTK7713T_MbtcpCfg m = sentinel<TTK7713T_MbtcpCfg>();
    EXPECT_FALSE(TK7713T_PrectiMbtcp(Konvertor, m));
    EXPECT_EQ(m, sentinel<TTK7713T_MbtcpCfg>());
}

// ---------------------------------------------------------------------------
// Over the LAN with a test TFTP server on loopback.

std::string requestedName(const Bytes& request) {
    std::string name;
    for (std::size_t i = 2; i < request.size() && request[i] != 0; ++i) {
        name.push_back(static_cast<char>(request[i]));
    }
    return name;
}

class LanLink : public ::testing::Test {
  protected:
    void connect() {
        ASSERT_TRUE(peer_.ready());
        TFTP_Init(tk_.TFTP, peer_.address(), 0, 1000);
        tk_.Rozhrani = ROZHRANI_LAN;
        tk_.Init = true;
    }

    tftptest::TestTftpPeer peer_;
    TTK7713T tk_;
};

TEST(TK7713TLan, EachOperationRequestsItsFileByName) {
    const std::map<std::string, std::string> names = {
        {"PrectiInfo", "info.txt"},   {"PrectiSys", "sys.bin"},     {"PrectiMmrd", "mmrd.bin"},
        {"PrectiMmrgv", "mmrgv.bin"}, {"PrectiLan4", "lan4.cfg"},   {"PrectiMbtcp", "mbtcp.cfg"},
        {"PrectiUarts", "uarts.cfg"}, {"PrectiUartm", "uartm.cfg"}, {"ZapisCtrl", "ctrl.bin"},
        {"ZapisLan4", "lan4.cfg"},    {"ZapisMbtcp", "mbtcp.cfg"},  {"ZapisUarts", "uarts.cfg"},
        {"ZapisUartm", "uartm.cfg"},
    };
    for (const OpCase& c : allOps()) {
        SCOPED_TRACE(c.name);
        tftptest::TestTftpPeer peer;
        ASSERT_TRUE(peer.ready());
        if (c.write) {
            peer.serveWrite(0);
        } else {
            peer.serveRead(pattern(400, 1), 0);
        }
        TTK7713T tk;
        TFTP_Init(tk.TFTP, peer.address(), 0, 1000);
        tk.Rozhrani = ROZHRANI_LAN;
        tk.Init = true;
        peer.start();
        const OpResult r = c.run(tk);
        ASSERT_TRUE(peer.finish()) << peer.failure();
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.status, 0);
        const auto requests = peer.requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0][1], c.write ? 2 : 1);
        EXPECT_EQ(requestedName(requests[0]), names.at(c.name));
        if (c.write) {
            EXPECT_EQ(peer.written(), c.image);
            EXPECT_EQ(requests[0],
                      tftptest::requestPacket(
                          2, names.at(c.name), "octet",
                          {{"blksize", "1500"}, {"tsize", std::to_string(c.image.size())}}));
        }
    }
}

TEST_F(LanLink, InfoIsTheWholeFile) {
    connect();
    Bytes text = pattern(3000, 4);
    text[10] = 0;
    peer_.serveRead(text, 1500);
    peer_.start();
    TTK7713T_InfoTxt info = sentinel<TTK7713T_InfoTxt>();
    ASSERT_TRUE(TK7713T_PrectiInfo(tk_, info));
    ASSERT_TRUE(peer_.finish()) << peer_.failure();
    EXPECT_EQ(info.Status, 0);
    EXPECT_EQ(info.Text, std::string(text.begin(), text.end()));
}

TEST_F(LanLink, EmptyInfoIsAnEmptyText) {
    connect();
    peer_.serveRead({}, 0);
    peer_.start();
    TTK7713T_InfoTxt info = sentinel<TTK7713T_InfoTxt>();
    ASSERT_TRUE(TK7713T_PrectiInfo(tk_, info));
    ASSERT_TRUE(peer_.finish()) << peer_.failure();
    EXPECT_EQ(info.Status, 0);
    EXPECT_EQ(info.Text, "");
}

TEST(TK7713TLan, ShortFileFailsAndKeepsTheRecord) {
    struct Case {
        const char* name;
        std::size_t bytes;
        std::function<OpResult(TTK7713T&)> run;
    };
    const Case cases[] = {
        {"sys.bin 391", 391,
         [](TTK7713T& tk) {
             auto r = sentinel<TTK7713T_SysBin>();
             return runOp(&TK7713T_PrectiSys, tk, r);
         }},
        {"lan4.cfg 12", 12,
         [](TTK7713T& tk) {
             auto r = sentinel<TTK7713T_Lan4Cfg>();
             return runOp(&TK7713T_PrectiLan4, tk, r);
         }},
        {"mbtcp.cfg empty", 0,
         [](TTK7713T& tk) {
             auto r = sentinel<TTK7713T_MbtcpCfg>();
             return runOp(&TK7713T_PrectiMbtcp, tk, r);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tftptest::TestTftpPeer peer;
        ASSERT_TRUE(peer.ready());
        peer.serveRead(pattern(c.bytes, 2), 0);
        TTK7713T tk;
        TFTP_Init(tk.TFTP, peer.address(), 0, 1000);
        tk.Rozhrani = ROZHRANI_LAN;
        tk.Init = true;
        peer.start();
        const OpResult r = c.run(tk);
        ASSERT_TRUE(peer.finish()) << peer.failure();
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.fieldsAsBefore);
    }
}

TEST_F(LanLink, ServerErrorIsStatus1AndKeepsTheRecord) {
    connect();
    peer_.receiveRequest().send(tftptest::errorPacket(1, "File not found"));
    peer_.start();
    TTK7713T_Lan4Cfg rec = sentinel<TTK7713T_Lan4Cfg>();
    const OpResult r = runOp(&TK7713T_PrectiLan4, tk_, rec);
    ASSERT_TRUE(peer_.finish()) << peer_.failure();
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.fieldsAsBefore);
}

TEST_F(LanLink, RefusedWriteIsStatus1) {
    connect();
    peer_.receiveRequest().send(tftptest::errorPacket(2, "Access violation"));
    peer_.start();
    std::int32_t status = 0;
    EXPECT_FALSE(TK7713T_VymazStatistiku(tk_, status));
    ASSERT_TRUE(peer_.finish()) << peer_.failure();
    EXPECT_EQ(status, 1);
}

TEST_F(LanLink, NoClientFailsWithoutTraffic) {
    ASSERT_TRUE(peer_.ready());
    tk_.Rozhrani = ROZHRANI_LAN;
    tk_.Init = true; // but TFTP_Init never ran
    for (const OpCase& c : allOps()) {
        SCOPED_TRACE(c.name);
        const OpResult r = c.run(tk_);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.fieldsAsBefore);
    }
    EXPECT_EQ(peer_.drainPending(), 0u);
}

TEST_F(LanLink, OversizedImageIsRefusedRatherThanCut) {
    connect();
    const Bytes big(tk7713t::kImageCapacity + 1, 0x41);
    EXPECT_EQ(
        tk7713t::writeImage(tk_, tk7713t::file(tk7713t::FileId::Lan4), big.data(), big.size()),
        tk7713t::Transfer::Failed);
    EXPECT_EQ(peer_.drainPending(), 0u);
}

} // namespace
