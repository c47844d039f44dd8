// The connection initialization behind the connection dialog's Connect
// button, on plain values instead of widgets, so that the dialog, the tests
// and the command-line tool share one implementation.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/Dekl.h"
#include "link/U_TK7713T.h"

// One serial column of the dialog (COM port or USB COM port), as its
// controls hold it when Connect is pressed.
struct SerialControls {
    std::string PortNumber; // port number field text, e.g. "3"
    std::int32_t Baud =
        2; // baud-rate list position: code - 2 (0 "2400 Bd" .. 6 "115200 Bd"), -1 none
    std::int32_t Parity = 1; // parity list position = parity code (0 none, 1 even, 2 odd), -1 none
    std::string Timeout;     // timeout field text, milliseconds
    std::string Address;     // converter address field text
};

// Everything the connection dialog's controls hold when Connect is pressed.
// List positions are the lists' current indexes, exactly as the widgets
// report them (-1 when nothing is selected); texts are the fields' texts as
// typed, untrimmed. Nothing here has been validated yet.
struct ConnectionControls {
    std::int32_t Interface = 0; // interface list position: 0 LAN, 1 COM port, 2 USB COM port
    std::string IpAddress;      // IP address field text (only emptiness is checked)
    std::int32_t IpVersion = 0; // IP version list position (hidden list): 0 IPv4, 1 IPv6
    std::string LanTimeout;     // LAN timeout field text, milliseconds
    SerialControls Com;         // COM port column
    SerialControls UsbCom;      // USB COM port column
};

// The controls as the dialog fills them from connection settings when it is
// shown: every field from the settings, except the USB column's baud rate,
// parity, timeout and address, which are always "115200 Bd", even, "330" and
// "255". An interface code outside 0-2 shows as LAN.
ConnectionControls ControlsForSettings(const TPripojeni& Pripojeni);

// List positions the dialog must set after the attempt because a list held a
// position outside its range and a fall-back was used. Empty = leave the list.
struct ListCorrections {
    std::optional<std::int32_t> Interface; // 0 (LAN)
    std::optional<std::int32_t> IpVersion; // 0 (IPv4)
    std::optional<std::int32_t> ComBaud;   // 2 ("9600 Bd")
    std::optional<std::int32_t> ComParity; // 1 (even)
    std::optional<std::int32_t> UsbBaud;   // 2 ("9600 Bd")
    std::optional<std::int32_t> UsbParity; // 1 (even)

    bool operator==(const ListCorrections&) const = default;
};

// How the attempt ended; each outcome has exactly one final status text.
enum class ConnectionOutcome {
    NoData,             // PData was null: nothing happened, no text shown
    InvalidInput,       // a field failed validation (texts 19, 20, 22, 23, 24, 26, 27)
    PortError,          // the serial port could not be opened (texts 25, 28)
    ConnectionError,    // info.txt not read, or an identification exchange failed (shared text 3)
    UnknownConverter,   // info.txt read but empty (text 21)
    UnsupportedType,    // text 29 + type-and-version text
    UnsupportedVersion, // text 30 + type-and-version text
    Connected,          // text 31 + type-and-version text
};

struct ConnectionResult {
    ConnectionOutcome Outcome = ConnectionOutcome::NoData;
    // Every text put into the status panel, in order: text 18, then the
    // result text. Bare texts from the tables (no leading blank added), in
    // the language passed in. The table texts are UTF-8, but texts 29, 30
    // and 31 are followed by TypeAndVersion, a converter text (one char per
    // byte): a window shows the table text and TypeAndVersion converted
    // each its own way rather than this concatenation.
    std::vector<std::string> StatusTexts;
    ListCorrections Corrections;
    // What the converter reported, filled as far as identification got
    // (also for an unsupported converter); the type-and-version text is
    // type + "  v." + version and is empty until both were received.
    std::string Type;
    std::string Version;
    std::string SerialNumber;
    std::string TypeAndVersion;
    // Identification exchanges (function 0x45) sent over a serial interface;
    // they stop at the first failure, and an answer with fewer than 8
    // message bytes counts as a failure.
    int ExchangesSent = 0;
};

// Hooks into the caller's display and clock; every member may be empty.
struct ConnectionHooks {
    // Called the moment a text is put into the status panel (text 18 before
    // the 100 ms pause and the transfer, then the result). The dialog sets
    // and repaints its panel here. The panel shows text (a UTF-8 table
    // text) followed by converterText (one char per byte, possibly empty).
    std::function<void(const std::string& text, const std::string& converterText)> showStatus;
    // The 100 ms pause after text 18. Empty = a real blocking pause.
    std::function<void(std::uint32_t milliseconds)> pause;
};

// Runs one connection attempt with what the controls hold, on the access
// record TK (the program passes its global Konvertor). State changes:
// - always (unless Dat is null): Dat->Init false, Dat->SPripojeni the shared
//   text 2, Dat->Par all 0, TK.Init false and its serial port closed; its
//   TFTP link record is kept until the LAN transport is set up;
// - transport set up (LAN: TFTP link for the new address; serial: port open
//   with the new settings and address): TK.Init true, TK.Rozhrani 0/1/2,
//   also when identification fails afterwards;
// - success only: Dat->Init true, Dat->SPripojeni "OK" (shared text 1),
//   Dat->Pripojeni the validated settings (fields of other interfaces kept),
//   Dat->TypVerze, TypModulu, VerzeModulu, VyrCislo from the converter.
// A failed attempt never changes Dat->Pripojeni or the identity texts.
// Lang: 0 Czech, 1 English (the dialog's copy of TData.Lang).
ConnectionResult InicializacePripojeni(const ConnectionControls& Ovladani, PData Dat, TTK7713T& TK,
                                       std::int32_t Lang, const ConnectionHooks& Hooks = {});

// One 0x45 identification exchange with the converter at `address` over the
// open serial link; the four characters of the item, or false when the
// exchange failed or the answer is too short to hold them. With `echo`,
// tells whether the answer was the request itself, as a line that hears
// its own transmission returns it.
bool IdentificationExchange(TTK7713T& tk, std::uint8_t address, std::uint8_t item,
                            std::string& fourChars, bool* echo = nullptr);
