// The fields of the converter files the program writes: where each lies in
// the file image, the values it takes and the name the command-line tool
// gives it. The codecs, the dialogs' write-and-verify and the tool's
// records and set names all read these tables.
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
    Bytes,   // raw bytes, first byte first
    Address, // the four bytes of an IPv4 address, first byte first
    Number,  // unsigned, little-endian; any value in min..max
    Code,    // unsigned; one of the list codes min..max
};

struct Field {
    std::string_view name;  // the record field: "IP4_Adresa"
    std::string_view alias; // the command-line tool's name: "ip"
    std::uint8_t offset = 0;
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

// The table of a file; empty for a file without one (the files only read).
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
template <class Fields, class R, class Fn>
constexpr void forEachField(Fields, R& record, Fn&& fn) {
    std::apply(
        [&](auto&... member) {
            std::size_t i = 0;
            (fn(Fields::table[i++], member), ...);
        },
        Fields::members(record));
}

// Each member of the record as wide as its field.
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

} // namespace tk7713t
