// The logic of the four converter configuration dialogs (LAN parameters,
// Modbus TCP server, Modbus RTU master, Modbus RTU slave on RS-485) on plain
// values: what the controls show for a configuration (ZapisOkno), the
// default parameters, the validation that takes the controls into a working
// copy (PrectiOkno), and reading and write-and-verify of the converter file
// (PrectiData, ZapisData). Shared by the dialogs and the command-line tool.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/Dekl.h"
#include "link/U_TK7713T.h"
#include "link/U_TK7713T_Pole.h"

// Which dialog (and so which converter file and part of TCFGTK).
enum class ConfigDialog {
    Lan4,  // lan4.cfg, TCFGTK.LAN4, unit NastavLanParam
    Mbtcp, // mbtcp.cfg, TCFGTK.MBTCP, unit NastavModbusTCP
    Uartm, // uartm.cfg, TCFGTK.UARTM, unit NastavHlavniLinka
    Uarts, // uarts.cfg, TCFGTK.UARTS, unit NastavServisniLinka
};

// Calls f(fields, part): the tk7713t::FileFields of the dialog's file and
// the dialog's part of cfg, whose members it names.
template <class Cfg, class F> decltype(auto) WithPart(ConfigDialog dialog, Cfg& cfg, F&& f) {
    using tk7713t::FileFields;
    using tk7713t::FileId;
    switch (dialog) {
    case ConfigDialog::Lan4:
        return f(FileFields<FileId::Lan4>{}, cfg.LAN4);
    case ConfigDialog::Mbtcp:
        return f(FileFields<FileId::Mbtcp>{}, cfg.MBTCP);
    case ConfigDialog::Uartm:
        return f(FileFields<FileId::Uartm>{}, cfg.UARTM);
    case ConfigDialog::Uarts:
        break;
    }
    return f(FileFields<FileId::Uarts>{}, cfg.UARTS);
}

// Controls of each dialog as plain values. Text fields hold the text as
// typed; list fields hold the list position (-1 = no entry selected, which
// happens when a value without a list entry is shown, e.g. baud code 0 or 1).

struct Lan4Controls {
    std::string Address;   // "IP4 address" field, dotted decimal
    std::string Mask;      // "IP4 mask" field
    std::string Gateway;   // "IP4 gateway" field
    std::int32_t Mode = 0; // address-mode list: 0 manual, 1 DHCP

    bool operator==(const Lan4Controls&) const = default;
};

struct MbtcpControls {
    std::string AlternativeAddress; // alternative UnitID field, 1-255
    std::string Timeout;            // inactive TCP connection timeout field, s, 1-255

    bool operator==(const MbtcpControls&) const = default;
};

struct UartmControls {
    std::int32_t Baud = 2;   // baud-rate list position (code - 2)
    std::int32_t Parity = 1; // parity list position (= parity code)
    std::string Timeout;     // external module timeout field, ms, 1-65535
    std::string Retries;     // retries field, 0-15

    bool operator==(const UartmControls&) const = default;
};

struct UartsControls {
    std::string Address;      // converter address field, 1-255
    std::int32_t Baud = 2;    // baud-rate list position (code - 2)
    std::int32_t Parity = 1;  // parity list position
    std::int32_t Routing = 0; // routing list: 0 disable, 1 enable

    bool operator==(const UartsControls&) const = default;
};

// ZapisOkno: the controls showing a configuration part. A code without a
// list entry gives list position -1.
Lan4Controls ZapisOkno(const TCFG_LAN4& LAN4);
MbtcpControls ZapisOkno(const TCFG_MBTCP& MBTCP);
UartmControls ZapisOkno(const TCFG_UARTM& UARTM);
UartsControls ZapisOkno(const TCFG_UARTS& UARTS);

// The controls after the Default parameters button.
Lan4Controls DefaultLan4Controls();
MbtcpControls DefaultMbtcpControls();
UartmControls DefaultUartmControls();
UartsControls DefaultUartsControls();

// Verdict of PrectiOkno: the dialog's status line, " " when every field was
// accepted, else " " + the first failing field's message.
struct Verdict {
    bool Accepted = false;
    std::string StatusLine;
};

// PrectiOkno: validates the text fields in the dialog's fixed order and stores
// each accepted field in the matching part of CFGTK at once; at the first
// failing field it stops (that field and later ones stay as they were). When
// all text fields pass, the list choices are stored. A list position outside
// its list (-1 included) keeps the part's present value, so a value the
// operator did not choose is never turned into another code.
// Lang: 0 Czech, 1 English.
Verdict PrectiOkno(const Lan4Controls& Okno, TCFGTK& CFGTK, std::int32_t Lang);
Verdict PrectiOkno(const MbtcpControls& Okno, TCFGTK& CFGTK, std::int32_t Lang);
Verdict PrectiOkno(const UartmControls& Okno, TCFGTK& CFGTK, std::int32_t Lang);
Verdict PrectiOkno(const UartsControls& Okno, TCFGTK& CFGTK, std::int32_t Lang);

// Hooks into the caller's status line and clock; every member may be empty.
struct DialogHooks {
    // Called the moment the status line changes, with its whole text
    // (" " + text); the dialog sets and repaints its status line here.
    std::function<void(const std::string& statusLine)> showStatus;
    // The 32 ms pause before each transfer. Empty = a real blocking pause.
    std::function<void(std::uint32_t milliseconds)> pause;
};

enum class ReadOutcome {
    NotRun, // Dat null, TData.Init false or Konvertor.Init false: nothing sent, nothing shown
    ConnectionError, // " " + "Converter connection error"; CFGTK unchanged
    Read,            // " " + "Configuration read successfully"; the part of CFGTK set
};

struct ReadResult {
    ReadOutcome Outcome = ReadOutcome::NotRun;
    std::vector<std::string> StatusLines; // every status line shown, in order
};

// PrectiData: reads the dialog's file and on success stores its fields in the
// dialog's part of CFGTK. Shows "Read in progress ..." then the result.
ReadResult PrectiData(ConfigDialog Dialog, TCFGTK& CFGTK, PData Dat, TTK7713T& TK,
                      std::int32_t Lang, const DialogHooks& Hooks = {});

enum class WriteOutcome {
    NotRun,            // Dat null or TData.Init false: nothing sent, nothing shown
    ConnectionError,   // the write failed: " " + "Converter connection error"
    VerificationError, // read-back failed or differs: " " + "Write verification error"
    Written,           // read back equal: " " + "Configuration write successfully"
};

struct WriteResult {
    WriteOutcome Outcome = WriteOutcome::NotRun;
    // Every status line shown, in order; a verified write shows "Write in
    // progress ...", "Read in progress ...", "Configuration read
    // successfully", "Configuration write successfully".
    std::vector<std::string> StatusLines;
    bool ReadBackDone = false; // the read-back transferred the file
    TCFGTK ReadBack;           // the read-back values (its dialog's part), when ReadBackDone
};

// ZapisData: writes the dialog's part of CFGTK to the converter, reads the
// file back into a fresh TCFGTK and compares every written field.
WriteResult ZapisData(ConfigDialog Dialog, const TCFGTK& CFGTK, PData Dat, TTK7713T& TK,
                      std::int32_t Lang, const DialogHooks& Hooks = {});

// True when the dialog's part of a and b holds the same values (the fields the
// dialog writes: 13 bytes for LAN, 2 for Modbus TCP, 4 fields for the UARTs).
bool SamePart(ConfigDialog Dialog, const TCFGTK& a, const TCFGTK& b);
