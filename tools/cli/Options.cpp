#include "cli/Options.h"

#include <algorithm>
#include <iterator>

namespace tkcli {

namespace {

const ToolOption* findOption(std::string_view name) {
    for (const ToolOption& o : kToolOptions) {
        if (o.name == name) {
            return &o;
        }
    }
    return nullptr;
}

void setFlag(Arguments& a, const ToolOption& spec) {
    if (spec.scanOnly) {
        a.scanFlags.emplace(spec.name);
        return;
    }
    (spec.name == "--ipv6"     ? a.ipv6
     : spec.name == "--json"   ? a.json
     : spec.name == "--csv"    ? a.csv
     : spec.name == "--follow" ? a.follow
                               : a.help) = true;
}

} // namespace

std::int32_t LanguageOf(const std::vector<std::string>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string value;
        if (args[i] == "--lang" && i + 1 < args.size()) {
            value = args[i + 1];
        } else if (args[i].rfind("--lang=", 0) == 0) {
            value = args[i].substr(7);
        }
        if (value == "cs") {
            return LANG_CZ;
        }
    }
    return LANG_EN;
}

std::optional<Failure> TakeOptionValue(const std::vector<std::string>& args, std::size_t& i,
                                       const std::string& name,
                                       const std::optional<std::string>& inlineValue,
                                       OptionValues& values, std::int32_t lang) {
    std::string value;
    if (inlineValue) {
        value = *inlineValue;
    } else if (i + 1 < args.size()) {
        value = args[++i];
    } else {
        return Failure{Format(T_OPTION_NEEDS_VALUE, lang, {name})};
    }
    if (!values.emplace(name, value).second) {
        return Failure{Format(T_OPTION_TWICE, lang, {name})};
    }
    return std::nullopt;
}

std::optional<Failure> CheckLanguage(const OptionValues& values, std::int32_t lang) {
    const auto it = values.find("--lang");
    if (it != values.end() && std::find(std::begin(kLanguages), std::end(kLanguages), it->second) ==
                                  std::end(kLanguages)) {
        return Failure{Format(T_BAD_LANGUAGE, lang, {it->second})};
    }
    return std::nullopt;
}

std::optional<Failure> ParseWords(const std::vector<std::string>& args, std::int32_t lang,
                                  const std::function<OptionKind(std::string_view)>& kind,
                                  const std::function<void(std::string_view)>& flag,
                                  OptionValues& values, std::vector<std::string>& positional) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h") {
            flag("--help");
            continue;
        }
        if (arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        const OptionKind k = kind(name);
        if (k == OptionKind::Flag && !inlineValue) {
            flag(name);
            continue;
        }
        if (k != OptionKind::Valued) {
            return Failure{Format(T_UNKNOWN_OPTION, lang, {arg})};
        }
        if (auto failure = TakeOptionValue(args, i, name, inlineValue, values, lang)) {
            return failure;
        }
    }
    return CheckLanguage(values, lang);
}

std::optional<Failure> ParseArguments(const std::vector<std::string>& args, std::int32_t lang,
                                      Arguments& a) {
    const auto kind = [](std::string_view name) {
        const ToolOption* spec = findOption(name);
        return spec == nullptr                    ? OptionKind::Unknown
               : spec->value == OptionValue::None ? OptionKind::Flag
                                                  : OptionKind::Valued;
    };
    const auto flag = [&a](std::string_view name) { setFlag(a, *findOption(name)); };
    return ParseWords(args, lang, kind, flag, a.values, a.positional);
}

} // namespace tkcli
