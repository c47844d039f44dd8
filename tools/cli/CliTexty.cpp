#include "cli/CliTexty.h"

#include <iterator>

#include "app/FillIn.h"

namespace tkcli {

namespace {

constexpr TTextPolozka Texts[] = {
    {T_NONE, "", ""},
    {T_TRY_HELP, "Nápověda: tk7713t --help", "Try: tk7713t --help"},
    {T_MISSING_COMMAND, "Chybí příkaz", "Missing command"},
    {T_UNKNOWN_COMMAND, "Neznámý příkaz: %s", "Unknown command: %s"},
    {T_UNKNOWN_OPTION, "Neznámá volba: %s", "Unknown option: %s"},
    {T_OPTION_NEEDS_VALUE, "Volba %s vyžaduje hodnotu", "Option %s needs a value"},
    {T_OPTION_TWICE, "Volba %s je zadána dvakrát", "Option %s is given twice"},
    {T_BAD_BAUD, "Neplatná komunikační rychlost %s (2400, 4800, 9600, 19200, 38400, 57600, 115200)",
     "Invalid baud rate %s (2400, 4800, 9600, 19200, 38400, 57600, 115200)"},
    {T_BAD_PARITY, "Neplatná parita %s (none, even, odd)", "Invalid parity %s (none, even, odd)"},
    {T_BAD_LANGUAGE, "Neplatný jazyk %s (en, cs)", "Invalid language %s (en, cs)"},
    {T_ONE_INTERFACE, "Zvolte jen jedno rozhraní (--lan, --com/--device, --usb)",
     "Choose one interface only (--lan, --com/--device, --usb)"},
    {T_OPTION_NOT_FOR_INTERFACE, "Volba %s nepatří ke zvolenému rozhraní",
     "Option %s does not apply to the chosen interface"},
    {T_DEVICE_UNSUPPORTED, "Volbu --device tento systém nepodporuje; použijte --com N",
     "--device is not supported on this system; use --com N"},
    {T_UNEXPECTED_ARGUMENT, "Nadbytečný argument: %s", "Unexpected argument: %s"},
    {T_MISSING_ARGUMENT, "Příkaz %s vyžaduje argument %s", "Command %s needs the argument %s"},
    {T_UNKNOWN_CONFIGURATION, "Neznámá konfigurace %s (lan4, mbtcp, uartm, uarts)",
     "Unknown configuration %s (lan4, mbtcp, uartm, uarts)"},
    {T_NOT_NAME_VALUE, "Očekáváno JMÉNO=HODNOTA: %s", "Expected NAME=VALUE: %s"},
    {T_UNKNOWN_FIELD, "Neznámá položka %s (%s)", "Unknown field %s (%s)"},
    {T_FIELD_TWICE, "Položka %s je zadána dvakrát", "Field %s is given twice"},
    {T_BAD_LIST_VALUE, "Neplatná hodnota %s=%s (%s)", "Invalid value %s=%s (%s)"},
    {T_NOTHING_TO_SET, "Zadejte alespoň jedno JMÉNO=HODNOTA", "Give at least one NAME=VALUE"},
    {T_CANNOT_READ_FILE, "Soubor %s nelze přečíst", "Cannot read file %s"},
    {T_CANNOT_WRITE_FILE, "Soubor %s nelze zapsat", "Cannot write file %s"},
    {T_BAD_BACKUP, "Neplatná záloha %s: %s", "Invalid backup %s: %s"},
    {T_MISSING_FIELD, "%s: chybí položka %s", "%s: missing field %s"},
    {T_NO_FILES_IN_BACKUP, "Záloha %s neobsahuje žádný soubor nastavení",
     "Backup %s holds no settings file"},
    {T_STATISTICS_CLEARED, "Statistika vymazána", "Statistics cleared"},
    {T_BACKUP_WRITTEN, "Záloha zapsána: %s", "Backup written: %s"},
    {T_RESTORE_STOPPED, "Obnova zastavena u souboru %s; další soubory nebyly zapsány",
     "Restore stopped at %s; the files after it were not written"},
    {T_WRITTEN_READ_BACK, "%s: zapsáno %s, přečteno %s", "%s: written %s, read back %s"},
    {T_OPTION_ONLY_SCAN, "Volba %s patří jen k příkazu scan", "Option %s applies to scan only"},
    {T_SCAN_NEEDS_INTERFACE, "scan potřebuje --lan ROZSAH, --com N, --device CESTA nebo --usb N",
     "scan needs --lan RANGE, --com N, --device PATH or --usb N"},
    {T_SCAN_OPTION_SEARCHED, "Volba %s nepatří k příkazu scan: sken tuto hodnotu hledá",
     "Option %s does not go with scan: the scan searches for that value"},
    {T_BAD_RANGE, "Neplatný rozsah adres IPv4 %s (a.b.c.d/n nebo PRVNÍ-POSLEDNÍ)",
     "Invalid IPv4 address range %s (a.b.c.d/n or FIRST-LAST)"},
    {T_RANGE_HOST_PART, "Rozsah %s má nastavenou část hostitele; zadejte adresu sítě",
     "Range %s has a host part; give the network's address"},
    {T_RANGE_TOO_LARGE, "Rozsah %s má více než 1024 adres",
     "Range %s holds more than 1024 addresses"},
    {T_RANGE_NOT_UNICAST,
     "Rozsah %s zasahuje adresy, na které se nic neposílá (0.x.x.x, multicast, broadcast)",
     "Range %s reaches addresses that are never probed (0.x.x.x, multicast, broadcast)"},
    {T_BAD_RATE, "Neplatný počet dotazů za sekundu %s (1-1000)",
     "Invalid probe rate %s (1-1000 per second)"},
    {T_BAD_PORT, "Neplatný port %s (1-65535)", "Invalid port %s (1-65535)"},
    {T_SCAN_COUNT, "Sken dotáže %s adres", "The scan probes %s addresses"},
    {T_SCAN_CONFIRM, "Pokračovat? [a/N] ", "Go on? [y/N] "},
    {T_SCAN_NOT_CONFIRMED, "Nepotvrzeno, nic neodesláno (--yes potvrdí předem)",
     "Not confirmed, nothing sent (--yes confirms in advance)"},
    {T_SCAN_PROGRESS_LAN, "sken: %s/%s adres, nalezeno %s", "scan: %s/%s addresses, %s found"},
    {T_SCAN_PROGRESS_SERIAL, "sken: %s Bd, parita %s, adresa %s (%s/%s)",
     "scan: %s Bd, %s parity, address %s (%s/%s)"},
    {T_SCAN_NONE_FOUND, "Nenalezen žádný konvertor", "No converter found"},
    {T_SCAN_NO_SOCKET, "Nelze otevřít soket UDP", "Cannot open a UDP socket"},
    {T_SCAN_FOUND_SERIAL, "Nalezen: %s Bd, parita %s, adresa %s",
     "Found: %s Bd, %s parity, address %s"},
    {T_SCAN_OTHER_DEVICE,
     "Odpověď zařízení, které není podporovaným konvertorem, při %s Bd, parita %s, adresa %s",
     "Answer from a device that is not a supported converter at %s Bd, %s parity, address %s"},
    {T_SCAN_ECHOES, "Dotazy, které se vrátily jen jako vlastní ozvěna: %s",
     "Requests that came back only as their own echo: %s"},
    {T_SCAN_SUPPORTED, "podporován", "supported"},
    {T_SCAN_UNSUPPORTED, "nepodporován", "not supported"},
    {T_BAD_ADDRESS, "Neplatná adresa %s u volby %s", "Invalid address %s for %s"},
    {T_CANNOT_WRITE_OUTPUT, "Výstup nelze zapsat", "Cannot write the output"},
    {T_EMPTY_BACKUP, "Záloha %s je prázdná", "Backup %s is empty"},

    {T_HELP_TOOL,
     "Použití: tk7713t [připojení] [--json] [--lang en|cs] PŘÍKAZ [ARGUMENTY]\n"
     "\n"
     "Nastavuje a sleduje jeden konvertor TK-7713T přes LAN (TFTP) nebo sériový\n"
     "port (Modbus RTU). Každý příkaz nejprve ověří nastavení připojení stejně\n"
     "jako dialog připojení a identifikuje konvertor.\n"
     "\n"
     "Připojení (výchozí: výchozí nastavení programu, LAN 192.168.0.99):\n"
     "  --lan HOST[:PORT]   LAN (TFTP, port 69, není-li zadán); IPv6 jako [ADRESA]:PORT\n"
     "  --ipv6              IPv6 pro --lan\n"
     "  --lan-timeout MS    TFTP timeout 1-65535 ms (výchozí 1000)\n"
     "  --com N             COM port N (1-255)\n"
     "  --device CESTA      sériové zařízení použité jako COM port (ne ve Windows)\n"
     "  --baud RYCHLOST     2400, 4800, 9600, 19200, 38400, 57600 nebo 115200 (výchozí 9600)\n"
     "  --parity P          none, even nebo odd (výchozí even)\n"
     "  --timeout MS        timeout odpovědi 1-65535 ms (výchozí 330)\n"
     "  --address A         adresa konvertoru 1-255 (výchozí 247)\n"
     "  --usb N             USB COM port N (115200 Bd, sudá parita, 330 ms, adresa 255)\n"
     "\n"
     "Výstup:\n"
     "  --json              jeden dokument JSON (klíče jsou jména položek záznamů)\n"
     "  --lang en|cs        jazyk hlášení (výchozí en)\n"
     "  --trace[=hex]       každý paket a rámec dekódovaně na chybový výstup (hex: i bajty)\n"
     "  --help              tato nápověda; PŘÍKAZ --help pro příkaz\n"
     "  --version           verze programu\n"
     "\n"
     "Příkazy:\n"
     "  identify            typ, verze firmware a výrobní číslo\n"
     "  info                informace o konvertoru (sys.bin; s --json všechny položky)\n"
     "  stats [--follow]    pět čítačů linky Modbus RTU master\n"
     "  history [--csv]     180 vzorků vytížení linky master, nejstarší první\n"
     "  get KONFIGURACE     přečte lan4, mbtcp, uartm nebo uarts\n"
     "  set KONFIGURACE JMÉNO=HODNOTA ...  ověří, zapíše a verifikuje nastavení\n"
     "  restart             restartuje konvertor\n"
     "  scan                najde konvertor v rozsahu adres nebo na sériové lince\n"
     "  clear-stats         vymaže statistiku linky master\n"
     "  backup SOUBOR       čtyři soubory nastavení jako jeden dokument JSON (- = výstup)\n"
     "  restore SOUBOR      ověří zálohu, pak zapíše a verifikuje každý soubor\n"
     "  modbus read|write|scan  dotazy Modbus přes bránu na jednotky linky master\n"
     "                      (test brány; jen přes LAN; ne ve verzi pro Windows)\n"
     "\n"
     "Návratový kód: 0 úspěch; 1 chyba spojení, přenosu nebo verifikace;\n"
     "2 neplatný vstup nebo použití; 3 nepodporovaný konvertor.\n",
     "Usage: tk7713t [connection] [--json] [--lang en|cs] COMMAND [ARGUMENTS]\n"
     "\n"
     "Configures and watches one TK-7713T converter over the LAN (TFTP) or a\n"
     "serial port (Modbus RTU). Every command first checks the connection\n"
     "settings as the connection dialog does and identifies the converter.\n"
     "\n"
     "Connection (default: the program's default settings, LAN 192.168.0.99):\n"
     "  --lan HOST[:PORT]   LAN (TFTP, port 69 unless given); IPv6 as [ADDRESS]:PORT\n"
     "  --ipv6              use IPv6 for --lan\n"
     "  --lan-timeout MS    TFTP timeout, 1-65535 ms (default 1000)\n"
     "  --com N             COM port N (1-255)\n"
     "  --device PATH       serial device to use as the COM port (not on Windows)\n"
     "  --baud RATE         2400, 4800, 9600, 19200, 38400, 57600 or 115200 (default 9600)\n"
     "  --parity P          none, even or odd (default even)\n"
     "  --timeout MS        answer timeout, 1-65535 ms (default 330)\n"
     "  --address A         converter address, 1-255 (default 247)\n"
     "  --usb N             USB COM port N (115200 Bd, even parity, 330 ms, address 255)\n"
     "\n"
     "Output:\n"
     "  --json              print one JSON document (keys are the record field names)\n"
     "  --lang en|cs        language of the messages (default en)\n"
     "  --trace[=hex]       every packet and frame, decoded, on standard error (hex: with bytes)\n"
     "  --help              this help; COMMAND --help for one command\n"
     "  --version           the program's version\n"
     "\n"
     "Commands:\n"
     "  identify            type, firmware version and serial number\n"
     "  info                converter information (sys.bin; every field with --json)\n"
     "  stats [--follow]    the five counters of the Modbus RTU master line\n"
     "  history [--csv]     the 180 utilisation samples of the master line, oldest first\n"
     "  get CONFIG          read lan4, mbtcp, uartm or uarts\n"
     "  set CONFIG NAME=VALUE ...  validate, write and verify settings\n"
     "  restart             restart the converter\n"
     "  scan                find converters in an address range or on a serial line\n"
     "  clear-stats         clear the master line statistics\n"
     "  backup FILE         the four settings files as one JSON document (- = stdout)\n"
     "  restore FILE        validate a backup, then write and verify each file\n"
     "  modbus read|write|scan  Modbus requests through the gateway to the units of\n"
     "                      the master line (gateway test; LAN only; not in the\n"
     "                      Windows build)\n"
     "\n"
     "Exit status: 0 success; 1 connection error, failed transfer or verification\n"
     "error; 2 invalid input or usage; 3 unsupported converter.\n"},
    {T_HELP_IDENTIFY,
     "Použití: tk7713t [připojení] identify\n\n"
     "Připojí se, identifikuje konvertor a vypíše typ a verzi a výrobní číslo.\n"
     "S --json: TypVerze, TypModulu, VerzeModulu, VyrCislo.\n",
     "Usage: tk7713t [connection] identify\n\n"
     "Connects, identifies the converter and prints its type and version and\n"
     "its serial number. With --json: TypVerze, TypModulu, VerzeModulu, VyrCislo.\n"},
    {T_HELP_INFO,
     "Použití: tk7713t [připojení] info\n\n"
     "Přečte sys.bin a vypíše řádky okna Informace o konvertoru. S --json všechny\n"
     "položky souboru (IPv4 tečkově, IPv6 jako osm skupin, MAC 00:1A:..., ostatní\n"
     "pole bajtů šestnáctkově).\n",
     "Usage: tk7713t [connection] info\n\n"
     "Reads sys.bin and prints the rows of the converter information window.\n"
     "With --json every field of the file (IPv4 dotted, IPv6 as eight groups,\n"
     "MAC as 00:1A:..., other byte arrays hexadecimal).\n"},
    {T_HELP_STATS,
     "Použití: tk7713t [připojení] stats [--follow]\n\n"
     "Přečte mmrd.bin: PocetZprav, PocetChybnychZprav, PocetNegativnichOdpovedi,\n"
     "CetnostZprav, Vytizeni.\n"
     "S --follow: čte znovu 100 ms po konci každého čtení a vypíše jeden řádek\n"
     "na čtení, začínající místním časem, dokud není přerušen (Ctrl+C); s --json\n"
     "jeden objekt JSON na řádek, čas v \"Cas\". Neúspěšné čtení je hlášeno na\n"
     "chybový výstup a další čtení to zkusí znovu.\n",
     "Usage: tk7713t [connection] stats [--follow]\n\n"
     "Reads mmrd.bin: PocetZprav, PocetChybnychZprav, PocetNegativnichOdpovedi,\n"
     "CetnostZprav, Vytizeni.\n"
     "With --follow: reads again 100 ms after each read ends and prints one line\n"
     "per read, starting with the local time, until interrupted (Ctrl+C); with\n"
     "--json one JSON object per line, its time in \"Cas\". A failed read is\n"
     "reported on the error output and the next read tries again.\n"},
    {T_HELP_HISTORY,
     "Použití: tk7713t [připojení] history [--csv]\n\n"
     "Přečte mmrgv.bin a vypíše 180 vzorků vytížení v procentech, nejstarší první,\n"
     "jeden na řádek. S --json: PocetDat, MaxPocetDat, IndexZapisu, PoleDat.\n"
     "S --csv: CSV se záhlavím seconds_back,percent (stáří vzorku v sekundách,\n"
     "179 pro nejstarší, 0 pro nejnovější).\n",
     "Usage: tk7713t [connection] history [--csv]\n\n"
     "Reads mmrgv.bin and prints the 180 utilisation samples in percent, oldest\n"
     "first, one per line. With --json: PocetDat, MaxPocetDat, IndexZapisu, PoleDat.\n"
     "With --csv: CSV with the header seconds_back,percent (the sample's age in\n"
     "seconds, 179 for the oldest, 0 for the newest).\n"},
    {T_HELP_GET,
     "Použití: tk7713t [připojení] get lan4|mbtcp|uartm|uarts\n\n"
     "Přečte soubor nastavení a vypíše jeho položky jako JMÉNO=HODNOTA\n"
     "(ve tvaru, který přijímá příkaz set).\n",
     "Usage: tk7713t [connection] get lan4|mbtcp|uartm|uarts\n\n"
     "Reads a settings file and prints its fields as NAME=VALUE (the form the\n"
     "set command takes).\n"},
    {T_HELP_SET,
     "Použití: tk7713t [připojení] set KONFIGURACE JMÉNO=HODNOTA ...\n\n"
     "Přečte KONFIGURACI z konvertoru, nahradí jmenované položky, ověří výsledek\n"
     "jako dialog nastavení, zapíše jej a zpětným čtením verifikuje. Nejmenované\n"
     "položky si ponechají současné hodnoty konvertoru. Odmítnutá hodnota nic\n"
     "nezapíše.\n\n"
     "Každá položka má dvě jména: to, které ukazuje její dialog, s jednotkami\n"
     "a slovy dialogu (vlevo), a jméno položky záznamu, jak je vypisuje get\n"
     "a obsahuje záloha, s kódem ze seznamu (vpravo). Obě lze míchat.\n\n"
     "%s\n"
     "unit-id 255 znamená, že alternativní adresa je neaktivní.\n\n"
     "Příklady:\n"
     "  tk7713t --com 3 set uartm baud=115200 parity=odd timeout=500 retries=3\n"
     "  tk7713t --lan 127.0.0.1:6969 set uartm KodBaud=8 Timeout=500\n",
     "Usage: tk7713t [connection] set CONFIG NAME=VALUE ...\n\n"
     "Reads CONFIG from the converter, replaces the named fields, validates the\n"
     "result as the settings dialog does, writes it and reads it back to verify.\n"
     "Fields not named keep the converter's current values. Nothing is written\n"
     "when a value is refused.\n\n"
     "Each field has two names: the one its dialog shows, with the dialog's\n"
     "units and words (left), and the record field's own, as get prints it and\n"
     "backups hold it, with the list's code (right). The two may be mixed.\n\n"
     "%s\n"
     "unit-id 255 makes the alternative address inactive.\n\n"
     "Examples:\n"
     "  tk7713t --com 3 set uartm baud=115200 parity=odd timeout=500 retries=3\n"
     "  tk7713t --lan 127.0.0.1:6969 set uartm KodBaud=8 Timeout=500\n"},
    {T_HELP_RESTART,
     "Použití: tk7713t [připojení] restart\n\nZapíše do ctrl.bin příkaz restartu.\n",
     "Usage: tk7713t [connection] restart\n\nWrites the restart command to ctrl.bin.\n"},
    {T_HELP_CLEAR_STATS,
     "Použití: tk7713t [připojení] clear-stats\n\n"
     "Zapíše do ctrl.bin příkaz, který vymaže statistiku linky Modbus RTU master.\n",
     "Usage: tk7713t [connection] clear-stats\n\n"
     "Writes the command that clears the Modbus RTU master statistics to ctrl.bin.\n"},
    {T_HELP_BACKUP,
     "Použití: tk7713t [připojení] backup SOUBOR\n\n"
     "Přečte lan4.cfg, mbtcp.cfg, uartm.cfg a uarts.cfg a uloží je jako jeden\n"
     "dokument JSON (klíče jsou jména souborů, v nich jména položek). Soubor se\n"
     "nahradí až po přečtení všech čtyř; - vypíše dokument na výstup.\n",
     "Usage: tk7713t [connection] backup FILE\n\n"
     "Reads lan4.cfg, mbtcp.cfg, uartm.cfg and uarts.cfg and saves them as one\n"
     "JSON document (keys are the file names, inside them the field names). The\n"
     "file is replaced only after all four were read; - prints the document.\n"},
    {T_HELP_RESTORE,
     "Použití: tk7713t [připojení] restore SOUBOR\n\n"
     "Ověří všechny hodnoty zálohy pravidly dialogů nastavení, než cokoli pošle;\n"
     "pak zapíše a verifikuje mbtcp.cfg, uartm.cfg, uarts.cfg a lan4.cfg (ty, které\n"
     "záloha obsahuje). Zastaví se u prvního neúspěchu a řekne, u kterého souboru.\n",
     "Usage: tk7713t [connection] restore FILE\n\n"
     "Validates every value of the backup with the settings dialogs' rules before\n"
     "anything is sent; then writes and verifies mbtcp.cfg, uartm.cfg, uarts.cfg\n"
     "and lan4.cfg (those the backup holds). Stops at the first failure and says\n"
     "which file it was.\n"},
    {T_HELP_SCAN,
     "Použití: tk7713t scan --lan ROZSAH [--port P] [--rate N] [--lan-timeout MS] [--yes]\n"
     "       tk7713t scan --com N|--device CESTA|--usb N [--all-addresses]\n\n"
     "Hledá konvertor, jehož adresa nebo nastavení linky nejsou známy.\n\n"
     "LAN: ROZSAH je a.b.c.d/n (bez adresy sítě a broadcastu) nebo PRVNÍ-POSLEDNÍ,\n"
     "nejvýše 1024 adres. Každé adrese pošle jeden požadavek TFTP na info.txt (port 69,\n"
     "--port P), nejvýše --rate dotazů za sekundu (výchozí 100), čeká --lan-timeout ms\n"
     "(výchozí 1000) a každý zahájený přenos slušně ukončí. Nad 256 adres se nejprve\n"
     "zeptá (--yes otázku vynechá).\n\n"
     "Sériová linka: zkouší výchozí nastavení připojení, pak každou rychlost se sudou,\n"
     "žádnou a lichou paritou, vždy s adresami 247, 255 a 1; s --all-addresses pak\n"
     "i ostatní adresy. Skončí u prvního podporovaného konvertoru; jiné zařízení,\n"
     "které odpoví, vypíše a hledá dál. Ozvěnu vlastního dotazu nebere jako odpověď.\n\n"
     "Průběh jde na chybový výstup (--quiet jej vypne), mimo terminál po řádcích;\n"
     "--json dá pole JSON. Ctrl-C sken zastaví a vypíše, co bylo nalezeno.\n"
     "Návratový kód 0, byl-li nalezen aspoň jeden konvertor (na sériové lince\n"
     "podporovaný), jinak 1.\n",
     "Usage: tk7713t scan --lan RANGE [--port P] [--rate N] [--lan-timeout MS] [--yes]\n"
     "       tk7713t scan --com N|--device PATH|--usb N [--all-addresses]\n\n"
     "Finds a converter whose address or line settings are unknown.\n\n"
     "LAN: RANGE is a.b.c.d/n (without the network and broadcast addresses) or\n"
     "FIRST-LAST, at most 1024 addresses. Sends each address one TFTP read request\n"
     "for info.txt (port 69, --port P), at most --rate requests per second (default\n"
     "100), waits --lan-timeout ms (default 1000) and ends every transfer it started\n"
     "politely. Above 256 addresses it asks first (--yes skips the question).\n\n"
     "Serial line: tries the connection defaults, then every baud rate with even,\n"
     "none and odd parity, each with addresses 247, 255 and 1; with --all-addresses\n"
     "then every other address. Stops at the first supported converter; another\n"
     "device that answers is listed and the scan goes on. An echo of the request\n"
     "is no answer.\n\n"
     "Progress goes to standard error (--quiet turns it off), line by line when that\n"
     "is no terminal; --json gives a JSON array. Ctrl-C stops the scan and prints\n"
     "what was found. Exit status 0 when at least one converter was found (on a\n"
     "serial line a supported one), else 1.\n"},
    {T_OPTION_NOT_FOR_COMMAND, "Volba %s nepatří k příkazu %s",
     "Option %s does not apply to the command %s"},
    {T_TRY_HELP_SET, "Nápověda: tk7713t set --help", "Try: tk7713t set --help"},
};
static_assert(TextTabulkaPlatna(Texts));
static_assert(std::size(Texts) == T_COUNT);

} // namespace

TTextTabulka Texty() {
    return Texts;
}

std::string Format(CliText id, std::int32_t lang, std::initializer_list<std::string_view> args) {
    return FillIn(Text(id, lang), args);
}

} // namespace tkcli
