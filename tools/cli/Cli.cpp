#include "cli/Cli.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>

#include "BuildInfo.h"
#include "cli/CliTexty.h"
#include "cli/CliTrace.h"
#include "cli/ProgressLine.h"
#include "cli/CliZaznamy.h"
#include "cli/Console.h"
#include "cli/Json.h"
#include "cli/Scan.h"
#include "cli/commands/ModbusCommand.h"
#include "link/M_TFTP.h"
#include "platform/Clock.h"
#include "platform/NativePath.h"
#include "platform/ProfileFile.h"
#include "platform/SerialPort.h"
#include "workflow/DiagnostikaLogika.h"
#include "workflow/FieldText.h"
#include "workflow/NastaveniLogika.h"
#include "workflow/PripojeniLogika.h"
#include "workflow/TextyOken.h"

namespace tkcli {

namespace {

using json::Value;

enum class Command { Identify, Info, Stats, History, Get, Set, Restart, ClearStats, Backup, Restore, Scan };

struct CommandSpec {
    std::string_view name;
    Command command;
    std::int32_t help;
    std::size_t minArgs;
    std::size_t maxArgs;  // SIZE_MAX = any number
    std::string_view argName;
};

constexpr std::size_t kAny = static_cast<std::size_t>(-1);

// A backup is about a kilobyte.
constexpr std::size_t kMaxBackupBytes = 1024 * 1024;

constexpr CommandSpec kCommands[] = {
    {"identify", Command::Identify, T_HELP_IDENTIFY, 0, 0, ""},
    {"info", Command::Info, T_HELP_INFO, 0, 0, ""},
    {"stats", Command::Stats, T_HELP_STATS, 0, 0, ""},
    {"history", Command::History, T_HELP_HISTORY, 0, 0, ""},
    {"get", Command::Get, T_HELP_GET, 1, 1, "lan4|mbtcp|uartm|uarts"},
    {"set", Command::Set, T_HELP_SET, 1, kAny, "lan4|mbtcp|uartm|uarts"},
    {"restart", Command::Restart, T_HELP_RESTART, 0, 0, ""},
    {"clear-stats", Command::ClearStats, T_HELP_CLEAR_STATS, 0, 0, ""},
    {"backup", Command::Backup, T_HELP_BACKUP, 1, 1, "FILE"},
    {"restore", Command::Restore, T_HELP_RESTORE, 1, 1, "FILE"},
    {"scan", Command::Scan, T_HELP_SCAN, 0, 0, ""},
};

const CommandSpec* findCommand(std::string_view name) {
    for (const CommandSpec& c : kCommands) {
        if (c.name == name) {
            return &c;
        }
    }
    return nullptr;
}

// What an option's value is: checked by the parser, offered by completion.
enum class OptionValue { None, Text, File, Language, Parity, Baud };

struct OptionSpec {
    std::string_view name;
    OptionValue value;
    bool scanOnly;
};

// Every option the parser takes; --version and --trace are taken before it.
constexpr OptionSpec kOptions[] = {
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
constexpr std::string_view kVersionOption = "--version";
constexpr std::string_view kLanguages[] = {"en", "cs"};

const OptionSpec* findOption(std::string_view name) {
    for (const OptionSpec& o : kOptions) {
        if (o.name == name) {
            return &o;
        }
    }
    return nullptr;
}

// Set by Ctrl-C while a scan runs.
volatile int scanInterrupted = 0;
extern "C" void interruptScan(int) { scanInterrupted = 1; }

struct Arguments {
    std::map<std::string, std::string, std::less<>> values;  // option -> value
    bool ipv6 = false;
    bool json = false;
    bool help = false;
    bool csv = false;     // history only
    bool follow = false;  // stats only
    std::set<std::string, std::less<>> scanFlags;
    std::vector<std::string> positional;
};

constexpr std::uint32_t kFollowPeriodMs = 100;

volatile std::sig_atomic_t stopRequested = 0;

void onInterrupt(int) { stopRequested = 1; }

// Local time as 2026-01-31T13:45:30.250.
std::string localTimestamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", std::localtime(&seconds));
    std::snprintf(text + n, sizeof text - n, ".%03d", static_cast<int>(ms));
    return text;
}


// Thrown nowhere: every failure is a message plus an exit status.
struct Failure {
    int status = EXIT_OK;
    std::string message;
    bool refusedValue = false;  // a value the dialogs refuse: no usage hint
    std::int32_t hint = T_TRY_HELP;
};

// A NAME=VALUE argument of set.
struct Assignment {
    NamedField field;
    std::string value;
};

class Tool {
public:
    Tool(std::ostream& out, std::ostream& err, bool errIsTerminal)
        : out_(out), err_(err), errIsTerminal_(errIsTerminal) {}

    int run(const std::vector<std::string>& args) {
        // --version answers alone, like --help, whatever else is given.
        for (const std::string& arg : args) {
            if (arg == kVersionOption) {
                out_ << "tk7713t " << buildinfo::kVersion << "\n";
                return EXIT_OK;
            }
        }
        lang_ = languageOf(args);
        if (IsModbusCommand(args)) {
            return RunModbusCommand(args, out_, err_, lang_, errIsTerminal_);
        }
        Arguments a;
        if (!parse(args, a)) {
            return usage();
        }
        json_ = a.json;
        if (a.positional.empty()) {
            if (a.help) {
                out_ << Text(T_HELP_TOOL, lang_);
                return EXIT_OK;
            }
            refuse({EXIT_USAGE, Text(T_MISSING_COMMAND, lang_)});
            return usage();
        }
        const CommandSpec* spec = findCommand(a.positional.front());
        if (spec == nullptr) {
            refuse({EXIT_USAGE, Format(T_UNKNOWN_COMMAND, lang_, {a.positional.front()})});
            return usage();
        }
        if (a.help) {
            // set --help lists the fields from the same table set takes them by.
            out_ << (spec->command == Command::Set ? Format(spec->help, lang_, {SetFieldsHelp()})
                                                   : Text(spec->help, lang_));
            return EXIT_OK;
        }
        const std::vector<std::string> rest(a.positional.begin() + 1, a.positional.end());
        if (rest.size() < spec->minArgs) {
            refuse({EXIT_USAGE, Format(T_MISSING_ARGUMENT, lang_, {spec->name, spec->argName}),
                    false, spec->command == Command::Set ? T_TRY_HELP_SET : T_TRY_HELP});
            return usage();
        }
        if (spec->maxArgs != kAny && rest.size() > spec->maxArgs) {
            refuse({EXIT_USAGE, Format(T_UNEXPECTED_ARGUMENT, lang_, {rest[spec->maxArgs]})});
            return usage();
        }
        if (!commandOptions(*spec, a)) {
            return usage();
        }
        if (spec->command == Command::Scan) {
            const int status = scan(a);
            MBRTU_Zavri(tk_.MBRTU);
            if (deviceMapped_) {
                platform::setSerialDeviceMap({});
            }
            return status;
        }
        ConnectionControls controls;
        if (!connectionControls(a, controls)) {
            return usage();
        }
        const int status = execute(spec->command, rest, controls);
        MBRTU_Zavri(tk_.MBRTU);
        if (deviceMapped_) {
            platform::setSerialDeviceMap({});
        }
        return status;
    }

    // Output that never arrived is no success: a full disk or a closed
    // standard output ends with status 1.
    int checkOutput(int status) {
        if (readerClosedOutput_ || out_.flush()) {
            return status;
        }
        err_ << "tk7713t: " << Text(T_CANNOT_WRITE_OUTPUT, lang_) << "\n";
        return status == EXIT_OK ? EXIT_FAILED : status;
    }

private:
    // --lang is looked at first, so that every later message is in it.
    static std::int32_t languageOf(const std::vector<std::string>& args) {
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

    bool parse(const std::vector<std::string>& args, Arguments& a) {
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& arg = args[i];
            if (arg == "-h") {
                a.help = true;
                continue;
            }
            if (arg.size() < 2 || arg[0] != '-') {
                a.positional.push_back(arg);
                continue;
            }
            std::string name = arg;
            std::optional<std::string> inlineValue;
            if (const auto eq = arg.find('='); eq != std::string::npos) {
                name = arg.substr(0, eq);
                inlineValue = arg.substr(eq + 1);
            }
            const OptionSpec* spec = findOption(name);
            if (spec != nullptr && spec->value == OptionValue::None && !inlineValue) {
                if (spec->scanOnly) {
                    a.scanFlags.insert(name);
                } else {
                    (name == "--ipv6"     ? a.ipv6
                     : name == "--json"   ? a.json
                     : name == "--csv"    ? a.csv
                     : name == "--follow" ? a.follow
                                          : a.help) = true;
                }
                continue;
            }
            if (spec == nullptr || spec->value == OptionValue::None) {
                refuse({EXIT_USAGE, Format(T_UNKNOWN_OPTION, lang_, {arg})});
                return false;
            }
            std::string value;
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                refuse({EXIT_USAGE, Format(T_OPTION_NEEDS_VALUE, lang_, {name})});
                return false;
            }
            if (!a.values.emplace(name, value).second) {
                refuse({EXIT_USAGE, Format(T_OPTION_TWICE, lang_, {name})});
                return false;
            }
        }
        if (const auto it = a.values.find("--lang");
            it != a.values.end() && std::find(std::begin(kLanguages), std::end(kLanguages),
                                              it->second) == std::end(kLanguages)) {
            refuse({EXIT_USAGE, Format(T_BAD_LANGUAGE, lang_, {it->second})});
            return false;
        }
        return true;
    }

    // Options that belong to one command only.
    bool commandOptions(const CommandSpec& spec, const Arguments& a) {
        const auto notFor = [&](std::string_view name, std::string_view command) {
            refuse({EXIT_USAGE, Format(T_OPTION_NOT_FOR_COMMAND, lang_, {name, command})});
            return false;
        };
        if (a.csv && spec.command != Command::History) {
            return notFor("--csv", spec.name);
        }
        if (a.csv && a.json) {
            return notFor("--json", "history --csv");
        }
        if (a.follow && spec.command != Command::Stats) {
            return notFor("--follow", spec.name);
        }
        if (spec.command != Command::Scan) {
            for (const OptionSpec& o : kOptions) {
                if (o.scanOnly && option(a, o.name) != nullptr) {
                    refuse({EXIT_USAGE, Format(T_OPTION_ONLY_SCAN, lang_, {o.name})});
                    return false;
                }
            }
            if (!a.scanFlags.empty()) {
                refuse({EXIT_USAGE, Format(T_OPTION_ONLY_SCAN, lang_, {*a.scanFlags.begin()})});
                return false;
            }
        }
        csv_ = a.csv;
        follow_ = a.follow;
        return true;
    }

    const std::string* option(const Arguments& a, std::string_view name) const {
        const auto it = a.values.find(name);
        return it == a.values.end() ? nullptr : &it->second;
    }

    // The connection dialog's controls from the program's default settings
    // and the options given.
    bool connectionControls(const Arguments& a, ConnectionControls& c) {
        c = ControlsForSettings(VychoziPripojeni());
        const bool lan = option(a, "--lan") != nullptr;
        const bool com = option(a, "--com") != nullptr || option(a, "--device") != nullptr;
        const bool usb = option(a, "--usb") != nullptr;
        if (int(lan) + int(com) + int(usb) > 1) {
            refuse({EXIT_USAGE, Text(T_ONE_INTERFACE, lang_)});
            return false;
        }
        const std::int32_t interface = com ? ROZHRANI_COM : usb ? ROZHRANI_USBCOM : ROZHRANI_LAN;
        c.Interface = interface;
        const auto notFor = [&](std::string_view name) {
            refuse({EXIT_USAGE, Format(T_OPTION_NOT_FOR_INTERFACE, lang_, {name})});
            return false;
        };
        if (interface != ROZHRANI_LAN) {
            if (a.ipv6) {
                return notFor("--ipv6");
            }
            if (option(a, "--lan-timeout") != nullptr) {
                return notFor("--lan-timeout");
            }
        }
        if (interface != ROZHRANI_COM) {
            for (std::string_view o : {"--baud", "--parity", "--timeout", "--address"}) {
                if (option(a, o) != nullptr) {
                    return notFor(o);
                }
            }
        }
        if (interface == ROZHRANI_LAN) {
            if (const std::string* v = option(a, "--lan")) {
                // A blank address is left to the dialog's own message; one
                // that cannot be an address is a typo, not a dead converter.
                if (v->find_first_not_of(" \t") != std::string::npos &&
                    !parseTftpServerAddress(*v).valid) {
                    refuse({EXIT_USAGE, Format(T_BAD_ADDRESS, lang_, {*v, "--lan"})});
                    return false;
                }
                c.IpAddress = *v;
            }
            if (a.ipv6) {
                c.IpVersion = VERZE_IP6;
            }
            if (const std::string* v = option(a, "--lan-timeout")) {
                c.LanTimeout = *v;
            }
        } else if (interface == ROZHRANI_USBCOM) {
            c.UsbCom.PortNumber = *option(a, "--usb");
        } else {
            if (const std::string* v = option(a, "--com")) {
                c.Com.PortNumber = *v;
            }
            if (const std::string* v = option(a, "--baud")) {
                c.Com.Baud = -1;
                for (std::int32_t p = 0; p < BAUD_LIST_SIZE; ++p) {
                    if (*v == kBaudWords[static_cast<std::size_t>(p)]) {
                        c.Com.Baud = p;
                    }
                }
                if (c.Com.Baud < 0) {
                    refuse({EXIT_USAGE, Format(T_BAD_BAUD, lang_, {*v})});
                    return false;
                }
            }
            if (const std::string* v = option(a, "--parity")) {
                c.Com.Parity = -1;
                for (std::int32_t p = 0; p < 3; ++p) {
                    if (*v == kParityWords[p]) {
                        c.Com.Parity = p;
                    }
                }
                if (c.Com.Parity < 0) {
                    refuse({EXIT_USAGE, Format(T_BAD_PARITY, lang_, {*v})});
                    return false;
                }
            }
            if (const std::string* v = option(a, "--timeout")) {
                c.Com.Timeout = *v;
            }
            if (const std::string* v = option(a, "--address")) {
                c.Com.Address = *v;
            }
            if (const std::string* path = option(a, "--device")) {
                // The device stands in for COM port N (--com) or COM1. An
                // invalid --com is left to the connection's own message.
                std::int32_t number = 1;
                if (option(a, "--com") == nullptr) {
                    c.Com.PortNumber = "1";
                } else if (!ParseWholeNumberIn(c.Com.PortNumber, 1, 255, number)) {
                    return true;
                }
                platform::setSerialDeviceMap({{number, *path}});
                deviceMapped_ = true;
                if (platform::serialDevicePath(number) != *path) {
                    refuse({EXIT_USAGE, Text(T_DEVICE_UNSUPPORTED, lang_)});
                    return false;
                }
            }
        }
        return true;
    }

    // The first failure found is the one reported.
    void refuse(Failure failure) {
        if (failure_.message.empty()) {
            failure_ = std::move(failure);
        }
    }

    int usage() {
        if (deviceMapped_) {
            platform::setSerialDeviceMap({});
            deviceMapped_ = false;
        }
        err_ << "tk7713t: " << failure_.message << "\n";
        if (!failure_.refusedValue) {
            err_ << Text(failure_.hint, lang_) << "\n";
        }
        return EXIT_USAGE;
    }

    int fail(int status, const std::string& message) {
        err_ << "tk7713t: " << message << "\n";
        return status;
    }

    static std::string bare(const std::string& statusLine) {
        return !statusLine.empty() && statusLine.front() == ' ' ? statusLine.substr(1) : statusLine;
    }

    std::string connectionError() const { return Dekl::Text(Dekl::TEXT_CONNECTION_ERROR, lang_); }

    void printJson(const Value& v) { out_ << json::write(v); }

    // Validation that needs no converter: done before connecting, so that
    // refused input sends nothing at all. Every refusal points to set --help,
    // which lists the names and values.
    bool prepareSet(const std::vector<std::string>& rest, ConfigDialog& dialog,
                    std::vector<Assignment>& assignments) {
        const auto refuseSet = [this](std::string message) {
            refuse({EXIT_USAGE, std::move(message), false, T_TRY_HELP_SET});
            return false;
        };
        if (!ConfigByName(rest[0], dialog)) {
            return refuseSet(Format(T_UNKNOWN_CONFIGURATION, lang_, {rest[0]}));
        }
        if (rest.size() < 2) {
            return refuseSet(Text(T_NOTHING_TO_SET, lang_));
        }
        for (std::size_t i = 1; i < rest.size(); ++i) {
            const auto eq = rest[i].find('=');
            if (eq == std::string::npos || eq == 0) {
                return refuseSet(Format(T_NOT_NAME_VALUE, lang_, {rest[i]}));
            }
            const std::string name = rest[i].substr(0, eq);
            const NamedField named = FindSetField(dialog, name);
            if (named.field == nullptr) {
                return refuseSet(Format(T_UNKNOWN_FIELD, lang_, {name, SetFieldList(dialog)}));
            }
            for (const Assignment& earlier : assignments) {
                if (earlier.field.field == named.field) {
                    return refuseSet(Format(T_FIELD_TWICE, lang_, {name}));
                }
            }
            assignments.push_back({named, rest[i].substr(eq + 1)});
        }
        // The named values checked against a configuration whose other
        // fields are valid, so any refusal is theirs.
        TCFGTK scratch = VychoziCFGTK();
        AllControls c = ControlsOf(scratch);
        if (!applyAll(assignments, c)) {
            failure_.hint = T_TRY_HELP_SET;
            return false;
        }
        const Verdict v = Validate(dialog, c, scratch, lang_);
        if (!v.Accepted) {
            return refuseSet(bare(v.StatusLine));
        }
        return true;
    }

    bool applyAll(const std::vector<Assignment>& assignments, AllControls& c) {
        for (const Assignment& a : assignments) {
            std::string message;
            if (!ApplyField(*a.field.field, a.field.alias, a.value, c, lang_, message)) {
                refuse({EXIT_USAGE, message});
                return false;
            }
        }
        return true;
    }

    struct RestoreItem {
        ConfigDialog dialog;
        TCFGTK cfg;
    };

    // A backup is a regular file or standard input ("-"), read up to its
    // cap: a device, a FIFO or an endless stream is refused, not waited for.
    bool readBackup(const std::string& path, std::string& text) {
        std::ifstream file;
        std::istream* in = &std::cin;
        if (path != "-") {
            const std::filesystem::path p = platform::nativePath(path);
            std::error_code ec;
            if (!std::filesystem::is_regular_file(p, ec)) {
                refuse({EXIT_USAGE, Format(T_CANNOT_READ_FILE, lang_, {path})});
                return false;
            }
            file.open(p, std::ios::binary);
            in = &file;
        }
        text.resize(kMaxBackupBytes + 1);
        in->read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<std::size_t>(in->gcount()));
        if (in->bad() || (path != "-" && !file.is_open())) {
            refuse({EXIT_USAGE, Format(T_CANNOT_READ_FILE, lang_, {path})});
            return false;
        }
        if (text.size() > kMaxBackupBytes) {
            refuse({EXIT_USAGE, Format(T_BAD_BACKUP, lang_, {path, "larger than 1 MiB"})});
            return false;
        }
        if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
            refuse({EXIT_USAGE, Format(T_EMPTY_BACKUP, lang_, {path})});
            return false;
        }
        return true;
    }

    bool prepareRestore(const std::string& path, std::vector<RestoreItem>& items) {
        std::string text;
        if (!readBackup(path, text)) {
            return false;
        }
        // A backup is one object of a few settings objects, each of a few
        // fields: anything larger is refused while it is read.
        json::ReadLimits limits;
        limits.maxDepth = 2;
        limits.maxMembers = 16;
        limits.arrays = false;
        Value doc;
        std::string error;
        if (!json::read(text, doc, error, limits)) {
            refuse({EXIT_USAGE, Format(T_BAD_BACKUP, lang_, {path, error})});
            return false;
        }
        if (!doc.isObject()) {
            refuse({EXIT_USAGE, Format(T_BAD_BACKUP, lang_, {path, "{ }"})});
            return false;
        }
        for (const auto& [key, value] : doc.members) {
            ConfigDialog d{};
            if (key == "TypVerze" || key == "VyrCislo") {
                continue;
            }
            if (key.find('.') == std::string::npos || !ConfigByName(key, d)) {
                refuse({EXIT_USAGE, Format(T_BAD_BACKUP, lang_, {path, key})});
                return false;
            }
        }
        // Written in this order: the LAN settings last, so a converter that
        // took them over at once would not cut the link before the others.
        for (ConfigDialog d : {ConfigDialog::Mbtcp, ConfigDialog::Uartm, ConfigDialog::Uarts, ConfigDialog::Lan4}) {
            const Value* part = doc.find(FileName(d));
            if (part == nullptr) {
                continue;
            }
            const std::string file(FileName(d));
            if (!part->isObject()) {
                refuse({EXIT_USAGE, Format(T_BAD_BACKUP, lang_, {path, file})});
                return false;
            }
            for (const auto& member : part->members) {
                if (FindField(d, member.first) == nullptr) {
                    refuse({EXIT_USAGE,
                            file + ": " +
                                Format(T_UNKNOWN_FIELD, lang_, {member.first, FieldList(d)})});
                    return false;
                }
            }
            RestoreItem item{d, VychoziCFGTK()};
            AllControls c = ControlsOf(item.cfg);
            for (const FieldSpec& field : Fields(d)) {
                const Value* v = part->find(field.name);
                if (v == nullptr || !(v->isNumber() || v->isString())) {
                    refuse({EXIT_USAGE, Format(T_MISSING_FIELD, lang_, {file, field.name})});
                    return false;
                }
                std::string message;
                if (!ApplyField(field, false, v->text, c, lang_, message)) {
                    refuse({EXIT_USAGE, file + ": " + message});
                    return false;
                }
            }
            const Verdict verdict = Validate(d, c, item.cfg, lang_);
            if (!verdict.Accepted) {
                refuse({EXIT_USAGE, file + ": " + bare(verdict.StatusLine), true});
                return false;
            }
            items.push_back(item);
        }
        if (items.empty()) {
            refuse({EXIT_USAGE, Format(T_NO_FILES_IN_BACKUP, lang_, {path})});
            return false;
        }
        return true;
    }

    // The final connection text for a terminal: the table text as it is,
    // the converter's type and version shown byte by byte.
    std::string connectionText(std::int32_t id) const {
        return Pripojeni::Text(id, lang_) + DisplayText(connection_.TypeAndVersion);
    }

    int connect(const ConnectionControls& controls) {
        InitData(&dat_);
        dat_.Lang = lang_;
        // The dialog pauses so its status line can be seen; a command-line
        // call has nothing to show and would only be slower.
        ConnectionHooks hooks;
        hooks.pause = [](std::uint32_t) {};
        connection_ = InicializacePripojeni(controls, &dat_, tk_, lang_, hooks);
        const std::string last = connection_.StatusTexts.empty() ? std::string() : connection_.StatusTexts.back();
        switch (connection_.Outcome) {
        case ConnectionOutcome::Connected: return EXIT_OK;
        case ConnectionOutcome::InvalidInput: return fail(EXIT_USAGE, last);
        case ConnectionOutcome::UnknownConverter: return fail(EXIT_UNSUPPORTED, last);
        case ConnectionOutcome::UnsupportedType:
            return fail(EXIT_UNSUPPORTED, connectionText(Pripojeni::TEXT_UNSUPPORTED_TYPE));
        case ConnectionOutcome::UnsupportedVersion:
            return fail(EXIT_UNSUPPORTED, connectionText(Pripojeni::TEXT_UNSUPPORTED_VERSION));
        case ConnectionOutcome::NoData:
        case ConnectionOutcome::PortError:
        case ConnectionOutcome::ConnectionError: break;
        }
        return fail(EXIT_FAILED, last);
    }

    int execute(Command command, const std::vector<std::string>& rest, const ConnectionControls& controls) {
        ConfigDialog dialog = ConfigDialog::Lan4;
        std::vector<Assignment> assignments;
        std::vector<RestoreItem> restoreItems;
        if (command == Command::Get && !ConfigByName(rest[0], dialog)) {
            refuse({EXIT_USAGE, Format(T_UNKNOWN_CONFIGURATION, lang_, {rest[0]})});
            return usage();
        }
        if (command == Command::Set && !prepareSet(rest, dialog, assignments)) {
            return usage();
        }
        if (command == Command::Restore && !prepareRestore(rest[0], restoreItems)) {
            return usage();
        }
        if (const int status = connect(controls); status != EXIT_OK) {
            return status;
        }
        switch (command) {
        case Command::Identify: return identify();
        case Command::Info: return info();
        case Command::Stats: return stats();
        case Command::History: return history();
        case Command::Get: return get(dialog);
        case Command::Set: return set(dialog, assignments);
        case Command::Restart: return restart();
        case Command::ClearStats: return clearStats();
        case Command::Backup: return backup(rest[0]);
        case Command::Restore: break;
        case Command::Scan: return EXIT_USAGE;  // run before connecting
        }
        return restore(restoreItems);
    }

    int identify() {
        if (json_) {
            Value o = Value::object();
            o.add("TypVerze", Value::bytes(dat_.TypVerze));
            o.add("TypModulu", Value::bytes(dat_.TypModulu));
            o.add("VerzeModulu", Value::bytes(dat_.VerzeModulu));
            o.add("VyrCislo", Value::bytes(dat_.VyrCislo));
            printJson(o);
        } else {
            out_ << connectionText(Pripojeni::TEXT_CONNECTED) << "\n"
                 << DiagSystem::Text(DiagSystem::TEXT_SERIAL_NUMBER, lang_) << ": " << DisplayText(dat_.VyrCislo)
                 << "\n";
        }
        return EXIT_OK;
    }

    int info() {
        TTK7713T_SysBin sys;
        if (!TK7713T_PrectiSys(tk_, sys)) {
            return fail(EXIT_FAILED, connectionError());
        }
        if (json_) {
            printJson(SysJson(sys));
            return EXIT_OK;
        }
        for (const InfoRow& row : InfoRows(sys)) {
            out_ << DiagSystem::Text(row.LabelId, lang_) << ": " << DisplayText(row.Value) << "\n";
        }
        return EXIT_OK;
    }

    int stats() {
        if (follow_) {
            return followStats();
        }
        TTK7713T_MmrdBin m;
        if (!TK7713T_PrectiMmrd(tk_, m)) {
            return fail(EXIT_FAILED, connectionError());
        }
        if (json_) {
            printJson(MmrdJson(m));
            return EXIT_OK;
        }
        for (const StatRow& row : StatRows(m)) {
            out_ << DiagRS485::Text(row.LabelId, lang_) << ": " << row.Value << "\n";
        }
        return EXIT_OK;
    }

    int history() {
        TTK7713T_MmrgvBin m;
        if (!TK7713T_PrectiMmrgv(tk_, m)) {
            return fail(EXIT_FAILED, connectionError());
        }
        if (json_) {
            printJson(MmrgvJson(m));
            return EXIT_OK;
        }
        if (csv_) {
            out_ << HistoryCsv(m);
            return EXIT_OK;
        }
        for (std::uint8_t sample : m.PoleDat) {
            out_ << static_cast<unsigned>(sample) << "\n";
        }
        return EXIT_OK;
    }

    // One line per read, like the diagnostics window: the next read starts
    // 100 ms after the previous one ended. Ends when interrupted or when a
    // write fails.
    int followStats() {
        stopRequested = 0;
        // Ctrl+C ends the loop after the current read, not the program in
        // the middle of a transfer.
        const auto previous = std::signal(SIGINT, onInterrupt);
        int writeError = 0;
        while (stopRequested == 0 && out_) {
            TTK7713T_MmrdBin m;
            const bool ok = TK7713T_PrectiMmrd(tk_, m);
            const std::string time = localTimestamp();
            errno = 0;
            if (!ok) {
                err_ << time << " tk7713t: " << connectionError() << std::endl;
            } else if (json_) {
                Value o = Value::object();
                o.add("Cas", Value::string(time));
                for (auto& member : MmrdJson(m).members) {
                    o.add(member.first, member.second);
                }
                out_ << json::oneLine(json::write(o)) << std::endl;
            } else {
                out_ << time;
                const char* separator = " ";
                for (const StatRow& row : StatRows(m)) {
                    out_ << separator << DiagRS485::Text(row.LabelId, lang_) << ": " << row.Value;
                    separator = "; ";
                }
                out_ << std::endl;
            }
            writeError = errno;
            if (stopRequested == 0 && out_) {
                platform::pauseMs(kFollowPeriodMs);
            }
        }
        std::signal(SIGINT, previous == SIG_ERR ? SIG_DFL : previous);
        // A reader that went away (stats --follow | head) is how a followed
        // run ends; any other failed write, a full disk say, is a failure.
        readerClosedOutput_ = !out_ && writeError == EPIPE;
        return EXIT_OK;
    }

    // The dialogs pause before each transfer so that their status line is
    // painted; there is no window here to paint.
    static DialogHooks noPause() {
        DialogHooks hooks;
        hooks.pause = [](std::uint32_t) {};
        return hooks;
    }

    void printConfig(ConfigDialog dialog, const TCFGTK& cfg) {
        const Value v = ConfigJson(dialog, cfg);
        if (json_) {
            printJson(v);
            return;
        }
        for (const auto& [name, value] : v.members) {
            out_ << name << "=" << ScalarText(value) << "\n";
        }
    }

    int get(ConfigDialog dialog) {
        TCFGTK cfg = VychoziCFGTK();
        const ReadResult r = PrectiData(dialog, cfg, &dat_, tk_, lang_, noPause());
        if (r.Outcome != ReadOutcome::Read) {
            return fail(EXIT_FAILED, connectionError());
        }
        printConfig(dialog, cfg);
        return EXIT_OK;
    }

    // Reports a write that did not verify, with the fields that differ.
    int writeFailed(ConfigDialog dialog, const WriteResult& w, const TCFGTK& written, const std::string& prefix) {
        std::string message = prefix + bare(w.StatusLines.back());
        if (w.ReadBackDone) {
            const Value a = ConfigJson(dialog, written);
            const Value b = ConfigJson(dialog, w.ReadBack);
            for (std::size_t i = 0; i < a.members.size(); ++i) {
                if (a.members[i].second.text != b.members[i].second.text) {
                    message += "\n  " + Format(T_WRITTEN_READ_BACK, lang_,
                                               {a.members[i].first, ScalarText(a.members[i].second),
                                                ScalarText(b.members[i].second)});
                }
            }
        }
        return fail(EXIT_FAILED, message);
    }

    int set(ConfigDialog dialog, const std::vector<Assignment>& assignments) {
        TCFGTK cfg = VychoziCFGTK();
        if (PrectiData(dialog, cfg, &dat_, tk_, lang_, noPause()).Outcome != ReadOutcome::Read) {
            return fail(EXIT_FAILED, connectionError());
        }
        AllControls c = ControlsOf(cfg);
        if (!applyAll(assignments, c)) {
            return fail(EXIT_USAGE, failure_.message);
        }
        // The converter's own values of the fields not named are judged too.
        const Verdict v = Validate(dialog, c, cfg, lang_);
        if (!v.Accepted) {
            return fail(EXIT_USAGE, bare(v.StatusLine));
        }
        const WriteResult w = ZapisData(dialog, cfg, &dat_, tk_, lang_, noPause());
        if (w.Outcome != WriteOutcome::Written) {
            return writeFailed(dialog, w, cfg, "");
        }
        if (json_) {
            printJson(ConfigJson(dialog, w.ReadBack));
        } else {
            out_ << bare(w.StatusLines.back()) << "\n";
        }
        return EXIT_OK;
    }

    int restart() {
        return command(TK7713T_Restart, RestartZarizeni::Text(RestartZarizeni::TEXT_RESTARTED, lang_));
    }

    int clearStats() { return command(TK7713T_VymazStatistiku, Text(T_STATISTICS_CLEARED, lang_)); }

    // One ctrl.bin command: its status with --json, else the given message.
    int command(bool (*send)(TTK7713T&, std::int32_t&), const std::string& done) {
        std::int32_t status = 0;
        if (!send(tk_, status)) {
            return fail(EXIT_FAILED, connectionError());
        }
        if (json_) {
            Value o = Value::object();
            o.add("Status", Value::number(status));
            printJson(o);
        } else {
            out_ << done << "\n";
        }
        return EXIT_OK;
    }

    int backup(const std::string& path) {
        Value doc = Value::object();
        doc.add("TypVerze", Value::bytes(dat_.TypVerze));
        doc.add("VyrCislo", Value::bytes(dat_.VyrCislo));
        for (ConfigDialog d : {ConfigDialog::Lan4, ConfigDialog::Mbtcp, ConfigDialog::Uartm, ConfigDialog::Uarts}) {
            TCFGTK cfg = VychoziCFGTK();
            if (PrectiData(d, cfg, &dat_, tk_, lang_, noPause()).Outcome != ReadOutcome::Read) {
                return fail(EXIT_FAILED, std::string(FileName(d)) + ": " + connectionError());
            }
            doc.add(std::string(FileName(d)), ConfigJson(d, cfg));
        }
        const std::string text = json::write(doc);
        if (path == "-") {
            out_ << text;
            return EXIT_OK;
        }
        // Replaced only as a whole, so a failed backup never destroys an older one.
        if (!platform::replaceFileContents(path, text)) {
            return fail(EXIT_USAGE, Format(T_CANNOT_WRITE_FILE, lang_, {path}));
        }
        if (json_) {
            out_ << text;
        } else {
            out_ << Format(T_BACKUP_WRITTEN, lang_, {path}) << "\n";
        }
        return EXIT_OK;
    }

    int restore(const std::vector<RestoreItem>& items) {
        Value report = Value::object();
        for (const RestoreItem& item : items) {
            const std::string file(FileName(item.dialog));
            const WriteResult w = ZapisData(item.dialog, item.cfg, &dat_, tk_, lang_, noPause());
            if (w.Outcome != WriteOutcome::Written) {
                if (json_) {
                    printJson(report);
                }
                const int status = writeFailed(item.dialog, w, item.cfg, file + ": ");
                err_ << "tk7713t: " << Format(T_RESTORE_STOPPED, lang_, {file}) << "\n";
                return status;
            }
            const std::string done = bare(w.StatusLines.back());
            if (json_) {
                report.add(file, Value::string(done));
            } else {
                out_ << file << ": " << done << "\n";
            }
        }
        if (json_) {
            printJson(report);
        }
        return EXIT_OK;
    }

    // ---- scan ----

    // A whole number option in lo..hi; `fallback` when absent.
    bool numberOption(const Arguments& a, std::string_view name, std::int32_t lo, std::int32_t hi,
                      std::int32_t fallback, std::int32_t& value) {
        value = fallback;
        const std::string* v = option(a, name);
        return v == nullptr || ParseWholeNumberIn(*v, lo, hi, value);
    }


    int scan(const Arguments& a) {
        const bool lan = option(a, "--lan") != nullptr;
        const bool serial = option(a, "--com") != nullptr || option(a, "--device") != nullptr ||
                            option(a, "--usb") != nullptr;
        if (lan == serial) {
            refuse({EXIT_USAGE, Text(T_SCAN_NEEDS_INTERFACE, lang_)});
            return usage();
        }
        for (std::string_view o : {"--baud", "--parity", "--address"}) {
            if (option(a, o) != nullptr) {
                refuse({EXIT_USAGE, Format(T_SCAN_OPTION_SEARCHED, lang_, {o})});
                return usage();
            }
        }
        const bool quiet = a.scanFlags.count("--quiet") != 0;
        scanInterrupted = 0;
        auto previous = std::signal(SIGINT, interruptScan);
        const int status = lan ? scanLan(a, quiet) : scanSerial(a, quiet);
        std::signal(SIGINT, previous);
        return status;
    }

    int scanLan(const Arguments& a, bool quiet) {
        if (a.ipv6 || option(a, "--timeout") != nullptr || a.scanFlags.count("--all-addresses") != 0) {
            refuse({EXIT_USAGE, Format(T_OPTION_NOT_FOR_INTERFACE, lang_,
                                       {a.ipv6                   ? "--ipv6"
                                        : option(a, "--timeout") ? "--timeout"
                                                                 : "--all-addresses"})});
            return usage();
        }
        const std::string& text = *option(a, "--lan");
        LanScanSettings s;
        switch (ParseIpv4Range(text, s.range)) {
        case RangeError::None: break;
        case RangeError::Syntax:
            refuse({EXIT_USAGE, Format(T_BAD_RANGE, lang_, {text}), true});
            return usage();
        case RangeError::HostPart:
            refuse({EXIT_USAGE, Format(T_RANGE_HOST_PART, lang_, {text}), true});
            return usage();
        case RangeError::TooLarge:
            refuse({EXIT_USAGE, Format(T_RANGE_TOO_LARGE, lang_, {text}), true});
            return usage();
        case RangeError::NotUnicast:
            refuse({EXIT_USAGE, Format(T_RANGE_NOT_UNICAST, lang_, {text}), true});
            return usage();
        }
        std::int32_t port = 69;
        std::int32_t rate = 100;
        std::int32_t timeout = 1000;
        if (!numberOption(a, "--port", 1, 65535, 69, port)) {
            refuse({EXIT_USAGE, Format(T_BAD_PORT, lang_, {*option(a, "--port")}), true});
        } else if (!numberOption(a, "--rate", 1, 1000, 100, rate)) {
            refuse({EXIT_USAGE, Format(T_BAD_RATE, lang_, {*option(a, "--rate")}), true});
        } else if (!numberOption(a, "--lan-timeout", 1, 65535, 1000, timeout)) {
            refuse({EXIT_USAGE, Pripojeni::Text(Pripojeni::TEXT_INVALID_LAN_TIMEOUT, lang_), true});
        }
        if (!failure_.message.empty()) {
            return usage();
        }
        s.port = static_cast<std::uint16_t>(port);
        s.ratePerSecond = static_cast<std::uint32_t>(rate);
        s.timeoutMs = static_cast<std::uint32_t>(timeout);
        if (s.range.count() > SCAN_ASK_ABOVE) {
            err_ << "tk7713t: " << Format(T_SCAN_COUNT, lang_, {std::to_string(s.range.count())}) << "\n";
            if (a.scanFlags.count("--yes") == 0) {
                err_ << Text(T_SCAN_CONFIRM, lang_) << std::flush;
                std::string answer;
                if (!ReadAnswerLine(answer) || scanInterrupted != 0) {
                    err_ << "\n";  // Ctrl-C or the end of the input cancels
                    answer.clear();
                }
                if (answer != "y" && answer != "yes" && answer != "a" && answer != "ano") {
                    return fail(EXIT_USAGE, Text(T_SCAN_NOT_CONFIRMED, lang_));
                }
            }
        }
        std::vector<LanAnswer> found;
        ScanProgress progress;
        if (!quiet) {
            progress = [this](std::size_t probed, std::size_t total, std::size_t n) {
                progress_.show(Format(T_SCAN_PROGRESS_LAN, lang_,
                                    {std::to_string(probed), std::to_string(total), std::to_string(n)}),
                             probed, total, n);
            };
        }
        const bool opened = ScanLan(s, progress, &scanInterrupted, found);
        if (!quiet) {
            progress_.end();
        }
        if (!opened) {
            return fail(EXIT_FAILED, Text(T_SCAN_NO_SOCKET, lang_));
        }
        Value list = Value::array();
        for (const LanAnswer& f : found) {
            std::string type, version, serial;
            RozdelInfoText(f.info, type, version, serial);
            const bool supported = PodporovanyTyp(type) && PodporovanaVerze(type, version);
            if (json_) {
                Value o = Value::object();
                o.add("Adresa", Value::string(Ipv4Text(f.address)));
                o.add("TypModulu", Value::bytes(type));
                o.add("VerzeModulu", Value::bytes(version));
                o.add("VyrCislo", Value::bytes(serial));
                o.add("Podporovan", boolean(supported));
                list.push(std::move(o));
            } else {
                out_ << Ipv4Text(f.address) << "  " << DisplayText(TypeAndVersionText(type, version)) << "  "
                     << DiagSystem::Text(DiagSystem::TEXT_SERIAL_NUMBER, lang_) << " " << DisplayText(serial) << "  "
                     << Text(supported ? T_SCAN_SUPPORTED : T_SCAN_UNSUPPORTED, lang_) << "\n";
            }
        }
        return scanReport(list, !found.empty());
    }

    static Value boolean(bool b) {
        Value v;
        v.kind = Value::Kind::Bool;
        v.boolean = b;
        return v;
    }

    int scanReport(const Value& list, bool anyFound) {
        if (json_) {
            printJson(list);
        } else if (!anyFound) {
            err_ << "tk7713t: " << Text(T_SCAN_NONE_FOUND, lang_) << "\n";
        }
        return anyFound ? EXIT_OK : EXIT_FAILED;
    }

    int scanSerial(const Arguments& a, bool quiet) {
        for (std::string_view o : {"--port", "--rate", "--lan-timeout", "--timeout"}) {
            if (option(a, o) != nullptr) {
                refuse({EXIT_USAGE, Format(T_OPTION_NOT_FOR_INTERFACE, lang_, {o})});
                return usage();
            }
        }
        if (a.ipv6) {
            refuse({EXIT_USAGE, Format(T_OPTION_NOT_FOR_INTERFACE, lang_, {"--ipv6"})});
            return usage();
        }
        ConnectionControls c;
        if (!connectionControls(a, c)) {
            return usage();
        }
        const bool usb = c.Interface == ROZHRANI_USBCOM;
        const std::string portText = usb ? c.UsbCom.PortNumber : c.Com.PortNumber;
        std::int32_t port = 0;
        if (!ParseWholeNumberIn(portText, 1, 255, port)) {
            return fail(EXIT_USAGE, Pripojeni::Text(usb ? Pripojeni::TEXT_INVALID_USB_NUMBER
                                                        : Pripojeni::TEXT_INVALID_COM_NUMBER,
                                                    lang_));
        }
        const std::vector<LineSettings> order = SerialScanOrder(a.scanFlags.count("--all-addresses") != 0);
        ScanProgress progress;
        if (!quiet) {
            progress = [this, &order](std::size_t tried, std::size_t total, std::size_t) {
                const LineSettings& s = order[tried - 1];
                progress_.show(Format(T_SCAN_PROGRESS_SERIAL, lang_,
                                    {std::to_string(MBRTU_Rychlost(s.KodBaud)), parityName(s.KodParita),
                                     std::to_string(s.Adresa), std::to_string(tried), std::to_string(total)}),
                             tried, total, 0);
            };
        }
        Value list = Value::array();
        // Whatever answered gets the full identification, through the COM
        // interface: the USB interface would impose its fixed settings.
        const auto check = [&](const LineSettings& at) {
            c.Interface = ROZHRANI_COM;
            c.Com = SerialControls{std::to_string(port), KodBaudNaPozici(at.KodBaud), at.KodParita,
                                   "330", std::to_string(at.Adresa)};
            InitData(&dat_);
            dat_.Lang = lang_;
            ConnectionHooks hooks;
            hooks.pause = [](std::uint32_t) {};
            connection_ = InicializacePripojeni(c, &dat_, tk_, lang_, hooks);
            MBRTU_Zavri(tk_.MBRTU);
            const bool supported = connection_.Outcome == ConnectionOutcome::Connected;
            if (!quiet) {
                progress_.end();
            }
            reportSerialAnswer(port, at, supported, list);
            return supported;
        };
        LineSettings found;
        std::size_t echoes = 0;
        const SerialScanResult r =
            ScanSerial(port, order, progress, &scanInterrupted, check, found, echoes);
        if (!quiet) {
            progress_.end();
        }
        if (r == SerialScanResult::PortError) {
            return fail(EXIT_FAILED, Pripojeni::Text(usb ? Pripojeni::TEXT_USB_ERROR : Pripojeni::TEXT_COM_ERROR, lang_));
        }
        if (echoes > 0) {
            err_ << "tk7713t: " << Format(T_SCAN_ECHOES, lang_, {std::to_string(echoes)}) << "\n";
        }
        return scanReport(list, r == SerialScanResult::Found);
    }

    // One line setting at which something answered: "Found" only for a
    // supported converter, with what it told of itself.
    void reportSerialAnswer(std::int32_t port, const LineSettings& at, bool supported,
                            Value& list) {
        if (json_) {
            Value o = Value::object();
            o.add("CisloCOM", Value::number(port));
            o.add("Baud", Value::number(MBRTU_Rychlost(at.KodBaud)));
            o.add("Parita", Value::string(parityName(at.KodParita)));
            o.add("Adresa", Value::number(static_cast<std::int32_t>(at.Adresa)));
            o.add("TypModulu", Value::bytes(connection_.Type));
            o.add("VerzeModulu", Value::bytes(connection_.Version));
            o.add("VyrCislo", Value::bytes(connection_.SerialNumber));
            o.add("Podporovan", boolean(supported));
            list.push(std::move(o));
            return;
        }
        out_ << Format(supported ? T_SCAN_FOUND_SERIAL : T_SCAN_OTHER_DEVICE, lang_,
                       {std::to_string(MBRTU_Rychlost(at.KodBaud)), parityName(at.KodParita),
                        std::to_string(at.Adresa)})
             << "\n";
        if (!connection_.TypeAndVersion.empty()) {
            out_ << DisplayText(connection_.TypeAndVersion) << "  "
                 << DiagSystem::Text(DiagSystem::TEXT_SERIAL_NUMBER, lang_) << " "
                 << DisplayText(connection_.SerialNumber) << "  "
                 << Text(supported ? T_SCAN_SUPPORTED : T_SCAN_UNSUPPORTED, lang_) << "\n";
        }
        out_ << std::flush;
    }

    static std::string parityName(std::int32_t code) {
        return code >= 0 && code < 3 ? std::string(kParityWords[code]) : "?";
    }

    std::ostream& out_;
    std::ostream& err_;
    std::int32_t lang_ = LANG_EN;
    bool json_ = false;
    bool csv_ = false;
    bool follow_ = false;
    bool readerClosedOutput_ = false;
    bool errIsTerminal_ = false;
    ProgressLine progress_{err_, errIsTerminal_};
    bool deviceMapped_ = false;
    Failure failure_;
    TData dat_;
    TTK7713T tk_;
    ConnectionResult connection_;
};

}  // namespace

tkcompletion::Program CompletionWords() {
    tkcompletion::Program p;
    p.name = "tk7713t";
    for (const OptionSpec& o : kOptions) {
        tkcompletion::Option option{
            std::string(o.name), o.value != OptionValue::None, o.value == OptionValue::File, {}};
        switch (o.value) {
        case OptionValue::Language:
            option.values.assign(std::begin(kLanguages), std::end(kLanguages));
            break;
        case OptionValue::Parity:
            option.values.assign(std::begin(kParityWords), std::end(kParityWords));
            break;
        case OptionValue::Baud:
            option.values.assign(kBaudWords.begin(), kBaudWords.end());
            break;
        case OptionValue::None:
        case OptionValue::Text:
        case OptionValue::File:
            break;
        }
        p.options.push_back(std::move(option));
    }
    p.options.push_back({"-h", false, false, {}});
    p.options.push_back({std::string(kVersionOption), false, false, {}});
    for (std::string_view trace : kTraceOptions) {
        p.options.push_back({std::string(trace), false, false, {}});
    }
    std::vector<std::string> configs;
    std::vector<std::pair<std::string, std::vector<tkcompletion::Field>>> fields;
    for (ConfigDialog d :
         {ConfigDialog::Lan4, ConfigDialog::Mbtcp, ConfigDialog::Uartm, ConfigDialog::Uarts}) {
        configs.emplace_back(ConfigName(d));
        std::vector<tkcompletion::Field> names;
        for (const bool alias : {true, false}) {
            for (const FieldSpec& f : Fields(d)) {
                names.push_back({std::string(alias ? f.alias : f.name), ChoiceValues(f, alias)});
            }
        }
        fields.emplace_back(configs.back(), std::move(names));
    }
    for (const CommandSpec& c : kCommands) {
        tkcompletion::Command command{std::string(c.name), {}, c.argName == "FILE", {}};
        if (c.command == Command::Get || c.command == Command::Set) {
            command.argument = configs;
        }
        if (c.command == Command::Set) {
            command.fields = fields;
        }
        p.commands.push_back(std::move(command));
    }
    return p;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        bool errIsTerminal) {
    std::vector<std::string> rest = args;
    const TraceMode mode = TakeTraceOption(rest);
    std::optional<linktrace::TrafficTracer> tracer;
    if (mode != TraceMode::Off) {
        tracer.emplace([&err](const std::string& line) { err << line << '\n'; },
                       mode == TraceMode::Hex);
    }
    Tool tool(out, err, errIsTerminal);
    return tool.checkOutput(tool.run(rest));
}

}  // namespace tkcli
