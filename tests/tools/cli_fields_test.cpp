// The names set takes: every field's alias, in its dialog's units and
// words, lands in the record exactly as the record name with its code does.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "cli/CliZaznamy.h"
#include "cli/Json.h"

namespace {

using namespace tkcli;

// NAME=VALUE applied to the default configuration and validated; the
// file's part as JSON, or the refusal.
std::string applied(ConfigDialog dialog, const std::string& assignment) {
    const auto eq = assignment.find('=');
    const NamedField named = FindSetField(dialog, assignment.substr(0, eq));
    if (named.field == nullptr) {
        return "unknown";
    }
    TCFGTK cfg = VychoziCFGTK();
    AllControls controls = ControlsOf(cfg);
    std::string message;
    if (!ApplyField(*named.field, named.alias, assignment.substr(eq + 1), controls, LANG_EN,
                    message)) {
        return message;
    }
    const Verdict v = Validate(dialog, controls, cfg, LANG_EN);
    return v.Accepted ? json::write(ConfigJson(dialog, cfg)) : v.StatusLine;
}

struct AliasCase {
    ConfigDialog dialog;
    const char* alias;
    const char* record;
};

// Each value differs from the factory one, so a field that went nowhere shows.
const AliasCase kAliases[] = {
    {ConfigDialog::Lan4, "ip=10.1.2.3", "IP4_Adresa=10.1.2.3"},
    {ConfigDialog::Lan4, "mask=255.0.0.0", "IP4_Maska=255.0.0.0"},
    {ConfigDialog::Lan4, "gateway=10.0.0.1", "IP4_Brana=10.0.0.1"},
    {ConfigDialog::Lan4, "dhcp=on", "IP4_DHCP=1"},
    {ConfigDialog::Mbtcp, "unit-id=7", "UnitID=7"},
    {ConfigDialog::Mbtcp, "timeout=9", "Timeout=9"},
    {ConfigDialog::Uartm, "baud=2400", "KodBaud=2"},
    {ConfigDialog::Uartm, "baud=115200", "KodBaud=8"},
    {ConfigDialog::Uartm, "parity=odd", "KodParita=2"},
    {ConfigDialog::Uartm, "timeout=500", "Timeout=500"},
    {ConfigDialog::Uartm, "retries=3", "Opakovani=3"},
    {ConfigDialog::Uarts, "address=12", "Adresa=12"},
    {ConfigDialog::Uarts, "baud=19200", "KodBaud=5"},
    {ConfigDialog::Uarts, "parity=none", "KodParita=0"},
    {ConfigDialog::Uarts, "routing=on", "Repeater=1"},
};

TEST(SetNames, EveryAliasMeansItsRecordField) {
    const std::string factory[] = {json::write(ConfigJson(ConfigDialog::Lan4, VychoziCFGTK())),
                                   json::write(ConfigJson(ConfigDialog::Mbtcp, VychoziCFGTK())),
                                   json::write(ConfigJson(ConfigDialog::Uartm, VychoziCFGTK())),
                                   json::write(ConfigJson(ConfigDialog::Uarts, VychoziCFGTK()))};
    std::set<std::string> covered;
    for (const AliasCase& c : kAliases) {
        const std::string byRecord = applied(c.dialog, c.record);
        EXPECT_EQ(applied(c.dialog, c.alias), byRecord) << c.alias;
        EXPECT_NE(byRecord, factory[static_cast<int>(c.dialog)]) << c.record;
        covered.insert(std::string(ConfigName(c.dialog)) + " " + c.alias);
    }
    // The way back: off is the factory's manual mode and disabled routing.
    EXPECT_EQ(applied(ConfigDialog::Lan4, "dhcp=off"), factory[0]);
    EXPECT_EQ(applied(ConfigDialog::Uarts, "routing=off"), factory[3]);
    for (ConfigDialog d :
         {ConfigDialog::Lan4, ConfigDialog::Mbtcp, ConfigDialog::Uartm, ConfigDialog::Uarts}) {
        for (const FieldSpec& f : Fields(d)) {
            const std::string prefix =
                std::string(ConfigName(d)) + " " + std::string(f.alias) + "=";
            const auto it = covered.lower_bound(prefix);
            EXPECT_TRUE(it != covered.end() && it->rfind(prefix, 0) == 0)
                << prefix << " is not tried";
        }
    }
}

// Record names take codes, aliases words: neither takes the other's form.
TEST(SetNames, EachNameTakesOnlyItsOwnForm) {
    EXPECT_EQ(applied(ConfigDialog::Uartm, "KodBaud=115200"), "Invalid value KodBaud=115200 (2-8)");
    EXPECT_EQ(applied(ConfigDialog::Uartm, "baud=8"),
              "Invalid value baud=8 (2400, 4800, 9600, 19200, 38400, 57600, 115200)");
    EXPECT_EQ(applied(ConfigDialog::Uarts, "KodParita=odd"), "Invalid value KodParita=odd (0-2)");
    EXPECT_EQ(applied(ConfigDialog::Uarts, "parity=ODD"),
              "Invalid value parity=ODD (none, even, odd)");
    EXPECT_EQ(applied(ConfigDialog::Lan4, "dhcp=1"), "Invalid value dhcp=1 (off, on)");
    EXPECT_EQ(applied(ConfigDialog::Mbtcp, "timeout=0"), " Invalid TCP timeout (1-255)");
    EXPECT_EQ(applied(ConfigDialog::Uartm, "Retries=3"), "unknown");
    EXPECT_EQ(applied(ConfigDialog::Lan4, "routing=on"), "unknown") << "routing lives in uarts";
    // Backups hold record names only.
    EXPECT_EQ(FindField(ConfigDialog::Uartm, "baud"), nullptr);
}

} // namespace
