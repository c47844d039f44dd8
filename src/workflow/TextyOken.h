// Text tables of the connection dialog and of the four configuration dialogs.
// They live below the user interface because the command-line tool shows the
// same messages. Each unit's namespace holds its id constants, its table and
// its Text lookup (language 0 Czech, 1 English).
#pragma once

#include <cstdint>
#include <string>

#include "app/Dekl.h"

namespace Pripojeni {
enum TextId : std::int32_t {
    TEXT_CAPTION = 1,
    TEXT_INTERFACE = 2,
    TEXT_IP_ADDRESS = 3,
    TEXT_LAN_TIMEOUT = 4,
    TEXT_COM_HEADING = 5,
    TEXT_USB_HEADING = 6,
    TEXT_PORT_NUMBER = 7,
    TEXT_BAUD_RATE = 8,
    TEXT_PARITY = 9,
    TEXT_PARITY_NONE = 10,
    TEXT_PARITY_EVEN = 11,
    TEXT_PARITY_ODD = 12,
    TEXT_COM_TIMEOUT = 13,
    TEXT_ADDRESS = 14,
    TEXT_STATUS = 15,
    TEXT_CONNECT = 16,
    TEXT_CANCEL = 17,
    TEXT_INITIALIZING = 18,
    TEXT_INVALID_IP = 19,
    TEXT_INVALID_LAN_TIMEOUT = 20,
    TEXT_UNKNOWN_CONVERTER = 21,
    TEXT_INVALID_COM_NUMBER = 22,
    TEXT_INVALID_COM_TIMEOUT = 23,
    TEXT_INVALID_ADDRESS = 24,
    TEXT_COM_ERROR = 25,
    TEXT_INVALID_USB_NUMBER = 26,
    TEXT_INVALID_USB_TIMEOUT = 27,
    TEXT_USB_ERROR = 28,
    TEXT_UNSUPPORTED_TYPE = 29,
    TEXT_UNSUPPORTED_VERSION = 30,
    TEXT_CONNECTED = 31,
};

TTextTabulka Texty();
inline constexpr TextLookup<TextId, &Texty> Text{};
} // namespace Pripojeni

// Ids shared in meaning by the four configuration dialogs; each unit has its
// own copy of these texts under its own ids.
struct ConfigDialogTextIds {
    std::int32_t Caption;
    std::int32_t DefaultParameters;
    std::int32_t Write;
    std::int32_t Read;
    std::int32_t Ok;
    std::int32_t Cancel;
    std::int32_t ReadInProgress;
    std::int32_t ReadDone;
    std::int32_t WriteInProgress;
    std::int32_t WriteDone;
    std::int32_t VerificationError;
};

namespace NastavLanParam {
enum TextId : std::int32_t {
    TEXT_CAPTION = 1,
    TEXT_IP4_SETTINGS = 2,
    TEXT_MODE_MANUAL = 3,
    TEXT_MODE_DHCP = 4,
    TEXT_IP4_ADDRESS = 5,
    TEXT_IP4_MASK = 6,
    TEXT_IP4_GATEWAY = 7,
    TEXT_INVALID_ADDRESS = 18,
    TEXT_INVALID_MASK = 19,
    TEXT_INVALID_GATEWAY = 20,
};
constexpr ConfigDialogTextIds IDS{1, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};

TTextTabulka Texty();
inline constexpr TextLookup<TextId, &Texty> Text{};
} // namespace NastavLanParam

namespace NastavModbusTCP {
enum TextId : std::int32_t {
    TEXT_CAPTION = 1,
    TEXT_CONVERTER_ADDRESS = 2,
    TEXT_ALTERNATIVE_ADDRESS = 3,
    TEXT_ALTERNATIVE_NOTE = 4,
    TEXT_TCP_TIMEOUT = 5,
    TEXT_ROUTING = 6,
    TEXT_ROUTING_DISABLE = 7,
    TEXT_ROUTING_ENABLE = 8,
    TEXT_INVALID_ADDRESS = 19,
    TEXT_INVALID_TIMEOUT = 20,
};
constexpr ConfigDialogTextIds IDS{1, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};

TTextTabulka Texty();
inline constexpr TextLookup<TextId, &Texty> Text{};
} // namespace NastavModbusTCP

namespace NastavHlavniLinka {
enum TextId : std::int32_t {
    TEXT_CAPTION = 1,
    TEXT_BAUD_RATE = 2,
    TEXT_PARITY = 3,
    TEXT_PARITY_NONE = 4,
    TEXT_PARITY_EVEN = 5,
    TEXT_PARITY_ODD = 6,
    TEXT_TIMEOUT = 7,
    TEXT_RETRIES = 8,
    TEXT_INVALID_TIMEOUT = 19,
    TEXT_INVALID_RETRIES = 20,
};
constexpr ConfigDialogTextIds IDS{1, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};

TTextTabulka Texty();
inline constexpr TextLookup<TextId, &Texty> Text{};
} // namespace NastavHlavniLinka

namespace NastavServisniLinka {
enum TextId : std::int32_t {
    TEXT_CAPTION = 1,
    TEXT_ADDRESS = 2,
    TEXT_BAUD_RATE = 3,
    TEXT_PARITY = 4,
    TEXT_PARITY_NONE = 5,
    TEXT_PARITY_EVEN = 6,
    TEXT_PARITY_ODD = 7,
    TEXT_ROUTING = 8,
    TEXT_ROUTING_DISABLE = 9,
    TEXT_ROUTING_ENABLE = 10,
    TEXT_INVALID_ADDRESS = 21,
};
constexpr ConfigDialogTextIds IDS{1, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};

TTextTabulka Texty();
inline constexpr TextLookup<TextId, &Texty> Text{};
} // namespace NastavServisniLinka

// The USB slave view: the RS-485 slave dialog's texts under the same ids,
// with a caption of its own.
namespace NastavServisniLinkaUSB {
using namespace NastavServisniLinka;
enum TextId : std::int32_t {
    TEXT_CAPTION = 1,
};

TTextTabulka Texty();
inline constexpr TextLookup<TextId, &Texty> Text{};
} // namespace NastavServisniLinkaUSB

// The fixed items of every baud-rate list, position 0 "2400 Bd" .. 6 "115200 Bd".
constexpr const char* BAUD_LIST_ITEMS[] = {"2400 Bd",  "4800 Bd",  "9600 Bd",  "19200 Bd",
                                           "38400 Bd", "57600 Bd", "115200 Bd"};
constexpr std::int32_t BAUD_LIST_SIZE = 7;
// Entries of the word lists: parity (none, even, odd), routing (disable,
// enable) and the LAN dialog's address mode (manual, DHCP).
constexpr std::int32_t PARITY_LIST_SIZE = 3;
constexpr std::int32_t ROUTING_LIST_SIZE = 2;
constexpr std::int32_t ADDRESS_MODE_LIST_SIZE = 2;

// The list position that shows a value, or -1 (no entry selected) when the
// list has no entry for it; position = value for the word lists.
inline std::int32_t ListPosition(std::int32_t value, std::int32_t listSize) {
    return value >= 0 && value < listSize ? value : -1;
}
// The baud-rate list position that shows a code, or -1 for codes without an
// entry (0, 1 and anything outside 0-8).
inline std::int32_t BaudListPosition(std::int32_t code) {
    return ListPosition(KodBaudNaPozici(code), BAUD_LIST_SIZE);
}

// Tables of the two diagnostics windows and the restart dialog; the
// command-line tool shows the same labels and messages.
namespace DiagSystem {
enum TextId : std::int32_t {
    TEXT_CAPTION = 1,
    TEXT_OVERVIEW = 2,
    TEXT_FIRMWARE = 3,
    TEXT_LOADER = 4,
    TEXT_SERIAL_NUMBER = 5,
    TEXT_MAC = 6,
    TEXT_IP_ADDRESS = 7,
    TEXT_RUN_TIME = 8,
    TEXT_CANCEL = 9,
    // Beyond the window's own captions: its table's context menu.
    TEXT_COPY = 12,
};

TTextTabulka Texty();
inline constexpr TextLookup<TextId, &Texty> Text{};
} // namespace DiagSystem

namespace DiagRS485 {
enum TextId : std::int32_t {
    TEXT_CAPTION = 1,
    TEXT_OVERVIEW = 2,
    TEXT_MESSAGES = 3,
    TEXT_ERROR_MESSAGES = 4,
    TEXT_NEGATIVE_RESPONSES = 5,
    TEXT_FREQUENCY = 6,
    TEXT_UTILISATION = 7,
    TEXT_CHART = 8,
    TEXT_SECONDS = 9,
    TEXT_CLEAR = 10,
    TEXT_CANCEL = 11,
    // Beyond the window's own captions: context menus and export failures.
    TEXT_COPY = 12,
    TEXT_SAVE_PNG = 13,
    TEXT_SAVE_CSV = 14,
    TEXT_SAVE_FAILED = 15,
    // The chart's accessible description; the summary takes the newest and the
    // highest sample (percent) and the sample count.
    TEXT_CHART_EMPTY = 16,
    TEXT_CHART_SUMMARY = 17,
};

TTextTabulka Texty();
inline constexpr TextLookup<TextId, &Texty> Text{};
} // namespace DiagRS485

namespace RestartZarizeni {
enum TextId : std::int32_t {
    TEXT_CAPTION = 1,
    TEXT_QUESTION = 2,
    TEXT_RESTART = 3,
    TEXT_CANCEL = 4,
    TEXT_RESTARTING = 5,
    TEXT_RESTARTED = 6,
};

TTextTabulka Texty();
inline constexpr TextLookup<TextId, &Texty> Text{};
} // namespace RestartZarizeni
