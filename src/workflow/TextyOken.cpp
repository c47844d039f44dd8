#include "workflow/TextyOken.h"

#include <array>
#include <iterator>

namespace {

constexpr TTextPolozka PripojeniTexts[] = {
    {0, "", ""},
    {1, "Připojení konvertoru", "Converter connect"},
    {2, "Rozhrani", "Interface"},
    {3, "IP adresa", "IP address"},
    {4, "LAN timeout [ms]", "LAN timeout [ms]"},
    {5, "COM port", "COM port"},
    {6, "USB COM port", "USB COM port"},
    {7, "Číslo COM portu", "COM port number"},
    {8, "Komunikační rychlost", "Baud rate"},
    {9, "Parita", "Parity"},
    {10, "žádná", "none"},
    {11, "sudá", "even"},
    {12, "lichá", "odd"},
    {13, "COM port timeout [ms]", "COM port timeout [ms]"},
    {14, "Adresa konvertoru", "Converter address"},
    {15, "Status připojení", "Connection status"},
    {16, "Připojit", "Connect"},
    {17, "Cancel", "Cancel"},
    {18, "Probíhá inicializace připojení ...", "Initializing connection ..."},
    {19, "Neplatná IP adresa", "Invalid IP address"},
    {20, "Neplatný LAN timeout (1-65535 ms)", "Invalid LAN timeout (1-65535 ms)"},
    {21, "Připojen neznámý konvertor", "Unknown converter connected"},
    {22, "Neplatné číslo COM portu (1-255)", "Invalid COM port number (1-255)"},
    {23, "Neplatný COM port timeout (1-65535 ms)", "Invalid COM port timeout (1-65535 ms)"},
    {24, "Neplatná adresa konvertoru (1-255)", "Invalid converter address (1-255)"},
    {25, "Chyba COM portu", "COM port error"},
    {26, "Neplatné číslo USB COM portu (1-255)", "Invalid USB COM port number (1-255)"},
    {27, "Neplatný USB COM port timeout (1-65535 ms)", "Invalid USB COM port timeout (1-65535 ms)"},
    {28, "Chyba USB COM portu", "USB COM port error"},
    {29, "Připojený konvertor není programem podporován - ",
     "The connected converter is not supported by the program - "},
    {30, "Verze připojeného konvertoru není programem podporována - ",
     "The version of the connected converter is not supported by the program - "},
    {31, "Připojení úspěšně inicializováno. Připojený konvertor :  ",
     "Connection successfully initialized. Connected converter :  "},
};
static_assert(TextTabulkaPlatna(PripojeniTexts));
static_assert(std::size(PripojeniTexts) == 32);

constexpr TTextPolozka LanTexts[] = {
    {0, "", ""},
    {1, "Parametry LAN", "LAN parameters"},
    {2, "Nastaveni protokolu IP4", "IP4 protocol settings"},
    {3, "ručně", "manual"},
    {4, "automaticky (DHCP)", "automatic (DHCP)"},
    {5, "IP4 adresa", "IP4 address"},
    {6, "IP4 maska", "IP4 mask"},
    {7, "IP4 brána", "IP4 gateway"},
    {8, "Defaultní parametry", "Default parameters"},
    {9, "Zapsat", "Write"},
    {10, "Přečíst", "Read"},
    {11, "OK", "OK"},
    {12, "Cancel", "Cancel"},
    {13, "Probíhá čtení ...", "Read in progress ..."},
    {14, "Konfigurace přečtena", "Configuration read successfully"},
    {15, "Probíhá zápis ...", "Write in progress ..."},
    {16, "Konfigurace zapsána", "Configuration write successfully"},
    {17, "Chyba verifikace zápisu", "Write verification error"},
    {18, "Neplatná IP4 adresa", "Invalid IP4 address"},
    {19, "Neplatná IP4 maska", "Invalid IP4 mask"},
    {20, "Neplatná IP4 brána", "Invalid IP4 gateway"},
};
static_assert(TextTabulkaPlatna(LanTexts));
static_assert(std::size(LanTexts) == 21);

constexpr TTextPolozka MbtcpTexts[] = {
    {0, "", ""},
    {1, "Modbus TCP server (LAN)", "Modbus TCP server (LAN)"},
    {2, "Adresa konvertoru (UnitID)", "Converter address (UnitID)"},
    {3, "Alternativní adresa konvertoru (UnitID = 1-255)",
     "Alternative converter address (UnitID = 1-255)"},
    {4, "(nastavením 255 je alternativní adresa neaktivní) ",
     "(setting 255 makes the alternative address inactive) "},
    {5, "Timeout neaktivního TCP spojení [s] (1-255)",
     "Inactive TCP connection timeout [sec] (1-255)"},
    {6, "Směrování na Modbus RTU master", "Routing to Modbus RTU master"},
    {7, "zakázáno", "disable"},
    {8, "povoleno", "enable"},
    {9, "Defaultní parametry", "Default parameters"},
    {10, "Zapsat", "Write"},
    {11, "Přečíst", "Read"},
    {12, "OK", "OK"},
    {13, "Cancel", "Cancel"},
    {14, "Probíhá čtení ...", "Read in progress ..."},
    {15, "Konfigurace přečtena", "Configuration read successfully"},
    {16, "Probíhá zápis ...", "Write in progress ..."},
    {17, "Konfigurace zapsána", "Configuration write successfully"},
    {18, "Chyba verifikace zápisu", "Write verification error"},
    {19, "Neplatná adresa konvertoru (1-255)", "Invalid converter address (1-255)"},
    {20, "Neplatný TCP timeout (1-255)", "Invalid TCP timeout (1-255)"},
};
static_assert(TextTabulkaPlatna(MbtcpTexts));
static_assert(std::size(MbtcpTexts) == 21);

constexpr TTextPolozka UartmTexts[] = {
    {0, "", ""},
    {1, "Modbus RTU master (RS-485)", "Modbus RTU master (RS-485)"},
    {2, "Komunikační rychlost", "Baud rate"},
    {3, "Parita", "Parity"},
    {4, "žádná", "none"},
    {5, "sudá", "even"},
    {6, "lichá", "odd"},
    {7, "Timeout externího modulu [ms] (1-65535)", "External module timeout [ms] (1-65535)"},
    {8, "Počet opakování při chybě komunikace (0-15)",
     "Number of retries on communication error (0-15)"},
    {9, "Defaultní parametry", "Default parameters"},
    {10, "Zapsat", "Write"},
    {11, "Přečíst", "Read"},
    {12, "OK", "OK"},
    {13, "Cancel", "Cancel"},
    {14, "Probíhá čtení ...", "Read in progress ..."},
    {15, "Konfigurace přečtena", "Configuration read successfully"},
    {16, "Probíhá zápis ...", "Write in progress ..."},
    {17, "Konfigurace zapsána", "Configuration write successfully"},
    {18, "Chyba verifikace zápisu", "Write verification error"},
    {19, "Neplatný Timeout externího modulu (1-65535)",
     "Invalid External module timeout (1-65535)"},
    {20, "Neplatný Počet opakování při chybě komunikace (0-15)",
     "Invalid Number of retries on communication error (0-15)"},
};
static_assert(TextTabulkaPlatna(UartmTexts));
static_assert(std::size(UartmTexts) == 21);

constexpr TTextPolozka UartsTexts[] = {
    {0, "", ""},
    {1, "Modbus RTU slave (RS-485)", "Modbus RTU slave (RS-485)"},
    {2, "Adresa konvertoru (1-255)", "Converter address (1-255)"},
    {3, "Komunikační rychlost", "Baud rate"},
    {4, "Parita", "Parity"},
    {5, "žádná", "none"},
    {6, "sudá", "even"},
    {7, "lichá", "odd"},
    {8, "Směrování na Modbus RTU master", "Routing to Modbus RTU master"},
    {9, "zakázáno", "disable"},
    {10, "povoleno", "enable"},
    {11, "Defaultní parametry", "Default parameters"},
    {12, "Zapsat", "Write"},
    {13, "Přečíst", "Read"},
    {14, "OK", "OK"},
    {15, "Cancel", "Cancel"},
    {16, "Probíhá čtení ...", "Read in progress ..."},
    {17, "Konfigurace přečtena", "Configuration read successfully"},
    {18, "Probíhá zápis ...", "Write in progress ..."},
    {19, "Konfigurace zapsána", "Configuration write successfully"},
    {20, "Chyba verifikace zápisu", "Write verification error"},
    {21, "Neplatná adresa konvertoru (1-255)", "Invalid converter address (1-255)"},
};
static_assert(TextTabulkaPlatna(UartsTexts));
static_assert(std::size(UartsTexts) == 22);

// The USB slave view is the RS-485 slave window under a caption of its own.
constexpr auto UartsUsbTexts = [] {
    std::array<TTextPolozka, std::size(UartsTexts)> t{};
    for (std::size_t i = 0; i < t.size(); ++i) {
        t[i] = UartsTexts[i];
    }
    t[1] = {1, "Modbus RTU slave (USB)", "Modbus RTU slave (USB)"};
    return t;
}();
static_assert(TextTabulkaPlatna(UartsUsbTexts));

constexpr TTextPolozka DiagSystemTexts[] = {
    {0, "", ""},
    {1, "Informace o konvertoru", "Converter information"},
    {2, "Přehled", "Overview"},
    {3, "Typ a verze firmware", "Firmware type and version"},
    {4, "Typ a verze loaderu", "Loader type and version"},
    {5, "Výrobní číslo", "Serial number"},
    {6, "MAC adresa", "MAC address"},
    {7, "Aktuální IP adresa", "Current IP address"},
    {8, "Doba běhu [s]", "Run time [sec]"},
    {9, "Cancel", "Cancel"},
    {10, "", ""},
    {11, "", ""},
    {12, "Kopírovat", "Copy"},
};
static_assert(TextTabulkaPlatna(DiagSystemTexts));
static_assert(std::size(DiagSystemTexts) == 13);

constexpr TTextPolozka DiagRS485Texts[] = {
    {0, "", ""},
    {1, " Diagnostika rozhraní Modbus RTU master", "Modbus RTU master interface diagnostics"},
    {2, "Přehled", "Overview"},
    {3, "Celkový počet zpráv", "Total number of messages"},
    {4, "Celkový počet chybných zpráv", "Total number of error messages"},
    {5, "Celkový počet negativních odpovědí", "Total number of negative responses"},
    {6, "Četnost zpráv [zprávy/s]", "Message frequency [messages/sec]"},
    {7, "Vytížení rozhraní master [%]", "Master interface utilization [%]"},
    {8, "Graf", "Chart"},
    {9, "[sek]", "[sec]"},
    {10, "Vymazat", "Clear"},
    {11, "Cancel", "Cancel"},
    {12, "Kopírovat", "Copy"},
    {13, "Uložit graf jako PNG...", "Save chart as PNG..."},
    {14, "Uložit vzorky jako CSV...", "Save samples as CSV..."},
    {15, "Soubor nelze uložit: ", "Cannot save the file: "},
    {16, "Zatím bez vzorků", "No samples yet"},
    {17, "Aktuální vytížení %1 %, nejvyšší %2 %, %3 vzorků",
     "Current utilization %1 %, highest %2 %, %3 samples"},
};
static_assert(TextTabulkaPlatna(DiagRS485Texts));
static_assert(std::size(DiagRS485Texts) == 18);

constexpr TTextPolozka RestartTexts[] = {
    {0, "", ""},
    {1, "Restart konvertoru", "Converter restart"},
    {2, "Opravdu chcete restartovat konvertor?", "Are you sure you want to restart the converter?"},
    {3, "Restart", "Restart"},
    {4, "Cancel", "Cancel"},
    {5, "Probíhá restart konvertoru ...", "The converter is restarting ..."},
    {6, "Konvertor restartován", "Converter restarted"},
};
static_assert(TextTabulkaPlatna(RestartTexts));
static_assert(std::size(RestartTexts) == 7);

} // namespace

namespace Pripojeni {
TTextTabulka Texty() {
    return PripojeniTexts;
}
} // namespace Pripojeni

namespace NastavLanParam {
TTextTabulka Texty() {
    return LanTexts;
}
} // namespace NastavLanParam

namespace NastavModbusTCP {
TTextTabulka Texty() {
    return MbtcpTexts;
}
} // namespace NastavModbusTCP

namespace NastavHlavniLinka {
TTextTabulka Texty() {
    return UartmTexts;
}
} // namespace NastavHlavniLinka

namespace NastavServisniLinka {
TTextTabulka Texty() {
    return UartsTexts;
}
} // namespace NastavServisniLinka

namespace NastavServisniLinkaUSB {
TTextTabulka Texty() {
    return UartsUsbTexts;
}
} // namespace NastavServisniLinkaUSB

namespace DiagSystem {
TTextTabulka Texty() {
    return DiagSystemTexts;
}
} // namespace DiagSystem

namespace DiagRS485 {
TTextTabulka Texty() {
    return DiagRS485Texts;
}
} // namespace DiagRS485

namespace RestartZarizeni {
TTextTabulka Texty() {
    return RestartTexts;
}
} // namespace RestartZarizeni
