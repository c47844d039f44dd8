// Byte layouts of the converter files, without any transport.
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/U_TK7713T.h"
#include "link/U_TK7713T_Pole.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace tk7713t;

Bytes hex(const std::string& s) {
    Bytes out;
    std::size_t i = 0;
    while (i < s.size()) {
        if (s[i] == ' ') {
            ++i;
            continue;
        }
        out.push_back(static_cast<std::uint8_t>(std::stoul(s.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return out;
}

template <std::size_t N> Bytes toBytes(const std::array<std::uint8_t, N>& a) {
    return Bytes(a.begin(), a.end());
}

unsigned sum(const Bytes& b) {
    return std::accumulate(b.begin(), b.end(), 0u) % 256u;
}

// ---------------------------------------------------------------------------
// Encoded images

struct ImageCase {
    const char* name;
    Bytes image;
    std::string expected;
};

TTK7713T_Lan4Cfg defaultLan4() {
    TTK7713T_Lan4Cfg r;
    r.IP4_Adresa = {192, 168, 0, 99};
    r.IP4_Maska = {255, 255, 255, 0};
    r.IP4_Brana = {192, 168, 0, 200};
    r.IP4_DHCP = 0;
    return r;
}

TEST(TK7713TEncode, ImagesAreExactAndSumToZero) {
    TTK7713T_MbtcpCfg mbtcp;
    mbtcp.UnitID = 255;
    mbtcp.Timeout = 5;
    TTK7713T_UartsCfg uarts;
    uarts.Adresa = 247;
    uarts.KodBaud = 4;
    uarts.KodParita = 1;
    uarts.Repeater = 0;
    TTK7713T_UartmCfg uartm;
    uartm.KodBaud = 4;
    uartm.KodParita = 1;
    uartm.Timeout = 330;
    uartm.Opakovani = 0;
    // Status must never leak into an image.
    mbtcp.Status = 1;
    uarts.Status = 1;

    const std::vector<ImageCase> cases = {
        {"lan4 default", toBytes(encodeLan4(defaultLan4())),
         "C0A80063 FFFFFF00 C0A800C8 00 0000 08"},
        {"mbtcp 255/5", toBytes(encodeMbtcp(mbtcp)), "FF 05 FC"},
        {"uarts 247/4/1/0", toBytes(encodeUarts(uarts)), "F7 04 01 00 04"},
        {"uartm 4/1/330/0", toBytes(encodeUartm(uartm)), "04 01 4A01 00 B0"},
        {"restart", toBytes(encodeCtrl(restartCommand())),
         "00 FF0100FF 0000000000000000000000000000000000 01"},
        {"clear statistics", toBytes(encodeCtrl(clearStatisticsCommand())),
         "01 01 0000000000000000000000000000000000000000 FE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.image, hex(c.expected));
        EXPECT_EQ(sum(c.image), 0u);
    }
}

// ---------------------------------------------------------------------------
// Round trips of the written files

template <class Record, std::size_t N>
void expectRoundTrip(const Record& x, std::array<std::uint8_t, N> (*encode)(const Record&),
                     bool (*decode)(const std::uint8_t*, std::size_t, Record&)) {
    const auto img = encode(x);
    Record y;
    ASSERT_TRUE(decode(img.data(), img.size(), y));
    EXPECT_EQ(y, x);
}

TEST(TK7713TRoundTrip, EveryWrittenRecord) {
    for (int v : {0, 1, 127, 128, 254, 255}) {
        SCOPED_TRACE(v);
        const auto b = static_cast<std::uint8_t>(v);
        const auto nb = static_cast<std::uint8_t>(255 - v);
        const auto x = static_cast<std::uint8_t>(v ^ 0x5A);
        expectRoundTrip(TTK7713T_Lan4Cfg{0, {b, nb, x, 1}, {nb, b, 0, x}, {x, 2, b, nb}, b},
                        &encodeLan4, &decodeLan4);
        expectRoundTrip(TTK7713T_MbtcpCfg{0, b, nb}, &encodeMbtcp, &decodeMbtcp);
        expectRoundTrip(TTK7713T_UartsCfg{0, b, nb, x, static_cast<std::uint8_t>(v / 2)},
                        &encodeUarts, &decodeUarts);
        // Both bytes of the timeout differ, so swapped bytes would show.
        expectRoundTrip(TTK7713T_UartmCfg{0, b, nb, static_cast<std::uint16_t>(v << 8 | x), x},
                        &encodeUartm, &decodeUartm);
        TTK7713T_CtrlBin c;
        c.Prikaz = b;
        for (std::size_t i = 0; i < c.Parametry.size(); ++i) {
            c.Parametry[i] = static_cast<std::uint8_t>(v + 11 * i);
        }
        expectRoundTrip(c, &encodeCtrl, &decodeCtrl);
    }
    expectRoundTrip(defaultLan4(), &encodeLan4, &decodeLan4);
}

// ---------------------------------------------------------------------------
// Decoding ignores checksum and reserved bytes

TEST(TK7713TDecode, ChecksumAndReservedBytesAreNotExamined) {
    TTK7713T_UartsCfg good;
    TTK7713T_UartsCfg bad;
    const Bytes u1 = hex("F7 04 01 00 04");
    const Bytes u2 = hex("F7 04 01 00 99");
    ASSERT_TRUE(decodeUarts(u1.data(), u1.size(), good));
    ASSERT_TRUE(decodeUarts(u2.data(), u2.size(), bad));
    EXPECT_EQ(good, bad);
    EXPECT_EQ(bad.Adresa, 247);

    TTK7713T_Lan4Cfg zeros;
    TTK7713T_Lan4Cfg junk;
    const Bytes l1 = hex("C0A80063 FFFFFF00 C0A800C8 00 0000 08");
    const Bytes l2 = hex("C0A80063 FFFFFF00 C0A800C8 00 ABCD 77");
    ASSERT_TRUE(decodeLan4(l1.data(), l1.size(), zeros));
    ASSERT_TRUE(decodeLan4(l2.data(), l2.size(), junk));
    EXPECT_EQ(zeros, junk);
    EXPECT_EQ(zeros, defaultLan4());
}

// Every decoder refuses an image one byte shorter than it reads and then
// leaves every field of the record as it was.
template <class Record>
void expectShortImageRefused(FileId id, bool (*decode)(const std::uint8_t*, std::size_t, Record&),
                             const Record& sentinel) {
    const std::size_t needs = file(id).decodeNeeds;
    SCOPED_TRACE(std::string(file(id).name));
    ASSERT_GT(needs, 0u);
    const Bytes img(needs, 0xA5);
    Record r = sentinel;
    EXPECT_FALSE(decode(img.data(), needs - 1, r));
    EXPECT_EQ(r, sentinel);
    EXPECT_FALSE(decode(img.data(), 0, r));
    EXPECT_EQ(r, sentinel);
    EXPECT_TRUE(decode(img.data(), needs, r));
    EXPECT_NE(r, sentinel);
}

TEST(TK7713TDecode, ShortImagesAreRefusedWithoutTouchingTheRecord) {
    TTK7713T_SysBin sys;
    sys.Status = 7;
    sys.TypFW = "old";
    sys.UptimeS = 42;
    sys.NapetiPWR_CisloMereni = 9;
    expectShortImageRefused(FileId::Sys, &decodeSys, sys);

    TTK7713T_MmrdBin mmrd;
    mmrd.PocetZprav = 5;
    mmrd.Rezerva = 3;
    expectShortImageRefused(FileId::Mmrd, &decodeMmrd, mmrd);

    TTK7713T_MmrgvBin mmrgv;
    mmrgv.IndexZapisu = 17;
    mmrgv.PoleDat.fill(9);
    expectShortImageRefused(FileId::Mmrgv, &decodeMmrgv, mmrgv);

    TTK7713T_Lan4Cfg lan4 = defaultLan4();
    expectShortImageRefused(FileId::Lan4, &decodeLan4, lan4);

    TTK7713T_MbtcpCfg mbtcp;
    mbtcp.UnitID = 1;
    mbtcp.Timeout = 2;
    expectShortImageRefused(FileId::Mbtcp, &decodeMbtcp, mbtcp);

    TTK7713T_UartsCfg uarts;
    uarts.Adresa = 1;
    expectShortImageRefused(FileId::Uarts, &decodeUarts, uarts);

    TTK7713T_UartmCfg uartm;
    uartm.Timeout = 1;
    expectShortImageRefused(FileId::Uartm, &decodeUartm, uartm);

    TTK7713T_CtrlBin ctrl;
    ctrl.Prikaz = 9;
    expectShortImageRefused(FileId::Ctrl, &decodeCtrl, ctrl);
}

// ---------------------------------------------------------------------------
// sys.bin

constexpr std::size_t kSysLen = 392;

std::uint32_t le32At(const Bytes& b, std::size_t o) {
    return b[o] | (b[o + 1] << 8) | (b[o + 2] << 16) | (static_cast<std::uint32_t>(b[o + 3]) << 24);
}

template <std::size_t N> std::array<std::uint8_t, N> bytesAt(const Bytes& b, std::size_t o) {
    std::array<std::uint8_t, N> a{};
    std::memcpy(a.data(), b.data() + o, N);
    return a;
}

std::string textAt(const Bytes& b, std::size_t o, std::size_t n) {
    return std::string(reinterpret_cast<const char*>(b.data()) + o, n);
}

// Singles go through TK7713T_Real4 (its own test below): a NaN reads as 0.
double singleAt(const Bytes& b, std::size_t o) {
    return TK7713T_Real4(b[o], b[o + 1], b[o + 2], b[o + 3]);
}

// Checks each field against the bytes at its documented offset.
void expectSysFields(const Bytes& b, const TTK7713T_SysBin& r) {
    EXPECT_EQ(r.TypFW, textAt(b, 0, 24));
    EXPECT_EQ(r.TypLoader, textAt(b, 24, 15) + textAt(b, 42, 6));
    EXPECT_EQ(r.VyrCislo, textAt(b, 48, 8));
    EXPECT_EQ(r.AktualHBIN.Delka, le32At(b, 56));
    EXPECT_EQ(r.AktualHBIN.Hash, (bytesAt<16>(b, 60)));
    TRTC stamp{0, 0, b[76], b[77], b[78], b[79], b[80], b[81]};
    EXPECT_EQ(r.AktualHBIN.DatumCas, stamp);
    EXPECT_EQ(r.AktualHBIN.NazevFW, textAt(b, 82, 38));
    EXPECT_EQ(r.MAC, (bytesAt<6>(b, 120)));
    EXPECT_EQ(r.IP4_Adresa, (bytesAt<4>(b, 128)));
    EXPECT_EQ(r.IP4_Maska, (bytesAt<4>(b, 132)));
    EXPECT_EQ(r.IP4_Brana, (bytesAt<4>(b, 136)));
    EXPECT_EQ(r.IP4_DHCP, le32At(b, 140));
    EXPECT_EQ(r.IP6_LLA, (bytesAt<16>(b, 144)));
    EXPECT_EQ(r.IP6_GUA, (bytesAt<16>(b, 160)));
    EXPECT_EQ(r.IP6_Maska, (bytesAt<16>(b, 176)));
    EXPECT_EQ(r.IP6_Brana, (bytesAt<16>(b, 192)));
    EXPECT_EQ(r.IP6_DHCP, le32At(b, 208));
    EXPECT_EQ(r.UptimeMs, le32At(b, 228));
    EXPECT_EQ(r.UptimeMsH, le32At(b, 232));
    EXPECT_EQ(r.Uptime10Ms, le32At(b, 236));
    EXPECT_EQ(r.UptimeS, le32At(b, 240));
    EXPECT_EQ(r.RTCr, (bytesAt<8>(b, 244)));
    EXPECT_EQ(r.CasVypnuti, (bytesAt<8>(b, 252)));
    EXPECT_EQ(r.CasZapnuti, (bytesAt<8>(b, 260)));
    EXPECT_EQ(r.Priznaky, le32At(b, 268));
    EXPECT_EQ(r.CitacVypnuti, le32At(b, 272));
    EXPECT_EQ(r.CitacStudenyStart, le32At(b, 276));
    EXPECT_EQ(r.CitacTeplyStart, le32At(b, 280));
    EXPECT_EQ(r.CitacGlobalAuth, le32At(b, 284));
    EXPECT_EQ(r.CitacLinkDown, le32At(b, 288));
    EXPECT_EQ(r.TeplotaUP, singleAt(b, 292));
    EXPECT_EQ(r.TeplotaUP_Min, singleAt(b, 296));
    EXPECT_EQ(r.TeplotaUP_Max, singleAt(b, 300));
    EXPECT_EQ(r.TeplotaUP_Status, le32At(b, 304));
    EXPECT_EQ(r.TeplotaUP_CasZnacka, le32At(b, 308));
    EXPECT_EQ(r.TeplotaUP_DatumCas, (bytesAt<8>(b, 312)));
    EXPECT_EQ(r.TeplotaUP_CisloMereni, le32At(b, 320));
    EXPECT_EQ(r.TeplotaDPS, singleAt(b, 324));
    EXPECT_EQ(r.TeplotaDPS_Min, singleAt(b, 328));
    EXPECT_EQ(r.TeplotaDPS_Max, singleAt(b, 332));
    EXPECT_EQ(r.TeplotaDPS_Status, le32At(b, 336));
    EXPECT_EQ(r.TeplotaDPS_CasZnacka, le32At(b, 340));
    EXPECT_EQ(r.TeplotaDPS_DatumCas, (bytesAt<8>(b, 344)));
    EXPECT_EQ(r.TeplotaDPS_CisloMereni, le32At(b, 352));
    EXPECT_EQ(r.NapetiPWR, singleAt(b, 356));
    EXPECT_EQ(r.NapetiPWR_Nekalib, singleAt(b, 360));
    EXPECT_EQ(r.NapetiPWR_Min, singleAt(b, 364));
    EXPECT_EQ(r.NapetiPWR_Max, singleAt(b, 368));
    EXPECT_EQ(r.NapetiPWR_Status, le32At(b, 372));
    EXPECT_EQ(r.NapetiPWR_CasZnacka, le32At(b, 376));
    EXPECT_EQ(r.NapetiPWR_DatumCas, (bytesAt<8>(b, 380)));
    EXPECT_EQ(r.NapetiPWR_CisloMereni, le32At(b, 388));
}

// Two patterns: the low byte of the offset, and the offset halved. Together
// they tell every offset below 512 apart, so a field taken from anywhere
// but its own offset fails one of them. Two more fill every single with a
// NaN or an infinity.
TEST(TK7713TSys, EveryFieldComesFromItsOwnOffset) {
    struct Pattern {
        const char* name;
        std::uint8_t (*at)(std::size_t);
    };
    const Pattern patterns[] = {
        {"offset low byte", [](std::size_t i) { return static_cast<std::uint8_t>(i); }},
        {"offset halved", [](std::size_t i) { return static_cast<std::uint8_t>(i >> 1); }},
        {"quiet NaN",
         [](std::size_t i) {
             return std::array<std::uint8_t, 4>{0, 0, 0xC0, 0x7F}[i % 4];
         }},
        {"infinity",
         [](std::size_t i) {
             return std::array<std::uint8_t, 4>{0, 0, 0x80, 0x7F}[i % 4];
         }},
    };
    for (const auto& p : patterns) {
        SCOPED_TRACE(p.name);
        Bytes img(kSysLen);
        for (std::size_t i = 0; i < kSysLen; ++i) {
            img[i] = p.at(i);
        }
        TTK7713T_SysBin r;
        r.Status = 5;
        ASSERT_TRUE(decodeSys(img.data(), img.size(), r));
        EXPECT_EQ(r.Status, 5);
        expectSysFields(img, r);
    }
}

TEST(TK7713TSys, DatumCasStartsWithTwoZerosWhateverTheFileHolds) {
    Bytes img(kSysLen, 0xFF);
    TTK7713T_SysBin r;
    r.AktualHBIN.DatumCas.fill(0x77);
    ASSERT_TRUE(decodeSys(img.data(), img.size(), r));
    EXPECT_EQ(r.AktualHBIN.DatumCas, (TRTC{0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(TK7713TSys, ZeroPaddedTextsKeepTheirZeroCharacters) {
    Bytes img(kSysLen, 0x00);
    const std::string fw = "TK-7713T";
    std::memcpy(img.data(), fw.data(), fw.size());
    img[48] = 0xE1; // a byte above 127 is one character of that code
    img[49] = '7';
    TTK7713T_SysBin r;
    ASSERT_TRUE(decodeSys(img.data(), img.size(), r));
    EXPECT_EQ(r.TypFW, fw + std::string(16, '\0'));
    EXPECT_EQ(r.VyrCislo, std::string("\xE1"
                                      "7",
                                      2) +
                              std::string(6, '\0'));
    EXPECT_EQ(r.AktualHBIN.NazevFW, std::string(38, '\0'));
    EXPECT_EQ(r.TypLoader, std::string(21, '\0'));
}

// ---------------------------------------------------------------------------
// Singles

TEST(TK7713TReal4, SpecialAndOrdinaryValues) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* bytes;
        double expected;
    };
    const std::vector<Case> cases = {
        {"00 00 C0 7F", 0.0}, // quiet NaN
        {"01 00 80 7F", 0.0}, // signalling NaN
        {"FF FF FF FF", 0.0}, // negative NaN
        {"00 00 80 3F", 1.0},
        {"00 00 80 7F", inf},
        {"00 00 80 FF", -inf},
        {"00 00 20 C0", -2.5},
        {"00 00 00 00", 0.0},
        {"01 00 00 00", std::ldexp(1.0, -149)}, // smallest subnormal survives
        {"FF FF 7F 7F", static_cast<double>(std::numeric_limits<float>::max())},
        {"CD CC CC 41", static_cast<double>(25.6f)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        const Bytes b = hex(c.bytes);
        EXPECT_EQ(TK7713T_Real4(b[0], b[1], b[2], b[3]), c.expected);
    }
    const Bytes negZero = hex("00 00 00 80");
    EXPECT_TRUE(std::signbit(TK7713T_Real4(negZero[0], negZero[1], negZero[2], negZero[3])));
}

// ---------------------------------------------------------------------------
// mmrd.bin and mmrgv.bin

TEST(TK7713TMmrd, FieldsAndWidths) {
    Bytes img = hex("01020304 FFFFFFFF 00000080 3412 64 A5");
    img.resize(240, 0xEE); // the serial block is longer than the decoded part
    TTK7713T_MmrdBin r;
    ASSERT_TRUE(decodeMmrd(img.data(), img.size(), r));
    EXPECT_EQ(r.PocetZprav, 0x04030201u);
    EXPECT_EQ(r.PocetChybnychZprav, 0xFFFFFFFFu);
    EXPECT_EQ(r.PocetNegativnichOdpovedi, 0x80000000u);
    EXPECT_EQ(r.CetnostZprav, 0x1234u);
    EXPECT_EQ(r.Vytizeni, 100u);
    EXPECT_EQ(r.Rezerva, 0xA5u);
}

Bytes mmrgvImage(std::uint32_t index) {
    Bytes img(240, 0xEE);
    const std::uint8_t head[] = {0xB4, 0, 0, 0, 0xB4, 0, 0, 0}; // 180 held, 180 capacity
    std::memcpy(img.data(), head, sizeof head);
    for (int i = 0; i < 4; ++i) {
        img[8 + i] = static_cast<std::uint8_t>(index >> (8 * i));
    }
    for (std::size_t p = 0; p < 180; ++p) {
        img[12 + p] = static_cast<std::uint8_t>(p); // sample value = ring position
    }
    return img;
}

TEST(TK7713TMmrgv, RingIsUnrolledOldestFirst) {
    struct Case {
        std::uint32_t index;
        std::uint8_t first, second, last;
    };
    const std::vector<Case> cases = {
        {0, 0, 1, 179},     {1, 1, 2, 0},
        {90, 90, 91, 89},   {179, 179, 0, 178},
        {180, 0, 1, 179},                              // out of range: modulo 180
        {359, 179, 0, 178}, {0xFFFFFFFFu, 75, 76, 74}, // 4294967295 mod 180 = 75
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        const Bytes img = mmrgvImage(c.index);
        TTK7713T_MmrgvBin r;
        ASSERT_TRUE(decodeMmrgv(img.data(), img.size(), r));
        EXPECT_EQ(r.PocetDat, 180u);
        EXPECT_EQ(r.MaxPocetDat, 180u);
        EXPECT_EQ(r.IndexZapisu, c.index);
        EXPECT_EQ(r.PoleDat[0], c.first);
        EXPECT_EQ(r.PoleDat[1], c.second);
        EXPECT_EQ(r.PoleDat[179], c.last);
        // Each ring byte exactly once, never a byte from outside the ring.
        std::set<std::uint8_t> seen(r.PoleDat.begin(), r.PoleDat.end());
        EXPECT_EQ(seen.size(), 180u);
        EXPECT_EQ(seen.count(0xEE), 0u);
        for (std::size_t k = 1; k < 180; ++k) {
            EXPECT_EQ(r.PoleDat[k], (r.PoleDat[k - 1] + 1) % 180) << "k=" << k;
        }
    }
}

TEST(TK7713TMmrgv, ExactlyTheDecodedLengthSuffices) {
    Bytes img = mmrgvImage(179);
    img.resize(192);
    TTK7713T_MmrgvBin r;
    ASSERT_TRUE(decodeMmrgv(img.data(), img.size(), r));
    EXPECT_EQ(r.PoleDat[0], 179);
}

// ---------------------------------------------------------------------------
// Field tables

// Each table's fields lie inside the decoded part of their file, one after
// another without overlap, under names the tool can tell apart.
TEST(TK7713TFields, TablesFitTheirFiles) {
    for (const ConverterFile& f : catalogue()) {
        SCOPED_TRACE(std::string(f.name));
        const auto table = fields(f.id);
        EXPECT_TRUE(f.direction == Direction::Read || !table.empty());
        std::size_t end = 0;
        std::set<std::string_view> names;
        for (const Field& field : table) {
            SCOPED_TRACE(std::string(field.name));
            EXPECT_GE(field.offset, end);
            EXPECT_GT(field.width, 0u);
            end = field.offset + field.width;
            EXPECT_TRUE(names.insert(field.name).second);
            EXPECT_TRUE(field.alias.empty() || names.insert(field.alias).second);
            EXPECT_LE(field.min, field.max);
        }
        EXPECT_LE(end, f.decodeNeeds);
    }
}

// ---------------------------------------------------------------------------
// Catalogue

TEST(TK7713TCatalogue, LookupIsExact) {
    ASSERT_NE(findFile("sys.bin"), nullptr);
    EXPECT_EQ(findFile("sys.bin")->id, FileId::Sys);
    EXPECT_EQ(findFile("SYS.BIN"), nullptr);
    EXPECT_EQ(findFile("sys.bin "), nullptr);
    EXPECT_EQ(findFile(""), nullptr);
    for (const ConverterFile& f : catalogue()) {
        EXPECT_EQ(&file(f.id), &f);
        EXPECT_EQ(findFile(f.name), &f);
    }
}

} // namespace
