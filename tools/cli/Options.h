// The options of tk7713t: one table that the parser takes them by and
// completion offers them from.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands/Command.h"

namespace tkcli {

// What an option's value is: checked by the parser, offered by completion.
enum class OptionValue { None, Text, File, Language, Parity, Baud };

struct OptionSpec {
    std::string_view name;
    OptionValue value;
    bool scanOnly;
};

// Every option the parser takes; --version and --trace are taken before it.
inline constexpr OptionSpec kOptions[] = {
    {"--lan", OptionValue::Text, false},         {"--ipv6", OptionValue::None, false},
    {"--lan-timeout", OptionValue::Text, false}, {"--com", OptionValue::Text, false},
    {"--device", OptionValue::File, false},      {"--baud", OptionValue::Baud, false},
    {"--parity", OptionValue::Parity, false},    {"--timeout", OptionValue::Text, false},
    {"--address", OptionValue::Text, false},     {"--usb", OptionValue::Text, false},
    {"--json", OptionValue::None, false},        {"--lang", OptionValue::Language, false},
    {"--csv", OptionValue::None, false},         {"--follow", OptionValue::None, false},
    {"--help", OptionValue::None, false},        {"--port", OptionValue::Text, true},
    {"--rate", OptionValue::Text, true},         {"--yes", OptionValue::None, true},
    {"--quiet", OptionValue::None, true},        {"--all-addresses", OptionValue::None, true},
};
inline constexpr std::string_view kVersionOption = "--version";
inline constexpr std::string_view kLanguages[] = {"en", "cs"};

// --lang is looked at before anything else, so that every later message is
// in it.
std::int32_t LanguageOf(const std::vector<std::string>& args);

// The options and positional arguments; the first refusal found.
std::optional<Failure> ParseArguments(const std::vector<std::string>& args, std::int32_t lang,
                                      Arguments& a);

} // namespace tkcli
