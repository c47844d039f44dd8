// Converter access object: the one record through which every converter file
// is read or written, the catalogue of those files and their byte codecs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/Dekl.h"
#include "link/M_ModbusRTU.h"
#include "link/M_TFTP.h"

// ---------------------------------------------------------------------------
// Sub-records (raw byte arrays, copied first byte first)

using TAdresaMAC = std::array<std::uint8_t, 6>;
using TAdresaIP4 = std::array<std::uint8_t, 4>;
using TAdresaIP6 = std::array<std::uint8_t, 16>;
using TRTC = std::array<std::uint8_t, 8>; // converter clock stamp, never interpreted
using THASH = std::array<std::uint8_t, 16>;

// Header of the running firmware image.
struct THlavickaHBIN {
    std::uint32_t Delka = 0;
    THASH Hash{};
    TRTC DatumCas{};
    std::string NazevFW; // 38 characters, zero bytes kept

    bool operator==(const THlavickaHBIN&) const = default;
};

// ---------------------------------------------------------------------------
// Result records: Status 0 success, 1 transfer failed.

struct TTK7713T_InfoTxt {
    std::int32_t Status = 0;
    std::string Text; // one char per byte received

    bool operator==(const TTK7713T_InfoTxt&) const = default;
};

struct TTK7713T_SysBin {
    std::int32_t Status = 0;
    std::string TypFW;     // 24 characters
    std::string TypLoader; // 21 characters (15 + 6, three bytes between skipped)
    std::string VyrCislo;  // 8 characters
    THlavickaHBIN AktualHBIN;
    TAdresaMAC MAC{};
    TAdresaIP4 IP4_Adresa{};
    TAdresaIP4 IP4_Maska{};
    TAdresaIP4 IP4_Brana{};
    std::uint32_t IP4_DHCP = 0;
    TAdresaIP6 IP6_LLA{};
    TAdresaIP6 IP6_GUA{};
    TAdresaIP6 IP6_Maska{};
    TAdresaIP6 IP6_Brana{};
    std::uint32_t IP6_DHCP = 0;
    std::uint32_t UptimeMs = 0;
    std::uint32_t UptimeMsH = 0;
    std::uint32_t Uptime10Ms = 0;
    std::uint32_t UptimeS = 0;
    TRTC RTCr{};
    TRTC CasVypnuti{};
    TRTC CasZapnuti{};
    std::uint32_t Priznaky = 0;
    std::uint32_t CitacVypnuti = 0;
    std::uint32_t CitacStudenyStart = 0;
    std::uint32_t CitacTeplyStart = 0;
    std::uint32_t CitacGlobalAuth = 0;
    std::uint32_t CitacLinkDown = 0;

    double TeplotaUP = 0.0;
    double TeplotaUP_Min = 0.0;
    double TeplotaUP_Max = 0.0;
    std::uint32_t TeplotaUP_Status = 0;
    std::uint32_t TeplotaUP_CasZnacka = 0;
    TRTC TeplotaUP_DatumCas{};
    std::uint32_t TeplotaUP_CisloMereni = 0;

    double TeplotaDPS = 0.0;
    double TeplotaDPS_Min = 0.0;
    double TeplotaDPS_Max = 0.0;
    std::uint32_t TeplotaDPS_Status = 0;
    std::uint32_t TeplotaDPS_CasZnacka = 0;
    TRTC TeplotaDPS_DatumCas{};
    std::uint32_t TeplotaDPS_CisloMereni = 0;

    double NapetiPWR = 0.0;
    double NapetiPWR_Nekalib = 0.0;
    double NapetiPWR_Min = 0.0;
    double NapetiPWR_Max = 0.0;
    std::uint32_t NapetiPWR_Status = 0;
    std::uint32_t NapetiPWR_CasZnacka = 0;
    TRTC NapetiPWR_DatumCas{};
    std::uint32_t NapetiPWR_CisloMereni = 0;

    bool operator==(const TTK7713T_SysBin&) const = default;
};

struct TTK7713T_MmrdBin {
    std::int32_t Status = 0;
    std::uint32_t PocetZprav = 0;
    std::uint32_t PocetChybnychZprav = 0;
    std::uint32_t PocetNegativnichOdpovedi = 0;
    std::uint32_t CetnostZprav = 0;
    std::uint32_t Vytizeni = 0;
    std::uint32_t Rezerva = 0;

    bool operator==(const TTK7713T_MmrdBin&) const = default;
};

constexpr std::size_t TK7713T_MMRGV_VZORKU = 180; // samples in the utilisation ring

struct TTK7713T_MmrgvBin {
    std::int32_t Status = 0;
    std::uint32_t PocetDat = 0;
    std::uint32_t MaxPocetDat = 0;
    std::uint32_t IndexZapisu = 0;
    std::array<std::uint8_t, TK7713T_MMRGV_VZORKU> PoleDat{}; // oldest first

    bool operator==(const TTK7713T_MmrgvBin&) const = default;
};

struct TTK7713T_Lan4Cfg {
    std::int32_t Status = 0;
    TAdresa4B IP4_Adresa{};
    TAdresa4B IP4_Maska{};
    TAdresa4B IP4_Brana{};
    std::uint8_t IP4_DHCP = 0;

    bool operator==(const TTK7713T_Lan4Cfg&) const = default;
};

struct TTK7713T_MbtcpCfg {
    std::int32_t Status = 0;
    std::uint8_t UnitID = 0;
    std::uint8_t Timeout = 0;

    bool operator==(const TTK7713T_MbtcpCfg&) const = default;
};

struct TTK7713T_UartsCfg {
    std::int32_t Status = 0;
    std::uint8_t Adresa = 0;
    std::uint8_t KodBaud = 0;
    std::uint8_t KodParita = 0;
    std::uint8_t Repeater = 0;

    bool operator==(const TTK7713T_UartsCfg&) const = default;
};

struct TTK7713T_UartmCfg {
    std::int32_t Status = 0;
    std::uint8_t KodBaud = 0;
    std::uint8_t KodParita = 0;
    std::uint16_t Timeout = 0;
    std::uint8_t Opakovani = 0;

    bool operator==(const TTK7713T_UartmCfg&) const = default;
};

constexpr std::size_t TK7713T_CTRL_PARAMETRY = 21;

struct TTK7713T_CtrlBin {
    std::int32_t Status = 0;
    std::uint8_t Prikaz = 0;
    std::array<std::uint8_t, TK7713T_CTRL_PARAMETRY> Parametry{};

    bool operator==(const TTK7713T_CtrlBin&) const = default;
};

// ---------------------------------------------------------------------------
// The access record and its one program-wide instance.

struct TTK7713T {
    bool Init = false;
    std::int32_t Rozhrani = ROZHRANI_COM; // 0 LAN, 1 COM port, 2 USB COM port
    TTFTP TFTP;
    TMBRTU MBRTU;
};

extern TTK7713T Konvertor;

// Initial state of Konvertor: not initialised, COM port, no TFTP client, no
// open port. Releases nothing.
void TK7713T_Reset();

// Ends the transfer running on TK, whichever link carries it, as a failed
// one; the operation waiting for it returns false with Status 1 at once.
// Does nothing when no transfer runs. Called from an event handled while a
// transfer waits (a window closing).
void TK7713T_Abort(TTK7713T& TK);

// File operations. true = the whole file was transferred (Status 0). false with
// Status 1 = transfer failed, other fields unchanged. false with the record
// untouched and nothing sent = TK.Init is false.
bool TK7713T_PrectiInfo(TTK7713T& TK, TTK7713T_InfoTxt& Info);
bool TK7713T_PrectiSys(TTK7713T& TK, TTK7713T_SysBin& Sys);
bool TK7713T_PrectiMmrd(TTK7713T& TK, TTK7713T_MmrdBin& Mmrd);
bool TK7713T_PrectiMmrgv(TTK7713T& TK, TTK7713T_MmrgvBin& Mmrgv);
bool TK7713T_ZapisCtrl(TTK7713T& TK, TTK7713T_CtrlBin& Ctrl);
bool TK7713T_Restart(TTK7713T& TK, std::int32_t& Status); // Status unset when not initialised
bool TK7713T_VymazStatistiku(TTK7713T& TK,
                             std::int32_t& Status); // Status unset when not initialised
bool TK7713T_PrectiLan4(TTK7713T& TK, TTK7713T_Lan4Cfg& Lan4);
bool TK7713T_PrectiMbtcp(TTK7713T& TK, TTK7713T_MbtcpCfg& Mbtcp);
bool TK7713T_PrectiUarts(TTK7713T& TK, TTK7713T_UartsCfg& Uarts);
bool TK7713T_PrectiUartm(TTK7713T& TK, TTK7713T_UartmCfg& Uartm);
bool TK7713T_ZapisLan4(TTK7713T& TK, TTK7713T_Lan4Cfg& Lan4);
bool TK7713T_ZapisMbtcp(TTK7713T& TK, TTK7713T_MbtcpCfg& Mbtcp);
bool TK7713T_ZapisUarts(TTK7713T& TK, TTK7713T_UartsCfg& Uarts);
bool TK7713T_ZapisUartm(TTK7713T& TK, TTK7713T_UartmCfg& Uartm);

// Four little-endian bytes of an IEEE 754 single as a double; NaN gives 0.0,
// infinities are kept.
double TK7713T_Real4(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3);

// ---------------------------------------------------------------------------
// Catalogue, generic transfers and codecs usable without a transport
// (backup/restore of the command-line tool, tests).

namespace tk7713t {

constexpr std::size_t kImageCapacity = 10000; // largest file image handled
constexpr std::size_t kMaxBlock = 240;        // largest serial block asked for

enum class FileId : std::uint8_t { Info, Sys, Ctrl, Mmrd, Mmrgv, Lan4, Mbtcp, Uartm, Uarts };

enum class Direction : std::uint8_t { Read, Write, ReadWrite };

struct ConverterFile {
    FileId id;
    std::string_view name;                  // sent exactly like this over the LAN
    std::uint8_t number;                    // file number of functions 0x43 / 0x44
    std::uint8_t blockCount;                // serial blocks, numbered 0, 1, ...
    std::array<std::uint8_t, 2> blockSizes; // bytes per serial block
    std::uint16_t length;                   // bytes of the file the program uses
    std::uint16_t decodeNeeds;              // bytes a decoder reads; shorter images fail
    Direction direction;

    std::size_t serialLength() const; // sum of the block sizes
};

// All nine files in catalogue order.
const std::array<ConverterFile, 9>& catalogue();
const ConverterFile& file(FileId id);
// nullptr when the name is not in the catalogue (exact, lower-case match).
const ConverterFile* findFile(std::string_view name);

enum class Transfer : std::uint8_t {
    NotInitialised, // TK.Init false: nothing sent
    Failed,         // the link reported a failure (or Rozhrani is out of range)
    Done,
};

// Reads the whole file by the interface in use: one TFTP read on the LAN, the
// catalogue's blocks in order on a serial port (stops at the first failure).
// image gets the bytes only on Done.
Transfer readImage(TTK7713T& TK, const ConverterFile& f, std::vector<std::uint8_t>& image);
// Writes the image: one TFTP write, or block 0 on a serial port (at most 255
// bytes there).
Transfer writeImage(TTK7713T& TK, const ConverterFile& f, const std::uint8_t* data,
                    std::size_t length);

// Byte that makes the sum of the bytes plus itself 0 modulo 256.
std::uint8_t checksum(const std::uint8_t* data, std::size_t length);

// Decoders: set every decoded field of the record from the image, never
// Status. They return false and leave the record untouched when the image is
// shorter than ConverterFile::decodeNeeds. Checksum and reserved bytes are
// not examined.
bool decodeInfo(const std::uint8_t* data, std::size_t length, TTK7713T_InfoTxt& rec);
bool decodeSys(const std::uint8_t* data, std::size_t length, TTK7713T_SysBin& rec);
bool decodeMmrd(const std::uint8_t* data, std::size_t length, TTK7713T_MmrdBin& rec);
bool decodeMmrgv(const std::uint8_t* data, std::size_t length, TTK7713T_MmrgvBin& rec);
bool decodeLan4(const std::uint8_t* data, std::size_t length, TTK7713T_Lan4Cfg& rec);
bool decodeMbtcp(const std::uint8_t* data, std::size_t length, TTK7713T_MbtcpCfg& rec);
bool decodeUarts(const std::uint8_t* data, std::size_t length, TTK7713T_UartsCfg& rec);
bool decodeUartm(const std::uint8_t* data, std::size_t length, TTK7713T_UartmCfg& rec);
bool decodeCtrl(const std::uint8_t* data, std::size_t length, TTK7713T_CtrlBin& rec);

// Encoders: the complete file image, reserved bytes 0, checksum last.
std::array<std::uint8_t, 16> encodeLan4(const TTK7713T_Lan4Cfg& rec);
std::array<std::uint8_t, 3> encodeMbtcp(const TTK7713T_MbtcpCfg& rec);
std::array<std::uint8_t, 5> encodeUarts(const TTK7713T_UartsCfg& rec);
std::array<std::uint8_t, 6> encodeUartm(const TTK7713T_UartmCfg& rec);
std::array<std::uint8_t, 23> encodeCtrl(const TTK7713T_CtrlBin& rec);

// The two commands written to ctrl.bin.
TTK7713T_CtrlBin restartCommand();
TTK7713T_CtrlBin clearStatisticsCommand();

} // namespace tk7713t
