#include "cli/CliZaznamy.h"

#include <algorithm>
#include <cstdio>
#include <tuple>
#include <type_traits>

#include "cli/CliTexty.h"
#include "workflow/DiagnostikaLogika.h"
#include "workflow/FieldText.h"

namespace tkcli {

namespace {

using json::Value;

// A record field's value as its kind shows it.
Value fieldValue(const tk7713t::Field&, const std::string& text) {
    return Value::bytes(text);
}
Value fieldValue(const tk7713t::Field&, double v) {
    return Value::real(v);
}
template <class T> Value fieldValue(const tk7713t::Field&, T v) {
    return Value::number(static_cast<std::uint32_t>(v));
}
template <std::size_t N>
Value fieldValue(const tk7713t::Field& f, const std::array<std::uint8_t, N>& a) {
    using tk7713t::FieldKind;
    if constexpr (N == 4) {
        if (f.kind == FieldKind::Address) {
            return Value::string(IP4NaText(a));
        }
    } else if constexpr (N == 6) {
        if (f.kind == FieldKind::Mac) {
            return Value::string(MacText(a));
        }
    } else if constexpr (N == 16) {
        if (f.kind == FieldKind::Address6) {
            return Value::string(IP6NaText(a));
        }
    }
    return Value::string(HexText(a.data(), a.size()));
}

// Adds the field to o; "AktualHBIN.Delka" as Delka of the object AktualHBIN.
template <class T> void addField(Value& o, const tk7713t::Field& f, const T& member) {
    std::string_view name = f.name;
    Value* into = &o;
    if (const auto dot = name.find('.'); dot != name.npos) {
        const std::string group(name.substr(0, dot));
        if (o.members.empty() || o.members.back().first != group) {
            o.add(group, Value::object());
        }
        into = &o.members.back().second;
        name.remove_prefix(dot + 1);
    }
    into->add(std::string(name), fieldValue(f, member));
}

// Address mode (manual, DHCP) and routing (disable, enable).
constexpr std::string_view kOffOnWords[] = {"off", "on"};

// A list field's words, one for each code from the lowest.
std::span<const std::string_view> wordsOf(const FieldSpec& f) {
    if (f.alias == "baud") {
        return kBaudWords;
    }
    return f.alias == "parity" ? std::span<const std::string_view>(kParityWords) : kOffOnWords;
}

// What a text field takes, for the help: "a.b.c.d", "1-65535 ms".
std::string valuesText(const FieldSpec& f) {
    if (f.kind == tk7713t::FieldKind::Address) {
        return "a.b.c.d";
    }
    std::string text = std::to_string(f.min) + "-" + std::to_string(f.max);
    return f.unit.empty() ? text : text + " " + std::string(f.unit);
}

template <tk7713t::FileId F> constexpr auto specsOf(ConfigDialog dialog) {
    constexpr auto& table = tk7713t::FileFields<F>::table;
    std::array<FieldSpec, std::size(table)> specs{};
    for (std::size_t i = 0; i < specs.size(); ++i) {
        specs[i] = FieldSpec{table[i], dialog, i};
    }
    return specs;
}
constexpr auto kLan4Fields = specsOf<tk7713t::FileId::Lan4>(ConfigDialog::Lan4);
constexpr auto kMbtcpFields = specsOf<tk7713t::FileId::Mbtcp>(ConfigDialog::Mbtcp);
constexpr auto kUartmFields = specsOf<tk7713t::FileId::Uartm>(ConfigDialog::Uartm);
constexpr auto kUartsFields = specsOf<tk7713t::FileId::Uarts>(ConfigDialog::Uarts);

// Calls f with the dialog's controls in its file's table order.
template <class F> void withControls(AllControls& c, ConfigDialog d, F&& f) {
    switch (d) {
    case ConfigDialog::Lan4:
        return f(std::tie(c.lan4.Address, c.lan4.Mask, c.lan4.Gateway, c.lan4.Mode));
    case ConfigDialog::Mbtcp:
        return f(std::tie(c.mbtcp.AlternativeAddress, c.mbtcp.Timeout));
    case ConfigDialog::Uartm:
        return f(std::tie(c.uartm.Baud, c.uartm.Parity, c.uartm.Timeout, c.uartm.Retries));
    case ConfigDialog::Uarts:
        break;
    }
    f(std::tie(c.uarts.Address, c.uarts.Baud, c.uarts.Parity, c.uarts.Routing));
}

// A text control takes the text, a list its position.
void assign(std::string& control, const std::string& text, std::int32_t) {
    control = text;
}
void assign(std::int32_t& control, const std::string&, std::int32_t position) {
    control = position;
}

void setControl(AllControls& c, const FieldSpec& field, const std::string& text,
                std::int32_t position) {
    withControls(c, field.dialog, [&](auto controls) {
        std::apply(
            [&](auto&... control) {
                std::size_t i = 0;
                ((i++ == field.index ? assign(control, text, position) : void()), ...);
            },
            controls);
    });
}

std::string joined(const std::vector<std::string>& items, std::string_view separator) {
    std::string out;
    for (const std::string& item : items) {
        out += out.empty() ? "" : separator;
        out += item;
    }
    return out;
}

} // namespace

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
    case Value::Kind::Null:
        return "null";
    case Value::Kind::Bool:
        return v.boolean ? "true" : "false";
    default:
        return v.text;
    }
}

Value SysJson(const TTK7713T_SysBin& s) {
    Value o = Value::object();
    tk7713t::forEachField(tk7713t::FileFields<tk7713t::FileId::Sys>{}, s,
                          [&](const tk7713t::Field& f, const auto& m) { addField(o, f, m); });
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
    WithPart(dialog, cfg, [&](auto file, const auto& part) {
        tk7713t::forEachField(file, part,
                              [&](const tk7713t::Field& f, const auto& m) { addField(o, f, m); });
    });
    return o;
}

bool ConfigByName(std::string_view name, ConfigDialog& dialog) {
    for (ConfigDialog d :
         {ConfigDialog::Lan4, ConfigDialog::Mbtcp, ConfigDialog::Uartm, ConfigDialog::Uarts}) {
        if (name == ConfigName(d) || name == FileName(d)) {
            dialog = d;
            return true;
        }
    }
    return false;
}

std::string_view ConfigName(ConfigDialog dialog) {
    switch (dialog) {
    case ConfigDialog::Lan4:
        return "lan4";
    case ConfigDialog::Mbtcp:
        return "mbtcp";
    case ConfigDialog::Uartm:
        return "uartm";
    case ConfigDialog::Uarts:
        break;
    }
    return "uarts";
}

std::string_view FileName(ConfigDialog dialog) {
    switch (dialog) {
    case ConfigDialog::Lan4:
        return "lan4.cfg";
    case ConfigDialog::Mbtcp:
        return "mbtcp.cfg";
    case ConfigDialog::Uartm:
        return "uartm.cfg";
    case ConfigDialog::Uarts:
        break;
    }
    return "uarts.cfg";
}

AllControls ControlsOf(const TCFGTK& cfg) {
    return AllControls{ZapisOkno(cfg.LAN4), ZapisOkno(cfg.MBTCP), ZapisOkno(cfg.UARTM),
                       ZapisOkno(cfg.UARTS)};
}

Verdict Validate(ConfigDialog dialog, const AllControls& c, TCFGTK& cfg, std::int32_t lang) {
    switch (dialog) {
    case ConfigDialog::Lan4:
        return PrectiOkno(c.lan4, cfg, lang);
    case ConfigDialog::Mbtcp:
        return PrectiOkno(c.mbtcp, cfg, lang);
    case ConfigDialog::Uartm:
        return PrectiOkno(c.uartm, cfg, lang);
    case ConfigDialog::Uarts:
        break;
    }
    return PrectiOkno(c.uarts, cfg, lang);
}

std::span<const FieldSpec> Fields(ConfigDialog dialog) {
    switch (dialog) {
    case ConfigDialog::Lan4:
        return kLan4Fields;
    case ConfigDialog::Mbtcp:
        return kMbtcpFields;
    case ConfigDialog::Uartm:
        return kUartmFields;
    case ConfigDialog::Uarts:
        break;
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
    std::vector<std::string> names;
    for (const FieldSpec& f : Fields(dialog)) {
        names.emplace_back(f.name);
    }
    return joined(names, ", ");
}

NamedField FindSetField(ConfigDialog dialog, std::string_view name) {
    for (const FieldSpec& f : Fields(dialog)) {
        if (f.name == name || f.alias == name) {
            return {&f, f.alias == name};
        }
    }
    return {};
}

std::string SetFieldList(ConfigDialog dialog) {
    std::vector<std::string> names;
    for (const FieldSpec& f : Fields(dialog)) {
        names.emplace_back(f.alias);
    }
    return joined(names, ", ") + ", " + FieldList(dialog);
}

std::vector<std::string> ChoiceValues(const FieldSpec& field, bool alias) {
    std::vector<std::string> values;
    if (field.choice()) {
        const auto words = wordsOf(field);
        for (std::int32_t code = field.min; code <= field.max; ++code) {
            values.push_back(alias ? std::string(words[static_cast<std::size_t>(code - field.min)])
                                   : std::to_string(code));
        }
    }
    return values;
}

std::string SetFieldsHelp() {
    std::string out;
    for (ConfigDialog d :
         {ConfigDialog::Lan4, ConfigDialog::Mbtcp, ConfigDialog::Uartm, ConfigDialog::Uarts}) {
        std::string file(ConfigName(d));
        for (const FieldSpec& f : Fields(d)) {
            std::string alias = std::string(f.alias) + "=";
            std::string record(f.name);
            if (f.choice()) {
                alias += joined(ChoiceValues(f, true), "|");
                record.append("=")
                    .append(std::to_string(f.min))
                    .append("-")
                    .append(std::to_string(f.max));
            } else {
                alias += valuesText(f);
            }
            file.resize(7, ' ');
            alias.resize(std::max<std::size_t>(alias.size() + 2, 46), ' ');
            out.append("  ").append(file).append(alias).append(record).append("\n");
            file.clear();
        }
    }
    return out;
}

bool ApplyField(const FieldSpec& field, bool alias, const std::string& value, AllControls& controls,
                std::int32_t lang, std::string& message) {
    if (!field.choice()) {
        setControl(controls, field, value, 0);
        return true;
    }
    const std::vector<std::string> values = ChoiceValues(field, alias);
    std::int32_t code = field.min - 1;
    if (!alias) {
        ParseWholeNumberIn(value, field.min, field.max, code);
    } else if (const auto it = std::find(values.begin(), values.end(), value); it != values.end()) {
        code = field.min + static_cast<std::int32_t>(it - values.begin());
    }
    if (code < field.min || code > field.max) {
        const std::string accepted =
            alias ? joined(values, ", ")
                  : std::to_string(field.min) + "-" + std::to_string(field.max);
        message =
            Format(T_BAD_LIST_VALUE, lang, {alias ? field.alias : field.name, value, accepted});
        return false;
    }
    setControl(controls, field, value, code - field.min);
    return true;
}

} // namespace tkcli
