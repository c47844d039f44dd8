#include "cli/CliZaznamy.h"

#include <cstdio>

#include "cli/CliTexty.h"
#include "workflow/DiagnostikaLogika.h"
#include "workflow/FieldText.h"

namespace tkcli {

namespace {

using json::Value;

template <std::size_t N>
Value hexValue(const std::array<std::uint8_t, N>& a) {
    return Value::string(HexText(a.data(), a.size()));
}

const FieldSpec kLan4Fields[] = {
    {"IP4_Adresa", false, 0, 0, 0, [](AllControls& c, const std::string& t, std::int32_t) { c.lan4.Address = t; }},
    {"IP4_Maska", false, 0, 0, 0, [](AllControls& c, const std::string& t, std::int32_t) { c.lan4.Mask = t; }},
    {"IP4_Brana", false, 0, 0, 0, [](AllControls& c, const std::string& t, std::int32_t) { c.lan4.Gateway = t; }},
    {"IP4_DHCP", true, 0, 1, 0, [](AllControls& c, const std::string&, std::int32_t p) { c.lan4.Mode = p; }},
};
const FieldSpec kMbtcpFields[] = {
    {"UnitID", false, 0, 0, 0,
     [](AllControls& c, const std::string& t, std::int32_t) { c.mbtcp.AlternativeAddress = t; }},
    {"Timeout", false, 0, 0, 0, [](AllControls& c, const std::string& t, std::int32_t) { c.mbtcp.Timeout = t; }},
};
const FieldSpec kUartmFields[] = {
    {"KodBaud", true, 2, 8, 2, [](AllControls& c, const std::string&, std::int32_t p) { c.uartm.Baud = p; }},
    {"KodParita", true, 0, 2, 0, [](AllControls& c, const std::string&, std::int32_t p) { c.uartm.Parity = p; }},
    {"Timeout", false, 0, 0, 0, [](AllControls& c, const std::string& t, std::int32_t) { c.uartm.Timeout = t; }},
    {"Opakovani", false, 0, 0, 0, [](AllControls& c, const std::string& t, std::int32_t) { c.uartm.Retries = t; }},
};
const FieldSpec kUartsFields[] = {
    {"Adresa", false, 0, 0, 0, [](AllControls& c, const std::string& t, std::int32_t) { c.uarts.Address = t; }},
    {"KodBaud", true, 2, 8, 2, [](AllControls& c, const std::string&, std::int32_t p) { c.uarts.Baud = p; }},
    {"KodParita", true, 0, 2, 0, [](AllControls& c, const std::string&, std::int32_t p) { c.uarts.Parity = p; }},
    {"Repeater", true, 0, 1, 0, [](AllControls& c, const std::string&, std::int32_t p) { c.uarts.Routing = p; }},
};

}  // namespace

std::string HexText(const std::uint8_t* data, std::size_t length) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < length; ++i) {
        out.push_back(digits[data[i] >> 4]);
        out.push_back(digits[data[i] & 0x0F]);
    }
    return out;
}

std::string DisplayText(std::string_view latin1) {
    while (!latin1.empty() && latin1.back() == '\0') {
        latin1.remove_suffix(1);
    }
    std::string out;
    for (char ch : latin1) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            out += json::latin1ToUtf8(std::string_view(&ch, 1));
        }
    }
    return out;
}

std::string ScalarText(const json::Value& v) {
    switch (v.kind) {
    case Value::Kind::Null: return "null";
    case Value::Kind::Bool: return v.boolean ? "true" : "false";
    default: return v.text;
    }
}

Value SysJson(const TTK7713T_SysBin& s) {
    Value o = Value::object();
    o.add("TypFW", Value::bytes(s.TypFW));
    o.add("TypLoader", Value::bytes(s.TypLoader));
    o.add("VyrCislo", Value::bytes(s.VyrCislo));
    Value& h = o.add("AktualHBIN", Value::object());
    h.add("Delka", Value::number(s.AktualHBIN.Delka));
    h.add("Hash", hexValue(s.AktualHBIN.Hash));
    h.add("DatumCas", hexValue(s.AktualHBIN.DatumCas));
    h.add("NazevFW", Value::bytes(s.AktualHBIN.NazevFW));
    o.add("MAC", Value::string(MacText(s.MAC)));
    o.add("IP4_Adresa", Value::string(IP4NaText(s.IP4_Adresa)));
    o.add("IP4_Maska", Value::string(IP4NaText(s.IP4_Maska)));
    o.add("IP4_Brana", Value::string(IP4NaText(s.IP4_Brana)));
    o.add("IP4_DHCP", Value::number(s.IP4_DHCP));
    o.add("IP6_LLA", Value::string(IP6NaText(s.IP6_LLA)));
    o.add("IP6_GUA", Value::string(IP6NaText(s.IP6_GUA)));
    o.add("IP6_Maska", Value::string(IP6NaText(s.IP6_Maska)));
    o.add("IP6_Brana", Value::string(IP6NaText(s.IP6_Brana)));
    o.add("IP6_DHCP", Value::number(s.IP6_DHCP));
    o.add("UptimeMs", Value::number(s.UptimeMs));
    o.add("UptimeMsH", Value::number(s.UptimeMsH));
    o.add("Uptime10Ms", Value::number(s.Uptime10Ms));
    o.add("UptimeS", Value::number(s.UptimeS));
    o.add("RTCr", hexValue(s.RTCr));
    o.add("CasVypnuti", hexValue(s.CasVypnuti));
    o.add("CasZapnuti", hexValue(s.CasZapnuti));
    o.add("Priznaky", Value::number(s.Priznaky));
    o.add("CitacVypnuti", Value::number(s.CitacVypnuti));
    o.add("CitacStudenyStart", Value::number(s.CitacStudenyStart));
    o.add("CitacTeplyStart", Value::number(s.CitacTeplyStart));
    o.add("CitacGlobalAuth", Value::number(s.CitacGlobalAuth));
    o.add("CitacLinkDown", Value::number(s.CitacLinkDown));
    o.add("TeplotaUP", Value::real(s.TeplotaUP));
    o.add("TeplotaUP_Min", Value::real(s.TeplotaUP_Min));
    o.add("TeplotaUP_Max", Value::real(s.TeplotaUP_Max));
    o.add("TeplotaUP_Status", Value::number(s.TeplotaUP_Status));
    o.add("TeplotaUP_CasZnacka", Value::number(s.TeplotaUP_CasZnacka));
    o.add("TeplotaUP_DatumCas", hexValue(s.TeplotaUP_DatumCas));
    o.add("TeplotaUP_CisloMereni", Value::number(s.TeplotaUP_CisloMereni));
    o.add("TeplotaDPS", Value::real(s.TeplotaDPS));
    o.add("TeplotaDPS_Min", Value::real(s.TeplotaDPS_Min));
    o.add("TeplotaDPS_Max", Value::real(s.TeplotaDPS_Max));
    o.add("TeplotaDPS_Status", Value::number(s.TeplotaDPS_Status));
    o.add("TeplotaDPS_CasZnacka", Value::number(s.TeplotaDPS_CasZnacka));
    o.add("TeplotaDPS_DatumCas", hexValue(s.TeplotaDPS_DatumCas));
    o.add("TeplotaDPS_CisloMereni", Value::number(s.TeplotaDPS_CisloMereni));
    o.add("NapetiPWR", Value::real(s.NapetiPWR));
    o.add("NapetiPWR_Nekalib", Value::real(s.NapetiPWR_Nekalib));
    o.add("NapetiPWR_Min", Value::real(s.NapetiPWR_Min));
    o.add("NapetiPWR_Max", Value::real(s.NapetiPWR_Max));
    o.add("NapetiPWR_Status", Value::number(s.NapetiPWR_Status));
    o.add("NapetiPWR_CasZnacka", Value::number(s.NapetiPWR_CasZnacka));
    o.add("NapetiPWR_DatumCas", hexValue(s.NapetiPWR_DatumCas));
    o.add("NapetiPWR_CisloMereni", Value::number(s.NapetiPWR_CisloMereni));
    return o;
}

Value MmrdJson(const TTK7713T_MmrdBin& m) {
    Value o = Value::object();
    o.add("PocetZprav", Value::number(m.PocetZprav));
    o.add("PocetChybnychZprav", Value::number(m.PocetChybnychZprav));
    o.add("PocetNegativnichOdpovedi", Value::number(m.PocetNegativnichOdpovedi));
    o.add("CetnostZprav", Value::number(m.CetnostZprav));
    o.add("Vytizeni", Value::number(m.Vytizeni));
    return o;
}

Value MmrgvJson(const TTK7713T_MmrgvBin& m) {
    Value o = Value::object();
    o.add("PocetDat", Value::number(m.PocetDat));
    o.add("MaxPocetDat", Value::number(m.MaxPocetDat));
    o.add("IndexZapisu", Value::number(m.IndexZapisu));
    Value& a = o.add("PoleDat", Value::array());
    for (std::uint8_t sample : m.PoleDat) {
        a.push(Value::number(sample));
    }
    return o;
}

Value ConfigJson(ConfigDialog dialog, const TCFGTK& cfg) {
    Value o = Value::object();
    switch (dialog) {
    case ConfigDialog::Lan4:
        o.add("IP4_Adresa", Value::string(IP4NaText(cfg.LAN4.IP4_Adresa)));
        o.add("IP4_Maska", Value::string(IP4NaText(cfg.LAN4.IP4_Maska)));
        o.add("IP4_Brana", Value::string(IP4NaText(cfg.LAN4.IP4_Brana)));
        o.add("IP4_DHCP", Value::number(cfg.LAN4.IP4_DHCP));
        break;
    case ConfigDialog::Mbtcp:
        o.add("UnitID", Value::number(cfg.MBTCP.UnitID));
        o.add("Timeout", Value::number(cfg.MBTCP.Timeout));
        break;
    case ConfigDialog::Uartm:
        o.add("KodBaud", Value::number(cfg.UARTM.KodBaud));
        o.add("KodParita", Value::number(cfg.UARTM.KodParita));
        o.add("Timeout", Value::number(cfg.UARTM.Timeout));
        o.add("Opakovani", Value::number(cfg.UARTM.Opakovani));
        break;
    case ConfigDialog::Uarts:
        o.add("Adresa", Value::number(cfg.UARTS.Adresa));
        o.add("KodBaud", Value::number(cfg.UARTS.KodBaud));
        o.add("KodParita", Value::number(cfg.UARTS.KodParita));
        o.add("Repeater", Value::number(cfg.UARTS.Repeater));
        break;
    }
    return o;
}

bool ConfigByName(std::string_view name, ConfigDialog& dialog) {
    for (ConfigDialog d : {ConfigDialog::Lan4, ConfigDialog::Mbtcp, ConfigDialog::Uartm, ConfigDialog::Uarts}) {
        if (name == ConfigName(d) || name == FileName(d)) {
            dialog = d;
            return true;
        }
    }
    return false;
}

std::string_view ConfigName(ConfigDialog dialog) {
    switch (dialog) {
    case ConfigDialog::Lan4: return "lan4";
    case ConfigDialog::Mbtcp: return "mbtcp";
    case ConfigDialog::Uartm: return "uartm";
    case ConfigDialog::Uarts: break;
    }
    return "uarts";
}

std::string_view FileName(ConfigDialog dialog) {
    switch (dialog) {
    case ConfigDialog::Lan4: return "lan4.cfg";
    case ConfigDialog::Mbtcp: return "mbtcp.cfg";
    case ConfigDialog::Uartm: return "uartm.cfg";
    case ConfigDialog::Uarts: break;
    }
    return "uarts.cfg";
}

AllControls ControlsOf(const TCFGTK& cfg) {
    return AllControls{ZapisOkno(cfg.LAN4), ZapisOkno(cfg.MBTCP), ZapisOkno(cfg.UARTM), ZapisOkno(cfg.UARTS)};
}

Verdict Validate(ConfigDialog dialog, const AllControls& c, TCFGTK& cfg, std::int32_t lang) {
    switch (dialog) {
    case ConfigDialog::Lan4: return PrectiOkno(c.lan4, cfg, lang);
    case ConfigDialog::Mbtcp: return PrectiOkno(c.mbtcp, cfg, lang);
    case ConfigDialog::Uartm: return PrectiOkno(c.uartm, cfg, lang);
    case ConfigDialog::Uarts: break;
    }
    return PrectiOkno(c.uarts, cfg, lang);
}

std::span<const FieldSpec> Fields(ConfigDialog dialog) {
    switch (dialog) {
    case ConfigDialog::Lan4: return kLan4Fields;
    case ConfigDialog::Mbtcp: return kMbtcpFields;
    case ConfigDialog::Uartm: return kUartmFields;
    case ConfigDialog::Uarts: break;
    }
    return kUartsFields;
}

const FieldSpec* FindField(ConfigDialog dialog, std::string_view name) {
    for (const FieldSpec& f : Fields(dialog)) {
        if (f.name == name) {
            return &f;
        }
    }
    return nullptr;
}

std::string FieldList(ConfigDialog dialog) {
    std::string out;
    for (const FieldSpec& f : Fields(dialog)) {
        out += out.empty() ? "" : ", ";
        out += f.name;
    }
    return out;
}

bool ApplyField(const FieldSpec& field, const std::string& value, AllControls& controls,
                std::int32_t lang, std::string& message) {
    if (!field.choice) {
        field.set(controls, value, 0);
        return true;
    }
    std::int32_t code = 0;
    if (!ParseWholeNumberIn(value, field.lo, field.hi, code)) {
        const std::string range = std::to_string(field.lo) + "-" + std::to_string(field.hi);
        message = Format(T_BAD_LIST_VALUE, lang, {field.name, value, range});
        return false;
    }
    field.set(controls, value, code - field.first);
    return true;
}

}  // namespace tkcli
