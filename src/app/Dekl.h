// Shared declarations: the application state record, its parts and defaults.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

// Interface codes (TPripojeni::Rozhrani and the access object).
constexpr std::int32_t ROZHRANI_LAN = 0;
constexpr std::int32_t ROZHRANI_COM = 1;
constexpr std::int32_t ROZHRANI_USBCOM = 2;

// Parity codes.
constexpr std::int32_t PARITA_ZADNA = 0;
constexpr std::int32_t PARITA_SUDA = 1;
constexpr std::int32_t PARITA_LICHA = 2;

// IP versions (TPripojeni::LAN_VerzeIP).
constexpr std::int32_t VERZE_IP4 = 0;
constexpr std::int32_t VERZE_IP6 = 1;

// Languages (TData::Lang).
constexpr std::int32_t LANG_CZ = 0;
constexpr std::int32_t LANG_EN = 1;

// Baud-rate lists show codes 2..8 ("2400 Bd" .. "115200 Bd") at position code - 2.
constexpr std::int32_t KOD_BAUD_PRVNI_V_SEZNAMU = 2;
inline std::int32_t KodBaudNaPozici(std::int32_t kod) {
    return kod - KOD_BAUD_PRVNI_V_SEZNAMU;
}
inline std::int32_t PoziceNaKodBaud(std::int32_t pozice) {
    return pozice + KOD_BAUD_PRVNI_V_SEZNAMU;
}

using TPole16B = std::array<std::uint8_t, 16>;
using TPar = std::array<std::uint32_t, 16>;
using TAdresa4B = std::array<std::uint8_t, 4>;

struct TPripojeni {
    std::int32_t Rozhrani = 0;
    std::string LAN_IP;
    std::int32_t LAN_VerzeIP = 0;
    std::int32_t LAN_Timeout = 0;
    std::int32_t COM_CisloCOM = 0;
    std::int32_t COM_KodBaud = 0;
    std::int32_t COM_KodParita = 0;
    std::int32_t COM_Timeout = 0;
    std::int32_t COM_Adresa = 0;
    std::int32_t USBCOM_CisloCOM = 0;
    std::int32_t USBCOM_KodBaud = 0;
    std::int32_t USBCOM_KodParita = 0;
    std::int32_t USBCOM_Timeout = 0;
    std::int32_t USBCOM_Adresa = 0;

    bool operator==(const TPripojeni&) const = default;
};

struct TCFG_LAN4 {
    TAdresa4B IP4_Adresa{};
    TAdresa4B IP4_Maska{};
    TAdresa4B IP4_Brana{};
    std::uint8_t IP4_DHCP = 0;

    bool operator==(const TCFG_LAN4&) const = default;
};

struct TCFG_LAN6 {
    TPole16B IP6_LLA{};
    TPole16B IP6_GUA{};
    TPole16B IP6_Maska{};
    TPole16B IP6_Brana{};
    std::uint8_t IP6_DHCP = 0;

    bool operator==(const TCFG_LAN6&) const = default;
};

struct TCFG_Sprava {
    std::uint8_t Rezim = 0;
    std::array<TPole16B, 8> User_IP{};
    std::array<std::int32_t, 8> VerzeIP{};

    bool operator==(const TCFG_Sprava&) const = default;
};

struct TCFG_LOG {
    std::int32_t Povolen = 0;
    std::int32_t Prepisovani = 0;
    std::uint32_t Udalost = 0;

    bool operator==(const TCFG_LOG&) const = default;
};

struct TUpgrade {
    std::string TypVerze;
    std::string HBIN_Soubor;
    std::string HBIN_Datum;
    std::string FW_Soubor;

    bool operator==(const TUpgrade&) const = default;
};

struct TCFG_MBTCP {
    std::uint8_t UnitID = 0;
    std::uint8_t Timeout = 0;

    bool operator==(const TCFG_MBTCP&) const = default;
};

struct TCFG_UARTS {
    std::uint8_t Adresa = 0;
    std::uint8_t KodBaud = 0;
    std::uint8_t KodParita = 0;
    std::uint8_t Repeater = 0;

    bool operator==(const TCFG_UARTS&) const = default;
};

struct TCFG_UARTM {
    std::uint8_t KodBaud = 0;
    std::uint8_t KodParita = 0;
    std::uint16_t Timeout = 0;
    std::uint8_t Opakovani = 0;

    bool operator==(const TCFG_UARTM&) const = default;
};

struct TCFGTK {
    TCFG_LAN4 LAN4;
    TCFG_LAN6 LAN6;
    TCFG_Sprava Sprava;
    TCFG_LOG LOG;
    TUpgrade Upgrade;
    TCFG_MBTCP MBTCP;
    TCFG_UARTS UARTS;
    TCFG_UARTM UARTM;
    TCFG_UARTS UARTCOM;

    bool operator==(const TCFGTK&) const = default;
};

struct TData {
    TPripojeni Pripojeni;
    std::string SPripojeni;
    bool Init = false;
    std::string TypVerze;
    std::string TypModulu;
    std::string VerzeModulu;
    std::string VyrCislo;
    TPar Par{};
    TCFGTK CFGTK;
    std::int32_t Lang = LANG_EN;
};
using PData = TData*;

TPripojeni VychoziPripojeni();
TCFGTK VychoziCFGTK();
void InitData(PData Dat);

// ---- Connection settings file ----

// Name of the settings file in the settings folder.
constexpr const char* SOUBOR_NASTAVENI = "W_tk7713t.ini";
// Folder of the per-user settings file inside the user's settings folder.
constexpr const char* SLOZKA_NASTAVENI = "W_tk7713t";

// Loads TData::Pripojeni from the settings file, and the optional section
// "Serial ports" (COM1..COM255 = device path) into the serial port layer.
bool NactiNastaveni(PData Dat);
// Saves TData::Pripojeni; the file is replaced atomically, so a failed save
// leaves the old file intact. Other sections and lines are kept.
bool UlozNastaveni(PData Dat);

// Where the settings file is kept.
enum class SettingsPlace {
    BesideProgram,   // a copy run from a folder of its own
    PerUser,         // an installed program
    PerUserFallback, // the program's folder cannot be written
};

struct SettingsLocation {
    SettingsPlace place = SettingsPlace::BesideProgram;
    std::string path;          // the file that is read and written
    std::string programFolder; // the folder of the program (or its stand-in)
};

// An installed program keeps its settings per user and never writes into
// its own folder; a copy run from a folder of its own keeps them beside
// itself. Off unless the program is built for installing.
void SetSettingsPerUser(bool perUser);
bool SettingsPerUser();

// Stand-ins for the program's folder and the user's settings folder
// ($XDG_CONFIG_HOME, %APPDATA%); tests point them at scratch folders. An
// empty text restores the real one.
void SetSettingsFolder(const std::string& folder);
void SetUserSettingsFolder(const std::string& folder);

// Per user for an installed program; beside the program when its folder
// takes new files; otherwise per user, a fallback the program reports.
// Without a user settings folder a copy keeps the file beside itself. Chosen
// on first use and kept until one of the setters above runs, so a run loads
// and saves the same file. A per-user file that does not exist yet starts
// from the file beside the program, if there is one.
const SettingsLocation& SettingsFileLocation();
std::string SettingsFilePath();

// ---- Bilingual texts ----

// One entry of a unit's text table; Id equals the entry's position.
struct TTextPolozka {
    std::int32_t Id;
    const char* CZ; // UTF-8
    const char* EN;
};
using TTextTabulka = std::span<const TTextPolozka>;

// For static_assert in each unit: ids run 0, 1, 2, ... and id 0 is empty.
constexpr bool TextTabulkaPlatna(TTextTabulka tab) {
    if (tab.empty() || tab[0].CZ == nullptr || tab[0].EN == nullptr || tab[0].CZ[0] != 0 ||
        tab[0].EN[0] != 0) {
        return false;
    }
    for (std::size_t i = 0; i < tab.size(); ++i) {
        if (tab[i].Id != static_cast<std::int32_t>(i) || tab[i].CZ == nullptr ||
            tab[i].EN == nullptr) {
            return false;
        }
    }
    return true;
}

// Text of id in language lang (LANG_CZ, any other value English);
// an id outside the table gives the empty text.
std::string Text(TTextTabulka tab, std::int32_t id, std::int32_t lang);

// A unit's lookup, `Unit::Text(id, lang)`: it takes only the ids of its own
// table (the unit's enum), so an id of another unit's table does not compile.
template <typename Id, TTextTabulka (*Table)()> struct TextLookup {
    std::string operator()(Id id, std::int32_t lang) const {
        return ::Text(Table(), static_cast<std::int32_t>(id), lang);
    }
};

namespace Dekl {
enum TextId : std::int32_t {
    TEXT_OK = 1,
    TEXT_NOT_INITIALIZED = 2,
    TEXT_CONNECTION_ERROR = 3,
};

TTextTabulka Texty();
inline constexpr TextLookup<TextId, &Texty> Text{};
} // namespace Dekl

// ---- Address text helpers ----

// Dotted IPv4 text to four bytes; false when it is not four parts 0-255.
bool TextNaIP4(const std::string& text, TAdresa4B& adresa);
std::string IP4NaText(const TAdresa4B& adresa);
// Eight groups of four upper-case hexadecimal digits joined by ":".
std::string IP6NaText(const TPole16B& adresa);

// ---- Converter identification ----

// Splits an info text into type, version (4 characters) and serial number.
void RozdelInfoText(const std::string& info, std::string& typ, std::string& verze,
                    std::string& vyrCislo);
bool PodporovanyTyp(const std::string& typ);
bool PodporovanaVerze(const std::string& typ, const std::string& verze);
// The type, two blanks, "v.", the version (TData::TypVerze).
std::string TypeAndVersionText(const std::string& typ, const std::string& verze);
