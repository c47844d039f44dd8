// The modbus command's own messages and help, in Czech and English.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "app/Dekl.h"

namespace tkcli::modbus {

enum TextId : std::int32_t {
    M_NONE,
    M_UNKNOWN_SUBCOMMAND,
    M_UNKNOWN_READ_TABLE,
    M_UNKNOWN_WRITE_TABLE,
    M_OPTION_NOT_FOR,
    M_BAD_REPEAT,
    M_BAD_TIMEOUT,
    M_BAD_UNITS,
    M_SCAN_PROGRESS,
    M_SCAN_ANSWERED,
    M_SCAN_EXCEPTION,
    M_SCAN_NONE,
    M_POLL_EXCEPTION,
    M_HELP,
    M_COUNT
};

TTextTabulka Texty();
inline constexpr TextLookup<TextId, &Texty> Text{};

// The text with each "%s" replaced by the next argument.
std::string Format(TextId id, std::int32_t lang, std::initializer_list<std::string_view> args);

} // namespace tkcli::modbus
