// Records of the converter files as JSON (keys = record field names), and
// the editable fields of the four settings files for set and restore.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Json.h"
#include "link/U_TK7713T.h"
#include "link/U_TK7713T_Pole.h"
#include "workflow/NastaveniLogika.h"
#include "workflow/TextyOken.h"

namespace tkcli {

json::Value SysJson(const TTK7713T_SysBin& sys);
json::Value MmrdJson(const TTK7713T_MmrdBin& mmrd);
json::Value MmrgvJson(const TTK7713T_MmrgvBin& mmrgv);
// The dialog's part of cfg.
json::Value ConfigJson(ConfigDialog dialog, const TCFGTK& cfg);

// Upper-case hexadecimal digits, no separators.
std::string HexText(const std::uint8_t* data, std::size_t length);
// A converter text for a terminal: Latin-1 shown as UTF-8, trailing zero
// bytes dropped, other control bytes as \xHH.
std::string DisplayText(std::string_view latin1);
// A JSON scalar as NAME=VALUE text (strings unquoted).
std::string ScalarText(const json::Value& v);

// "lan4", "mbtcp", "uartm", "uarts" and the file names.
bool ConfigByName(std::string_view name, ConfigDialog& dialog);
std::string_view ConfigName(ConfigDialog dialog); // "lan4"
std::string_view FileName(ConfigDialog dialog);   // "lan4.cfg"

// The baud-rate list's rates without their unit, in list order, as
// --baud and baud= take them.
inline constexpr auto kBaudWords = [] {
    std::array<std::string_view, BAUD_LIST_SIZE> words{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = BAUD_LIST_ITEMS[i];
        words[i].remove_suffix(3); // " Bd"
    }
    return words;
}();
// Parity codes 0, 1, 2 as --parity and parity= take them.
inline constexpr std::string_view kParityWords[] = {"none", "even", "odd"};

// The four dialogs' controls side by side.
struct AllControls {
    Lan4Controls lan4;
    MbtcpControls mbtcp;
    UartmControls uartm;
    UartsControls uarts;
};
AllControls ControlsOf(const TCFGTK& cfg);
Verdict Validate(ConfigDialog dialog, const AllControls& controls, TCFGTK& cfg, std::int32_t lang);

// One editable field under two names: the record field's own (KodBaud=8,
// as get prints it and backups hold it) and the name its dialog shows, with
// the dialog's units and words (baud=115200); names and ranges come from the
// file's field table. Text fields go into their text control as given and
// are judged by the dialog's validation; list fields (FieldKind::Code) are
// codes under the record name and words under the alias.
struct FieldSpec : tk7713t::Field {
    ConfigDialog dialog = ConfigDialog::Lan4;
    std::size_t index = 0; // in the file's table, as the dialog's controls run

    bool choice() const { return kind == tk7713t::FieldKind::Code; }
};
std::span<const FieldSpec> Fields(ConfigDialog dialog);
// By record name only: backups hold these.
const FieldSpec* FindField(ConfigDialog dialog, std::string_view name);
// "IP4_Adresa, IP4_Maska, ..."
std::string FieldList(ConfigDialog dialog);

// A name set takes: the record name or the alias.
struct NamedField {
    const FieldSpec* field = nullptr;
    bool alias = false;
};
NamedField FindSetField(ConfigDialog dialog, std::string_view name);
// "ip, mask, ..., IP4_Adresa, IP4_Maska, ..."
std::string SetFieldList(ConfigDialog dialog);
// Values a name takes, for completion and messages: a choice field's words
// (alias) or codes (record name); nothing for a text field.
std::vector<std::string> ChoiceValues(const FieldSpec& field, bool alias);
// Every file's fields with both names, one line each, for set --help.
std::string SetFieldsHelp();

// Puts value into the field's control. false with a message when a choice
// value is not one of its list.
bool ApplyField(const FieldSpec& field, bool alias, const std::string& value, AllControls& controls,
                std::int32_t lang, std::string& message);

} // namespace tkcli
