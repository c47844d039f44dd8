// Text tables of the connection dialog and of the four configuration dialogs.
// They live below the user interface because the command-line tool shows the
// same messages. Each unit's namespace holds its id constants, its table and
// its Text lookup (language 0 Czech, 1 English).
#pragma once

#include <cstdint>
#include <string>

#include "app/Dekl.h"

namespace Pripojeni {
constexpr std::int32_t TEXT_CAPTION = 1;
constexpr std::int32_t TEXT_INTERFACE = 2;
constexpr std::int32_t TEXT_IP_ADDRESS = 3;
constexpr std::int32_t TEXT_LAN_TIMEOUT = 4;
constexpr std::int32_t TEXT_COM_HEADING = 5;
constexpr std::int32_t TEXT_USB_HEADING = 6;
constexpr std::int32_t TEXT_PORT_NUMBER = 7;
constexpr std::int32_t TEXT_BAUD_RATE = 8;
constexpr std::int32_t TEXT_PARITY = 9;
constexpr std::int32_t TEXT_PARITY_NONE = 10;
constexpr std::int32_t TEXT_PARITY_EVEN = 11;
constexpr std::int32_t TEXT_PARITY_ODD = 12;
constexpr std::int32_t TEXT_COM_TIMEOUT = 13;
constexpr std::int32_t TEXT_ADDRESS = 14;
constexpr std::int32_t TEXT_STATUS = 15;
constexpr std::int32_t TEXT_CONNECT = 16;
constexpr std::int32_t TEXT_CANCEL = 17;
constexpr std::int32_t TEXT_INITIALIZING = 18;
constexpr std::int32_t TEXT_INVALID_IP = 19;
constexpr std::int32_t TEXT_INVALID_LAN_TIMEOUT = 20;
constexpr std::int32_t TEXT_UNKNOWN_CONVERTER = 21;
constexpr std::int32_t TEXT_INVALID_COM_NUMBER = 22;
constexpr std::int32_t TEXT_INVALID_COM_TIMEOUT = 23;
constexpr std::int32_t TEXT_INVALID_ADDRESS = 24;
constexpr std::int32_t TEXT_COM_ERROR = 25;
constexpr std::int32_t TEXT_INVALID_USB_NUMBER = 26;
constexpr std::int32_t TEXT_INVALID_USB_TIMEOUT = 27;
constexpr std::int32_t TEXT_USB_ERROR = 28;
constexpr std::int32_t TEXT_UNSUPPORTED_TYPE = 29;
constexpr std::int32_t TEXT_UNSUPPORTED_VERSION = 30;
constexpr std::int32_t TEXT_CONNECTED = 31;

TTextTabulka Texty();
std::string Text(std::int32_t id, std::int32_t lang);
}  // namespace Pripojeni

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
constexpr std::int32_t TEXT_CAPTION = 1;
constexpr std::int32_t TEXT_IP4_SETTINGS = 2;
constexpr std::int32_t TEXT_MODE_MANUAL = 3;
constexpr std::int32_t TEXT_MODE_DHCP = 4;
constexpr std::int32_t TEXT_IP4_ADDRESS = 5;
constexpr std::int32_t TEXT_IP4_MASK = 6;
constexpr std::int32_t TEXT_IP4_GATEWAY = 7;
constexpr std::int32_t TEXT_INVALID_ADDRESS = 18;
constexpr std::int32_t TEXT_INVALID_MASK = 19;
constexpr std::int32_t TEXT_INVALID_GATEWAY = 20;
constexpr ConfigDialogTextIds IDS{1, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};

TTextTabulka Texty();
std::string Text(std::int32_t id, std::int32_t lang);
}  // namespace NastavLanParam

namespace NastavModbusTCP {
constexpr std::int32_t TEXT_CAPTION = 1;
constexpr std::int32_t TEXT_CONVERTER_ADDRESS = 2;
constexpr std::int32_t TEXT_ALTERNATIVE_ADDRESS = 3;
constexpr std::int32_t TEXT_ALTERNATIVE_NOTE = 4;
constexpr std::int32_t TEXT_TCP_TIMEOUT = 5;
constexpr std::int32_t TEXT_ROUTING = 6;
constexpr std::int32_t TEXT_ROUTING_DISABLE = 7;
constexpr std::int32_t TEXT_ROUTING_ENABLE = 8;
constexpr std::int32_t TEXT_INVALID_ADDRESS = 19;
constexpr std::int32_t TEXT_INVALID_TIMEOUT = 20;
constexpr ConfigDialogTextIds IDS{1, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};

TTextTabulka Texty();
std::string Text(std::int32_t id, std::int32_t lang);
}  // namespace NastavModbusTCP

namespace NastavHlavniLinka {
constexpr std::int32_t TEXT_CAPTION = 1;
constexpr std::int32_t TEXT_BAUD_RATE = 2;
constexpr std::int32_t TEXT_PARITY = 3;
constexpr std::int32_t TEXT_PARITY_NONE = 4;
constexpr std::int32_t TEXT_PARITY_EVEN = 5;
constexpr std::int32_t TEXT_PARITY_ODD = 6;
constexpr std::int32_t TEXT_TIMEOUT = 7;
constexpr std::int32_t TEXT_RETRIES = 8;
constexpr std::int32_t TEXT_INVALID_TIMEOUT = 19;
constexpr std::int32_t TEXT_INVALID_RETRIES = 20;
constexpr ConfigDialogTextIds IDS{1, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};

TTextTabulka Texty();
std::string Text(std::int32_t id, std::int32_t lang);
}  // namespace NastavHlavniLinka

namespace NastavServisniLinka {
constexpr std::int32_t TEXT_CAPTION = 1;
constexpr std::int32_t TEXT_ADDRESS = 2;
constexpr std::int32_t TEXT_BAUD_RATE = 3;
constexpr std::int32_t TEXT_PARITY = 4;
constexpr std::int32_t TEXT_PARITY_NONE = 5;
constexpr std::int32_t TEXT_PARITY_EVEN = 6;
constexpr std::int32_t TEXT_PARITY_ODD = 7;
constexpr std::int32_t TEXT_ROUTING = 8;
constexpr std::int32_t TEXT_ROUTING_DISABLE = 9;
constexpr std::int32_t TEXT_ROUTING_ENABLE = 10;
constexpr std::int32_t TEXT_INVALID_ADDRESS = 21;
constexpr ConfigDialogTextIds IDS{1, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};

TTextTabulka Texty();
std::string Text(std::int32_t id, std::int32_t lang);
}  // namespace NastavServisniLinka

// The USB slave view: the RS-485 slave dialog's texts under the same ids,
// with a caption of its own.
namespace NastavServisniLinkaUSB {
using namespace NastavServisniLinka;
constexpr std::int32_t TEXT_CAPTION = 1;

TTextTabulka Texty();
std::string Text(std::int32_t id, std::int32_t lang);
}  // namespace NastavServisniLinkaUSB

// The fixed items of every baud-rate list, position 0 "2400 Bd" .. 6 "115200 Bd".
constexpr const char* BAUD_LIST_ITEMS[] = {"2400 Bd",  "4800 Bd",  "9600 Bd", "19200 Bd",
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
constexpr std::int32_t TEXT_CAPTION = 1;
constexpr std::int32_t TEXT_OVERVIEW = 2;
constexpr std::int32_t TEXT_FIRMWARE = 3;
constexpr std::int32_t TEXT_LOADER = 4;
constexpr std::int32_t TEXT_SERIAL_NUMBER = 5;
constexpr std::int32_t TEXT_MAC = 6;
constexpr std::int32_t TEXT_IP_ADDRESS = 7;
constexpr std::int32_t TEXT_RUN_TIME = 8;
constexpr std::int32_t TEXT_CANCEL = 9;
// Beyond the window's own captions: its table's context menu.
constexpr std::int32_t TEXT_COPY = 12;

TTextTabulka Texty();
std::string Text(std::int32_t id, std::int32_t lang);
}  // namespace DiagSystem

namespace DiagRS485 {
constexpr std::int32_t TEXT_CAPTION = 1;
constexpr std::int32_t TEXT_OVERVIEW = 2;
constexpr std::int32_t TEXT_MESSAGES = 3;
constexpr std::int32_t TEXT_ERROR_MESSAGES = 4;
constexpr std::int32_t TEXT_NEGATIVE_RESPONSES = 5;
constexpr std::int32_t TEXT_FREQUENCY = 6;
constexpr std::int32_t TEXT_UTILISATION = 7;
constexpr std::int32_t TEXT_CHART = 8;
constexpr std::int32_t TEXT_SECONDS = 9;
constexpr std::int32_t TEXT_CLEAR = 10;
constexpr std::int32_t TEXT_CANCEL = 11;
// Beyond the window's own captions: context menus and export failures.
constexpr std::int32_t TEXT_COPY = 12;
constexpr std::int32_t TEXT_SAVE_PNG = 13;
constexpr std::int32_t TEXT_SAVE_CSV = 14;
constexpr std::int32_t TEXT_SAVE_FAILED = 15;
// The chart's accessible description; the summary takes the newest and the
// highest sample (percent) and the sample count.
constexpr std::int32_t TEXT_CHART_EMPTY = 16;
constexpr std::int32_t TEXT_CHART_SUMMARY = 17;

TTextTabulka Texty();
std::string Text(std::int32_t id, std::int32_t lang);
}  // namespace DiagRS485

namespace RestartZarizeni {
constexpr std::int32_t TEXT_CAPTION = 1;
constexpr std::int32_t TEXT_QUESTION = 2;
constexpr std::int32_t TEXT_RESTART = 3;
constexpr std::int32_t TEXT_CANCEL = 4;
constexpr std::int32_t TEXT_RESTARTING = 5;
constexpr std::int32_t TEXT_RESTARTED = 6;

TTextTabulka Texty();
std::string Text(std::int32_t id, std::int32_t lang);
}  // namespace RestartZarizeni
