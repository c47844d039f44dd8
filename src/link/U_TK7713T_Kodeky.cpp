// Byte layouts of the converter files: decoding into the result records and
// encoding of the written files with their checksum.
#include <bit>
#include <cmath>
#include <cstring>

#include "link/U_TK7713T.h"
#include "link/U_TK7713T_Pole.h"

namespace {

std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// One char per byte, zero bytes included: the width is exact, nothing trimmed.
std::string text(const std::uint8_t* p, std::size_t n) {
    return std::string(reinterpret_cast<const char*>(p), n);
}

double real4(const std::uint8_t* p) {
    return TK7713T_Real4(p[0], p[1], p[2], p[3]);
}

bool enough(tk7713t::FileId id, std::size_t length) {
    return length >= tk7713t::file(id).decodeNeeds;
}

template <std::size_t N> void seal(std::array<std::uint8_t, N>& image) {
    image[N - 1] = tk7713t::checksum(image.data(), N - 1);
}

// A field's bytes into its member and back: texts and byte arrays as they
// stand, numbers little-endian. A byte array wider than its field holds the
// bytes at its end, zeros before (a clock stamp without its first two bytes).
template <std::size_t N>
void take(const std::uint8_t* image, const tk7713t::Field& f, std::array<std::uint8_t, N>& member) {
    member = {};
    std::memcpy(member.data() + N - f.width, image + f.offset, f.width);
}
void take(const std::uint8_t* image, const tk7713t::Field& f, std::string& member) {
    member = text(image + f.offset, f.width);
}
void take(const std::uint8_t* image, const tk7713t::Field& f, double& member) {
    member = real4(image + f.offset);
}
template <class T> void take(const std::uint8_t* image, const tk7713t::Field& f, T& member) {
    member = 0;
    for (std::size_t i = f.width; i-- > 0;) {
        member = static_cast<T>((member << 8) | image[f.offset + i]);
    }
}
template <std::size_t N>
void put(std::uint8_t* image, const tk7713t::Field& f, const std::array<std::uint8_t, N>& member) {
    std::memcpy(image + f.offset, member.data() + N - f.width, f.width);
}
template <class T> void put(std::uint8_t* image, const tk7713t::Field& f, T member) {
    for (std::size_t i = 0; i < f.width; ++i) {
        image[f.offset + i] = static_cast<std::uint8_t>(member >> (8 * i));
    }
}

template <tk7713t::FileId F, class Record>
bool decodeFields(const std::uint8_t* data, std::size_t length, Record& rec) {
    if (!enough(F, length)) {
        return false;
    }
    tk7713t::forEachField(tk7713t::FileFields<F>{}, rec,
                          [&](const tk7713t::Field& f, auto& m) { take(data, f, m); });
    return true;
}

// The whole image: reserved bytes 0, checksum last.
template <tk7713t::FileId F, std::size_t N, class Record>
std::array<std::uint8_t, N> encodeFields(const Record& rec) {
    std::array<std::uint8_t, N> image{};
    tk7713t::forEachField(tk7713t::FileFields<F>{}, rec,
                          [&](const tk7713t::Field& f, const auto& m) { put(image.data(), f, m); });
    seal(image);
    return image;
}

} // namespace

double TK7713T_Real4(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    const std::uint32_t bits =
        static_cast<std::uint32_t>(b0) | (static_cast<std::uint32_t>(b1) << 8) |
        (static_cast<std::uint32_t>(b2) << 16) | (static_cast<std::uint32_t>(b3) << 24);
    const float f = std::bit_cast<float>(bits);
    if (std::isnan(f)) {
        return 0.0;
    }
    return static_cast<double>(f);
}

namespace tk7713t {

std::uint8_t checksum(const std::uint8_t* data, std::size_t length) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < length; ++i) {
        sum = static_cast<std::uint8_t>(sum + data[i]);
    }
    return static_cast<std::uint8_t>(0u - sum);
}

bool decodeInfo(const std::uint8_t* data, std::size_t length, TTK7713T_InfoTxt& rec) {
    rec.Text = length == 0 ? std::string() : text(data, length);
    return true;
}

bool decodeSys(const std::uint8_t* data, std::size_t length, TTK7713T_SysBin& rec) {
    if (!decodeFields<FileId::Sys>(data, length, rec)) {
        return false;
    }
    rec.TypLoader.erase(15, 3); // bytes 39-41 are not part of it
    return true;
}

bool decodeMmrd(const std::uint8_t* data, std::size_t length, TTK7713T_MmrdBin& rec) {
    if (!enough(FileId::Mmrd, length)) {
        return false;
    }
    rec.PocetZprav = le32(data + 0);
    rec.PocetChybnychZprav = le32(data + 4);
    rec.PocetNegativnichOdpovedi = le32(data + 8);
    rec.CetnostZprav = le16(data + 12);
    rec.Vytizeni = data[14];
    rec.Rezerva = data[15];
    return true;
}

bool decodeMmrgv(const std::uint8_t* data, std::size_t length, TTK7713T_MmrgvBin& rec) {
    if (!enough(FileId::Mmrgv, length)) {
        return false;
    }
    rec.PocetDat = le32(data + 0);
    rec.MaxPocetDat = le32(data + 4);
    rec.IndexZapisu = le32(data + 8);
    // The next position to be written holds the oldest sample; an index out
    // of range is wrapped so the unrolling never leaves the ring.
    std::size_t i = rec.IndexZapisu % TK7713T_MMRGV_VZORKU;
    const std::uint8_t* ring = data + 12;
    for (std::size_t k = 0; k < TK7713T_MMRGV_VZORKU; ++k) {
        rec.PoleDat[k] = ring[i];
        i = (i + 1) % TK7713T_MMRGV_VZORKU;
    }
    return true;
}

bool decodeLan4(const std::uint8_t* data, std::size_t length, TTK7713T_Lan4Cfg& rec) {
    return decodeFields<FileId::Lan4>(data, length, rec);
}

bool decodeMbtcp(const std::uint8_t* data, std::size_t length, TTK7713T_MbtcpCfg& rec) {
    return decodeFields<FileId::Mbtcp>(data, length, rec);
}

bool decodeUarts(const std::uint8_t* data, std::size_t length, TTK7713T_UartsCfg& rec) {
    return decodeFields<FileId::Uarts>(data, length, rec);
}

bool decodeUartm(const std::uint8_t* data, std::size_t length, TTK7713T_UartmCfg& rec) {
    return decodeFields<FileId::Uartm>(data, length, rec);
}

bool decodeCtrl(const std::uint8_t* data, std::size_t length, TTK7713T_CtrlBin& rec) {
    return decodeFields<FileId::Ctrl>(data, length, rec);
}

std::array<std::uint8_t, 16> encodeLan4(const TTK7713T_Lan4Cfg& rec) {
    return encodeFields<FileId::Lan4, 16>(rec);
}

std::array<std::uint8_t, 3> encodeMbtcp(const TTK7713T_MbtcpCfg& rec) {
    return encodeFields<FileId::Mbtcp, 3>(rec);
}

std::array<std::uint8_t, 5> encodeUarts(const TTK7713T_UartsCfg& rec) {
    return encodeFields<FileId::Uarts, 5>(rec);
}

std::array<std::uint8_t, 6> encodeUartm(const TTK7713T_UartmCfg& rec) {
    return encodeFields<FileId::Uartm, 6>(rec);
}

std::array<std::uint8_t, 23> encodeCtrl(const TTK7713T_CtrlBin& rec) {
    return encodeFields<FileId::Ctrl, 23>(rec);
}

TTK7713T_CtrlBin restartCommand() {
    TTK7713T_CtrlBin c;
    c.Prikaz = 0;
    c.Parametry[0] = 0xFF;
    c.Parametry[1] = 0x01;
    c.Parametry[2] = 0x00;
    c.Parametry[3] = 0xFF;
    return c;
}

TTK7713T_CtrlBin clearStatisticsCommand() {
    TTK7713T_CtrlBin c;
    c.Prikaz = 1;
    c.Parametry[0] = 0x01;
    return c;
}

} // namespace tk7713t
