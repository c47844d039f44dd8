// The options of tk7713t: one table that the parser takes them by and
// completion offers them from.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands/Command.h"

namespace tkcli {

// What an option's value is: checked by the parser, offered by completion.
enum class OptionValue { None, Plain, File, Language, Parity, Baud };

struct ToolOption {
    std::string_view name;
    OptionValue value;
    bool scanOnly;
};

// Every option the parser takes; --version and --trace are taken before it.
inline constexpr ToolOption kToolOptions[] = {
    {"--lan", OptionValue::Plain, false},         {"--ipv6", OptionValue::None, false},
    {"--lan-timeout", OptionValue::Plain, false}, {"--com", OptionValue::Plain, false},
    {"--device", OptionValue::File, false},       {"--baud", OptionValue::Baud, false},
    {"--parity", OptionValue::Parity, false},     {"--timeout", OptionValue::Plain, false},
    {"--address", OptionValue::Plain, false},     {"--usb", OptionValue::Plain, false},
    {"--json", OptionValue::None, false},         {"--lang", OptionValue::Language, false},
    {"--csv", OptionValue::None, false},          {"--follow", OptionValue::None, false},
    {"--help", OptionValue::None, false},         {"--port", OptionValue::Plain, true},
    {"--rate", OptionValue::Plain, true},         {"--yes", OptionValue::None, true},
    {"--quiet", OptionValue::None, true},         {"--all-addresses", OptionValue::None, true},
};
inline constexpr std::string_view kVersionOption = "--version";
inline constexpr std::string_view kLanguages[] = {"en", "cs"};

// --lang is looked at before anything else, so that every later message is
// in it.
std::int32_t LanguageOf(const std::vector<std::string>& args);

// Stores the value of option name: inlineValue (given after "=") or else
// the next argument, past which i then moves. A missing value or a second
// one is refused.
std::optional<Failure> TakeOptionValue(const std::vector<std::string>& args, std::size_t& i,
                                       const std::string& name,
                                       const std::optional<std::string>& inlineValue,
                                       OptionValues& values, std::int32_t lang);
// Refuses a --lang that names no language of the tool.
std::optional<Failure> CheckLanguage(const OptionValues& values, std::int32_t lang);

// What an option table says of an option word.
enum class OptionKind { Unknown, Flag, Valued };

// The parsers' common loop over the words of a table: kind tells what an
// option is, flag takes each flag given ("-h" as "--help"), values the
// options' values, positional every other word; then --lang is checked.
// The first refusal found.
std::optional<Failure> ParseWords(const std::vector<std::string>& args, std::int32_t lang,
                                  const std::function<OptionKind(std::string_view)>& kind,
                                  const std::function<void(std::string_view)>& flag,
                                  OptionValues& values, std::vector<std::string>& positional);

// The options and positional arguments; the first refusal found.
std::optional<Failure> ParseArguments(const std::vector<std::string>& args, std::int32_t lang,
                                      Arguments& a);

} // namespace tkcli
