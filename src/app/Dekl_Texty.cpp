#include "app/Dekl.h"

#include <string_view>

namespace {

constexpr TTextPolozka DeklTexts[] = {
    {0, "", ""},
    {Dekl::TEXT_OK, "OK", "OK"},
    {Dekl::TEXT_NOT_INITIALIZED, "Připojení neinicializováno", "Connection not initialized"},
    {Dekl::TEXT_CONNECTION_ERROR, "Chyba spojení s konvertorem", "Converter connection error"},
};
static_assert(TextTabulkaPlatna(DeklTexts));

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

// A part of a dotted address: decimal digits only, value 0-255.
bool addressPart(std::string_view part, std::uint8_t& out) {
    part = trimBlanks(part);
    if (part.empty()) {
        return false;
    }
    unsigned value = 0;
    for (char c : part) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 255) {
            return false;
        }
    }
    out = static_cast<std::uint8_t>(value);
    return true;
}

} // namespace

std::string Text(TTextTabulka tab, std::int32_t id, std::int32_t lang) {
    if (id < 0 || static_cast<std::size_t>(id) >= tab.size()) {
        return {};
    }
    const TTextPolozka& e = tab[static_cast<std::size_t>(id)];
    return lang == LANG_CZ ? e.CZ : e.EN;
}

namespace Dekl {

TTextTabulka Texty() {
    return DeklTexts;
}

} // namespace Dekl

bool TextNaIP4(const std::string& text, TAdresa4B& adresa) {
    adresa.fill(0);
    TAdresa4B parsed{};
    std::string_view rest = text;
    std::size_t count = 0;
    for (;;) {
        const std::size_t dot = rest.find('.');
        const std::string_view part = rest.substr(0, dot);
        if (count == parsed.size() || !addressPart(part, parsed[count])) {
            return false;
        }
        ++count;
        if (dot == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(dot + 1);
    }
    if (count != parsed.size()) {
        return false;
    }
    adresa = parsed;
    return true;
}

std::string IP4NaText(const TAdresa4B& adresa) {
    std::string out;
    for (std::size_t i = 0; i < adresa.size(); ++i) {
        if (i > 0) {
            out += '.';
        }
        out += std::to_string(adresa[i]);
    }
    return out;
}

std::string IP6NaText(const TPole16B& adresa) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(39);
    for (std::size_t i = 0; i < adresa.size(); ++i) {
        if (i > 0 && i % 2 == 0) {
            out += ':';
        }
        out += Digits[adresa[i] >> 4];
        out += Digits[adresa[i] & 0x0F];
    }
    return out;
}
