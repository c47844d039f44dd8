#include "cli/commands/ModbusTexty.h"

#include <iterator>

#include "app/FillIn.h"
#include "cli/CliTexty.h"

namespace tkcli::modbus {

namespace {

constexpr TTextPolozka kTexts[] = {
    {M_NONE, "", ""},
    {M_UNKNOWN_SUBCOMMAND, "Neznámý příkaz modbus %s (read, write, scan)",
     "Unknown modbus command %s (read, write, scan)"},
    {M_UNKNOWN_READ_TABLE, "Neznámá tabulka %s (holding, input, coils, discrete)",
     "Unknown table %s (holding, input, coils, discrete)"},
    {M_UNKNOWN_WRITE_TABLE, "Neznámá tabulka %s (registers, coils)",
     "Unknown table %s (registers, coils)"},
    {M_OPTION_NOT_FOR, "Volba %s nepatří k příkazu modbus %s",
     "Option %s does not apply to modbus %s"},
    {M_BAD_REPEAT, "Neplatný počet opakování %s (0-1000000; 0 = do Ctrl-C)",
     "Invalid repeat count %s (0-1000000; 0 = until Ctrl-C)"},
    {M_BAD_TIMEOUT, "Neplatný timeout Modbus TCP %s (1-65535 ms)",
     "Invalid Modbus TCP timeout %s (1-65535 ms)"},
    {M_BAD_UNITS, "Neplatný rozsah jednotek %s (1-255: N nebo PRVNÍ-POSLEDNÍ)",
     "Invalid unit range %s (1-255: N or FIRST-LAST)"},
    {M_SCAN_PROGRESS, "sken: jednotka %s (%s/%s), nalezeno %s", "scan: unit %s (%s/%s), %s found"},
    {M_SCAN_ANSWERED, "Jednotka %s: odpověděla", "Unit %s: answered"},
    {M_SCAN_EXCEPTION, "Jednotka %s: výjimka %s (%s)", "Unit %s: exception %s (%s)"},
    {M_SCAN_NONE, "Žádná jednotka neodpověděla", "No unit answered"},
    {M_POLL_EXCEPTION, "výjimka %s (%s)", "exception %s (%s)"},
    {M_HELP,
     "Použití: tk7713t [--lan HOST[:PORT]] modbus read holding|input|coils|discrete ADRESA POČET "
     "[--unit N]\n"
     "       tk7713t [--lan HOST[:PORT]] modbus write registers ADRESA HODNOTA... [--unit N]\n"
     "       tk7713t [--lan HOST[:PORT]] modbus write coils ADRESA 0|1... [--unit N]\n"
     "       tk7713t [--lan HOST[:PORT]] modbus scan [--unit PRVNÍ-POSLEDNÍ] [--function F] "
     "[--rate N]\n"
     "\n"
     "Test brány: dotazy Modbus přes server Modbus TCP konvertoru na jednotky\n"
     "na jeho lince master. Jen přes LAN.\n"
     "\n"
     "Adresy se počítají od 0, jak jdou po lince (registr 40001 je adresa 0);\n"
     "s --one-based se zadávají i vypisují od 1.\n"
     "\n"
     "  --unit N            adresa jednotky 0-255 (výchozí 1); 0 = broadcast, jen zápis\n"
     "  --mbtcp-port P      port Modbus TCP konvertoru (výchozí 502)\n"
     "  --mbtcp-timeout MS  čekání na odpověď 1-65535 ms (výchozí 1000)\n"
     "  --one-based         adresy od 1\n"
     "  --repeat N          N dotazů (0 = do Ctrl-C), každý jeden řádek s dobou odezvy;\n"
     "                      na konci (i po Ctrl-C) souhrn\n"
     "  --interval MS       dotaz začne MS po začátku předchozího (10-60000, výchozí 1000)\n"
     "  --json              jeden dokument JSON, při opakování jeden objekt na řádek\n"
     "\n"
     "Zápis jedné hodnoty používá funkci 05 nebo 06, více hodnot 15 nebo 16. Výjimka\n"
     "se vypíše se jménem a radou; u 0x0A a 0x0B následují možné příčiny\n"
     "s nastavením linky master z uartm.cfg (čteno přes TFTP, port z --lan).\n"
     "\n"
     "scan se zeptá každé jednotky rozsahu (výchozí 1-247) na jeden registr\n"
     "na adrese 0 (--function holding|input|coils|discrete), nejvýše --rate dotazů\n"
     "za sekundu (výchozí 10). Odpověď výjimkou znamená, že jednotka je na lince;\n"
     "0x0A, 0x0B a žádná odpověď, že není. Průběh na chybový výstup (--quiet).\n"
     "\n"
     "Návratový kód: 0 odpověď (scan: nalezena jednotka); 1 výjimka, žádná\n"
     "odpověď nebo chyba spojení; 2 neplatný vstup nebo sériové připojení.\n",
     "Usage: tk7713t [--lan HOST[:PORT]] modbus read holding|input|coils|discrete ADDRESS COUNT "
     "[--unit N]\n"
     "       tk7713t [--lan HOST[:PORT]] modbus write registers ADDRESS VALUE... [--unit N]\n"
     "       tk7713t [--lan HOST[:PORT]] modbus write coils ADDRESS 0|1... [--unit N]\n"
     "       tk7713t [--lan HOST[:PORT]] modbus scan [--unit FIRST-LAST] [--function F] [--rate "
     "N]\n"
     "\n"
     "The gateway test: Modbus requests through the converter's Modbus TCP\n"
     "server to the units on its master line. Over the LAN only.\n"
     "\n"
     "Addresses are 0-based, as on the wire (register 40001 is address 0);\n"
     "--one-based takes and prints them from 1.\n"
     "\n"
     "  --unit N            unit id, 0-255 (default 1); 0 = broadcast, writes only\n"
     "  --mbtcp-port P      the converter's Modbus TCP port (default 502)\n"
     "  --mbtcp-timeout MS  wait for an answer, 1-65535 ms (default 1000)\n"
     "  --one-based         addresses count from 1\n"
     "  --repeat N          N requests (0 = until Ctrl-C), one line each with its round\n"
     "                      trip; a summary at the end, also after Ctrl-C\n"
     "  --interval MS       a request starts MS after the one before it started\n"
     "                      (10-60000, default 1000)\n"
     "  --json              one JSON document, or one object per line when repeating\n"
     "\n"
     "One value is written with function 05 or 06, several with 15 or 16. An\n"
     "exception is printed with its name and a hint; for 0x0A and 0x0B the likely\n"
     "causes follow, with the master line's settings from uartm.cfg (read over\n"
     "TFTP, at the port of --lan).\n"
     "\n"
     "scan asks each unit of the range (default 1-247) for one register at\n"
     "address 0 (--function holding|input|coils|discrete), at most --rate requests\n"
     "a second (default 10). An exception answer means the unit is there; 0x0A,\n"
     "0x0B and no answer mean it is not. Progress on standard error (--quiet).\n"
     "\n"
     "Exit status: 0 answered (scan: a unit found); 1 exception, no answer or\n"
     "connection error; 2 invalid input, or a serial connection.\n"},
};
static_assert(TextTabulkaPlatna(kTexts));
static_assert(std::size(kTexts) == M_COUNT);

} // namespace

TTextTabulka Texty() {
    return kTexts;
}

std::string Format(TextId id, std::int32_t lang, std::initializer_list<std::string_view> args) {
    return FillIn(Text(id, lang), args);
}

} // namespace tkcli::modbus
