// Records of the converter files as JSON (keys = record field names), and
// the editable fields of the four settings files for set and restore.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Json.h"
#include "link/U_TK7713T.h"
#include "workflow/NastaveniLogika.h"

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
std::string_view ConfigName(ConfigDialog dialog);  // "lan4"
std::string_view FileName(ConfigDialog dialog);    // "lan4.cfg"

// The four dialogs' controls side by side.
struct AllControls {
    Lan4Controls lan4;
    MbtcpControls mbtcp;
    UartmControls uartm;
    UartsControls uarts;
};
AllControls ControlsOf(const TCFGTK& cfg);
Verdict Validate(ConfigDialog dialog, const AllControls& controls, TCFGTK& cfg, std::int32_t lang);

// One editable field. Text fields go into their text control as given and
// are judged by the dialog's validation; choice fields are list codes.
struct FieldSpec {
    std::string_view name;
    bool choice;
    std::int32_t lo;     // choice: lowest code
    std::int32_t hi;     // choice: highest code
    std::int32_t first;  // choice: code at list position 0
    void (*set)(AllControls& c, const std::string& text, std::int32_t position);
};
std::span<const FieldSpec> Fields(ConfigDialog dialog);
const FieldSpec* FindField(ConfigDialog dialog, std::string_view name);
// "IP4_Adresa, IP4_Maska, ..."
std::string FieldList(ConfigDialog dialog);

// Puts value into the field's control. false with a message when a choice
// value is not a code of its list.
bool ApplyField(const FieldSpec& field, const std::string& value, AllControls& controls,
                std::int32_t lang, std::string& message);

}  // namespace tkcli
