// The command-line tool's own messages and help, in Czech and English.
// Messages that the program's windows also show come from their tables.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "app/Dekl.h"

namespace tkcli {

enum CliText : std::int32_t {
    T_NONE,
    T_TRY_HELP,
    T_MISSING_COMMAND,
    T_UNKNOWN_COMMAND,
    T_UNKNOWN_OPTION,
    T_OPTION_NEEDS_VALUE,
    T_OPTION_TWICE,
    T_BAD_BAUD,
    T_BAD_PARITY,
    T_BAD_LANGUAGE,
    T_ONE_INTERFACE,
    T_OPTION_NOT_FOR_INTERFACE,
    T_DEVICE_UNSUPPORTED,
    T_UNEXPECTED_ARGUMENT,
    T_MISSING_ARGUMENT,
    T_UNKNOWN_CONFIGURATION,
    T_NOT_NAME_VALUE,
    T_UNKNOWN_FIELD,
    T_FIELD_TWICE,
    T_BAD_LIST_VALUE,
    T_NOTHING_TO_SET,
    T_CANNOT_READ_FILE,
    T_CANNOT_WRITE_FILE,
    T_BAD_BACKUP,
    T_MISSING_FIELD,
    T_NO_FILES_IN_BACKUP,
    T_STATISTICS_CLEARED,
    T_BACKUP_WRITTEN,
    T_RESTORE_STOPPED,
    T_WRITTEN_READ_BACK,
    T_OPTION_ONLY_SCAN,
    T_SCAN_NEEDS_INTERFACE,
    T_SCAN_OPTION_SEARCHED,
    T_BAD_RANGE,
    T_RANGE_HOST_PART,
    T_RANGE_TOO_LARGE,
    T_RANGE_NOT_UNICAST,
    T_BAD_RATE,
    T_BAD_PORT,
    T_SCAN_COUNT,
    T_SCAN_CONFIRM,
    T_SCAN_NOT_CONFIRMED,
    T_SCAN_PROGRESS_LAN,
    T_SCAN_PROGRESS_SERIAL,
    T_SCAN_NONE_FOUND,
    T_SCAN_NO_SOCKET,
    T_SCAN_FOUND_SERIAL,
    T_SCAN_OTHER_DEVICE,
    T_SCAN_ECHOES,
    T_SCAN_SUPPORTED,
    T_SCAN_UNSUPPORTED,
    T_BAD_ADDRESS,
    T_CANNOT_WRITE_OUTPUT,
    T_EMPTY_BACKUP,
    T_HELP_TOOL,
    T_HELP_IDENTIFY,
    T_HELP_INFO,
    T_HELP_STATS,
    T_HELP_HISTORY,
    T_HELP_GET,
    T_HELP_SET,
    T_HELP_RESTART,
    T_HELP_CLEAR_STATS,
    T_HELP_BACKUP,
    T_HELP_RESTORE,
    T_HELP_SCAN,
    T_OPTION_NOT_FOR_COMMAND,
    T_TRY_HELP_SET,
    T_COUNT
};

TTextTabulka Texty();
inline constexpr TextLookup<CliText, &Texty> Text{};

// The text with each "%s" replaced by the next argument.
std::string Format(CliText id, std::int32_t lang, std::initializer_list<std::string_view> args);

} // namespace tkcli
