// The fields of the converter files: where each lies in the file image, the
// values it takes and the name the command-line tool gives it. The codecs,
// the dialogs' write-and-verify and the tool's records, JSON and set names
// all read these tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "link/U_TK7713T.h"

namespace tk7713t {

enum class FieldKind : std::uint8_t {
    Bytes,    // raw bytes, first byte first; a wider member takes them at its end
    Address,  // the four bytes of an IPv4 address, first byte first
    Address6, // the sixteen bytes of an IPv6 address
    Mac,      // the six bytes of a MAC address
    Text,     // one character per byte, zero bytes kept
    Number,   // unsigned, little-endian; any value in min..max
    Code,     // unsigned; one of the list codes min..max
    Real,     // IEEE 754 single, little-endian
};

struct Field {
    std::string_view name;  // the record field: "IP4_Adresa", "AktualHBIN.Delka"
    std::string_view alias; // the command-line tool's name: "ip"
    std::uint16_t offset = 0;
    std::uint8_t width = 0; // bytes
    FieldKind kind = FieldKind::Bytes;
    std::int32_t min = 0; // Number, Code: the values the dialogs take
    std::int32_t max = 0;
    std::string_view unit{}; // Number: "s", "ms" or none
};

// One specialisation per file: the record type, the table in file order, and
// members(r): the fields of any record that holds them under their own names
// (the file's record, its TCFGTK part) as references in table order.
template <FileId F> struct FileFields;

template <> struct FileFields<FileId::Lan4> {
    using Record = TTK7713T_Lan4Cfg;
    static constexpr Field table[] = {
        {"IP4_Adresa", "ip", 0, 4, FieldKind::Address},
        {"IP4_Maska", "mask", 4, 4, FieldKind::Address},
        {"IP4_Brana", "gateway", 8, 4, FieldKind::Address},
        {"IP4_DHCP", "dhcp", 12, 1, FieldKind::Code, 0, 1},
    };
    template <class R> static constexpr auto members(R& r) {
        return std::tie(r.IP4_Adresa, r.IP4_Maska, r.IP4_Brana, r.IP4_DHCP);
    }
};

template <> struct FileFields<FileId::Mbtcp> {
    using Record = TTK7713T_MbtcpCfg;
    static constexpr Field table[] = {
        {"UnitID", "unit-id", 0, 1, FieldKind::Number, 1, 255},
        {"Timeout", "timeout", 1, 1, FieldKind::Number, 1, 255, "s"},
    };
    template <class R> static constexpr auto members(R& r) { return std::tie(r.UnitID, r.Timeout); }
};

template <> struct FileFields<FileId::Uartm> {
    using Record = TTK7713T_UartmCfg;
    static constexpr Field table[] = {
        {"KodBaud", "baud", 0, 1, FieldKind::Code, 2, 8},
        {"KodParita", "parity", 1, 1, FieldKind::Code, 0, 2},
        {"Timeout", "timeout", 2, 2, FieldKind::Number, 1, 65535, "ms"},
        {"Opakovani", "retries", 4, 1, FieldKind::Number, 0, 15},
    };
    template <class R> static constexpr auto members(R& r) {
        return std::tie(r.KodBaud, r.KodParita, r.Timeout, r.Opakovani);
    }
};

template <> struct FileFields<FileId::Uarts> {
    using Record = TTK7713T_UartsCfg;
    static constexpr Field table[] = {
        {"Adresa", "address", 0, 1, FieldKind::Number, 1, 255},
        {"KodBaud", "baud", 1, 1, FieldKind::Code, 2, 8},
        {"KodParita", "parity", 2, 1, FieldKind::Code, 0, 2},
        {"Repeater", "routing", 3, 1, FieldKind::Code, 0, 1},
    };
    template <class R> static constexpr auto members(R& r) {
        return std::tie(r.Adresa, r.KodBaud, r.KodParita, r.Repeater);
    }
};

template <> struct FileFields<FileId::Ctrl> {
    using Record = TTK7713T_CtrlBin;
    static constexpr Field table[] = {
        {"Prikaz", "", 0, 1, FieldKind::Number, 0, 255},
        {"Parametry", "", 1, TK7713T_CTRL_PARAMETRY, FieldKind::Bytes},
    };
    template <class R> static constexpr auto members(R& r) {
        return std::tie(r.Prikaz, r.Parametry);
    }
};

template <> struct FileFields<FileId::Sys> {
    using Record = TTK7713T_SysBin;
    static constexpr Field table[] = {
        {"TypFW", "", 0, 24, FieldKind::Text},
        {"TypLoader", "", 24, 24, FieldKind::Text}, // its bytes 15-17 are no part of it
        {"VyrCislo", "", 48, 8, FieldKind::Text},
        {"AktualHBIN.Delka", "", 56, 4, FieldKind::Number},
        {"AktualHBIN.Hash", "", 60, 16, FieldKind::Bytes},
        {"AktualHBIN.DatumCas", "", 76, 6, FieldKind::Bytes}, // a stamp without its first two
        {"AktualHBIN.NazevFW", "", 82, 38, FieldKind::Text},
        {"MAC", "", 120, 6, FieldKind::Mac},
        {"IP4_Adresa", "", 128, 4, FieldKind::Address},
        {"IP4_Maska", "", 132, 4, FieldKind::Address},
        {"IP4_Brana", "", 136, 4, FieldKind::Address},
        {"IP4_DHCP", "", 140, 4, FieldKind::Number},
        {"IP6_LLA", "", 144, 16, FieldKind::Address6},
        {"IP6_GUA", "", 160, 16, FieldKind::Address6},
        {"IP6_Maska", "", 176, 16, FieldKind::Address6},
        {"IP6_Brana", "", 192, 16, FieldKind::Address6},
        {"IP6_DHCP", "", 208, 4, FieldKind::Number},
        {"UptimeMs", "", 228, 4, FieldKind::Number},
        {"UptimeMsH", "", 232, 4, FieldKind::Number},
        {"Uptime10Ms", "", 236, 4, FieldKind::Number},
        {"UptimeS", "", 240, 4, FieldKind::Number},
        {"RTCr", "", 244, 8, FieldKind::Bytes},
        {"CasVypnuti", "", 252, 8, FieldKind::Bytes},
        {"CasZapnuti", "", 260, 8, FieldKind::Bytes},
        {"Priznaky", "", 268, 4, FieldKind::Number},
        {"CitacVypnuti", "", 272, 4, FieldKind::Number},
        {"CitacStudenyStart", "", 276, 4, FieldKind::Number},
        {"CitacTeplyStart", "", 280, 4, FieldKind::Number},
        {"CitacGlobalAuth", "", 284, 4, FieldKind::Number},
        {"CitacLinkDown", "", 288, 4, FieldKind::Number},
        {"TeplotaUP", "", 292, 4, FieldKind::Real},
        {"TeplotaUP_Min", "", 296, 4, FieldKind::Real},
        {"TeplotaUP_Max", "", 300, 4, FieldKind::Real},
        {"TeplotaUP_Status", "", 304, 4, FieldKind::Number},
        {"TeplotaUP_CasZnacka", "", 308, 4, FieldKind::Number},
        {"TeplotaUP_DatumCas", "", 312, 8, FieldKind::Bytes},
        {"TeplotaUP_CisloMereni", "", 320, 4, FieldKind::Number},
        {"TeplotaDPS", "", 324, 4, FieldKind::Real},
        {"TeplotaDPS_Min", "", 328, 4, FieldKind::Real},
        {"TeplotaDPS_Max", "", 332, 4, FieldKind::Real},
        {"TeplotaDPS_Status", "", 336, 4, FieldKind::Number},
        {"TeplotaDPS_CasZnacka", "", 340, 4, FieldKind::Number},
        {"TeplotaDPS_DatumCas", "", 344, 8, FieldKind::Bytes},
        {"TeplotaDPS_CisloMereni", "", 352, 4, FieldKind::Number},
        {"NapetiPWR", "", 356, 4, FieldKind::Real},
        {"NapetiPWR_Nekalib", "", 360, 4, FieldKind::Real},
        {"NapetiPWR_Min", "", 364, 4, FieldKind::Real},
        {"NapetiPWR_Max", "", 368, 4, FieldKind::Real},
        {"NapetiPWR_Status", "", 372, 4, FieldKind::Number},
        {"NapetiPWR_CasZnacka", "", 376, 4, FieldKind::Number},
        {"NapetiPWR_DatumCas", "", 380, 8, FieldKind::Bytes},
        {"NapetiPWR_CisloMereni", "", 388, 4, FieldKind::Number},
    };
    template <class R> static constexpr auto members(R& r) {
        auto& h = r.AktualHBIN;
        return std::tie(r.TypFW, r.TypLoader, r.VyrCislo, h.Delka, h.Hash, h.DatumCas, h.NazevFW,
                        r.MAC, r.IP4_Adresa, r.IP4_Maska, r.IP4_Brana, r.IP4_DHCP, r.IP6_LLA,
                        r.IP6_GUA, r.IP6_Maska, r.IP6_Brana, r.IP6_DHCP, r.UptimeMs, r.UptimeMsH,
                        r.Uptime10Ms, r.UptimeS, r.RTCr, r.CasVypnuti, r.CasZapnuti, r.Priznaky,
                        r.CitacVypnuti, r.CitacStudenyStart, r.CitacTeplyStart, r.CitacGlobalAuth,
                        r.CitacLinkDown, r.TeplotaUP, r.TeplotaUP_Min, r.TeplotaUP_Max,
                        r.TeplotaUP_Status, r.TeplotaUP_CasZnacka, r.TeplotaUP_DatumCas,
                        r.TeplotaUP_CisloMereni, r.TeplotaDPS, r.TeplotaDPS_Min, r.TeplotaDPS_Max,
                        r.TeplotaDPS_Status, r.TeplotaDPS_CasZnacka, r.TeplotaDPS_DatumCas,
                        r.TeplotaDPS_CisloMereni, r.NapetiPWR, r.NapetiPWR_Nekalib, r.NapetiPWR_Min,
                        r.NapetiPWR_Max, r.NapetiPWR_Status, r.NapetiPWR_CasZnacka,
                        r.NapetiPWR_DatumCas, r.NapetiPWR_CisloMereni);
    }
};

// The table of a file; empty for a file without one (info, mmrd, mmrgv).
std::span<const Field> fields(FileId id);

// The field of that record name; a name not in the table does not compile.
template <FileId F> consteval const Field& field(std::string_view name) {
    for (const Field& f : FileFields<F>::table) {
        if (f.name == name) {
            return f;
        }
    }
    throw "no such field";
}

// Calls fn(field, member) for each field of a file (its FileFields), in
// table order.
template <class Fields, class R, class Fn> constexpr void forEachField(Fields, R& record, Fn&& fn) {
    std::apply(
        [&](auto&... member) {
            std::size_t i = 0;
            (fn(Fields::table[i++], member), ...);
        },
        Fields::members(record));
}

// Each member of a written record as wide as its field.
template <FileId F> consteval bool membersFitTable() {
    using Members =
        decltype(FileFields<F>::members(std::declval<typename FileFields<F>::Record&>()));
    return []<std::size_t... I>(std::index_sequence<I...>) {
        return sizeof...(I) == std::size(FileFields<F>::table) &&
               ((sizeof(std::remove_reference_t<std::tuple_element_t<I, Members>>) ==
                 FileFields<F>::table[I].width) &&
                ...);
    }
    (std::make_index_sequence<std::tuple_size_v<Members>>{});
}
static_assert(membersFitTable<FileId::Lan4>() && membersFitTable<FileId::Mbtcp>() &&
              membersFitTable<FileId::Uartm>() && membersFitTable<FileId::Uarts>() &&
              membersFitTable<FileId::Ctrl>());
static_assert(std::size(FileFields<FileId::Sys>::table) ==
              std::tuple_size_v<
                  decltype(FileFields<FileId::Sys>::members(std::declval<TTK7713T_SysBin&>()))>);

} // namespace tk7713t
