#include "app/Dekl.h"

namespace {

constexpr const char* SupportedType = "TK-7713T";
constexpr std::size_t VersionLength = 4;

} // namespace

void RozdelInfoText(const std::string& info, std::string& typ, std::string& verze,
                    std::string& vyrCislo) {
    enum class State { Type, BeforeVersion, Version, BeforeSerial, Serial };
    typ.clear();
    verze.clear();
    vyrCislo.clear();
    State state = State::Type;
    for (char c : info) {
        switch (state) {
        case State::Type:
            if (c == ' ') {
                state = State::BeforeVersion;
            } else {
                typ += c;
            }
            break;
        case State::BeforeVersion:
            if (c == '.') {
                state = State::Version;
            }
            break;
        case State::Version:
            verze += c;
            if (verze.size() == VersionLength) {
                state = State::BeforeSerial;
            }
            break;
        case State::BeforeSerial:
            if (c == '.') {
                state = State::Serial;
            }
            break;
        case State::Serial:
            if (c == ')') {
                return;
            }
            vyrCislo += c;
            break;
        }
    }
}

bool PodporovanyTyp(const std::string& typ) {
    return typ == SupportedType;
}

bool PodporovanaVerze(const std::string& typ, const std::string& verze) {
    if (!PodporovanyTyp(typ)) {
        return false;
    }
    const std::string series = verze.substr(0, 3);
    return verze == "0.08" || (verze.size() >= 3 && (series == "1.0" || series == "2.0"));
}

std::string TypeAndVersionText(const std::string& typ, const std::string& verze) {
    return typ + "  v." + verze;
}
