// The tool's command line: usage errors and refused connection settings
// end with status 2 before anything is sent; help for the tool and each
// command. Every case names a loopback address or a device that does not
// exist, so nothing could leave the machine even if a case went wrong.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "BuildInfo.h"
#include "cli/Cli.h"
#include "platform/SerialPort.h"

namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome runTool(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = tkcli::Run(args, out, err);
    return {status, out.str(), err.str()};
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) {
        out.push_back(l);
    }
    return out;
}

const char* const kNoDevice = "/nonexistent/tk7713t-test-tty";

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::string> err; // every line of the error output
};

class UsageError : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageError, Status2AndTheMessage) {
    const Outcome r = runTool(GetParam().args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(lines(r.err), GetParam().err);
    EXPECT_EQ(platform::mappedSerialDevicePath(1), "")
        << "a device mapping must not outlive the run";
}

const std::string kHint = "Try: tk7713t --help";
const std::vector<std::string> L{"--lan", "127.0.0.1:1"};

std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, UsageError,
    ::testing::Values(
        UsageCase{"NoArguments", {}, {"tk7713t: Missing command", kHint}},
        UsageCase{"UnknownCommand",
                  with(L, {"frobnicate"}),
                  {"tk7713t: Unknown command: frobnicate", kHint}},
        UsageCase{"UnknownOption",
                  with(L, {"--verbose", "identify"}),
                  {"tk7713t: Unknown option: --verbose", kHint}},
        UsageCase{"FlagWithValue",
                  with(L, {"--json=yes", "identify"}),
                  {"tk7713t: Unknown option: --json=yes", kHint}},
        UsageCase{
            "MissingValue", {"identify", "--lan"}, {"tk7713t: Option --lan needs a value", kHint}},
        UsageCase{"OptionTwice",
                  with(L, {"--lan=127.0.0.1:2", "identify"}),
                  {"tk7713t: Option --lan is given twice", kHint}},
        UsageCase{
            "BadBaud",
            {"--device", kNoDevice, "--baud", "1200", "identify"},
            {"tk7713t: Invalid baud rate 1200 (2400, 4800, 9600, 19200, 38400, 57600, 115200)",
             kHint}},
        UsageCase{"BadParity",
                  {"--device", kNoDevice, "--parity", "mark", "identify"},
                  {"tk7713t: Invalid parity mark (none, even, odd)", kHint}},
        UsageCase{"BadLanguage",
                  with(L, {"--lang", "de", "identify"}),
                  {"tk7713t: Invalid language de (en, cs)", kHint}},
        UsageCase{"LanAndCom",
                  with(L, {"--com", "1", "identify"}),
                  {"tk7713t: Choose one interface only (--lan, --com/--device, --usb)", kHint}},
        UsageCase{"DeviceAndUsb",
                  {"--device", kNoDevice, "--usb", "3", "identify"},
                  {"tk7713t: Choose one interface only (--lan, --com/--device, --usb)", kHint}},
        UsageCase{"BaudOnLan",
                  with(L, {"--baud", "9600", "identify"}),
                  {"tk7713t: Option --baud does not apply to the chosen interface", kHint}},
        UsageCase{"AddressOnDefaultLan",
                  {"--address", "5", "identify"},
                  {"tk7713t: Option --address does not apply to the chosen interface", kHint}},
        UsageCase{"TimeoutOnUsb",
                  {"--usb", "3", "--timeout", "5", "identify"},
                  {"tk7713t: Option --timeout does not apply to the chosen interface", kHint}},
        UsageCase{"Ipv6OnSerial",
                  {"--device", kNoDevice, "--ipv6", "identify"},
                  {"tk7713t: Option --ipv6 does not apply to the chosen interface", kHint}},
        UsageCase{"LanTimeoutOnSerial",
                  {"--device", kNoDevice, "--lan-timeout", "5", "identify"},
                  {"tk7713t: Option --lan-timeout does not apply to the chosen interface", kHint}},
        UsageCase{"ExtraArgument",
                  with(L, {"identify", "extra"}),
                  {"tk7713t: Unexpected argument: extra", kHint}},
        UsageCase{"GetWithoutConfig",
                  with(L, {"get"}),
                  {"tk7713t: Command get needs the argument lan4|mbtcp|uartm|uarts", kHint}},
        UsageCase{"GetUnknownConfig",
                  with(L, {"get", "eth"}),
                  {"tk7713t: Unknown configuration eth (lan4, mbtcp, uartm, uarts)", kHint}},
        UsageCase{"SetWithoutConfig",
                  with(L, {"set"}),
                  {"tk7713t: Command set needs the argument lan4|mbtcp|uartm|uarts",
                   "Try: tk7713t set --help"}},
        UsageCase{"BackupWithoutFile",
                  with(L, {"backup"}),
                  {"tk7713t: Command backup needs the argument FILE", kHint}},
        UsageCase{"Czech",
                  {"--lang", "cs", "--lan", "127.0.0.1:1", "frob"},
                  {"tk7713t: Neznámý příkaz: frob", "Nápověda: tk7713t --help"}},
        // Refused like the connection dialog refuses them: its messages, no hint.
        UsageCase{"EmptyIp", {"--lan", "", "identify"}, {"tk7713t: Invalid IP address"}},
        UsageCase{"LanTimeout0",
                  with(L, {"--lan-timeout", "0", "identify"}),
                  {"tk7713t: Invalid LAN timeout (1-65535 ms)"}},
        UsageCase{"LanTimeoutWithUnit",
                  with(L, {"--lan-timeout", "100ms", "identify"}),
                  {"tk7713t: Invalid LAN timeout (1-65535 ms)"}},
        UsageCase{"ComNumber256",
                  {"--com", "256", "identify"},
                  {"tk7713t: Invalid COM port number (1-255)"}},
        UsageCase{"DeviceWithBadCom",
                  {"--device", kNoDevice, "--com", "x", "identify"},
                  {"tk7713t: Invalid COM port number (1-255)"}},
        UsageCase{"ComTimeout",
                  {"--com", "250", "--timeout", "65536", "identify"},
                  {"tk7713t: Invalid COM port timeout (1-65535 ms)"}},
        UsageCase{"ComAddress0",
                  {"--com", "250", "--address", "0", "identify"},
                  {"tk7713t: Invalid converter address (1-255)"}},
        UsageCase{"CzechAddress",
                  {"--lang=cs", "--com", "250", "--address", "-1", "identify"},
                  {"tk7713t: Neplatná adresa konvertoru (1-255)"}},
        UsageCase{"UsbNumber0",
                  {"--usb", "0", "identify"},
                  {"tk7713t: Invalid USB COM port number (1-255)"}},
        // Addresses that cannot be one are typos, not converters that fail to answer.
        UsageCase{"LanPortTooLarge",
                  {"--lan", "127.0.0.1:65536", "identify"},
                  {"tk7713t: Invalid address 127.0.0.1:65536 for --lan", kHint}},
        UsageCase{"LanOpenBracket",
                  {"--lan", "[", "identify"},
                  {"tk7713t: Invalid address [ for --lan", kHint}},
        UsageCase{"LanColonOnly",
                  {"--lan", ":", "identify"},
                  {"tk7713t: Invalid address : for --lan", kHint}},
        UsageCase{"LanTwoPorts",
                  {"--lan", "127.0.0.1:69:69", "identify"},
                  {"tk7713t: Invalid address 127.0.0.1:69:69 for --lan", kHint}},
        UsageCase{"CsvNotForStats",
                  with(L, {"--csv", "stats"}),
                  {"tk7713t: Option --csv does not apply to the command stats", kHint}},
        UsageCase{"CsvWithJson",
                  with(L, {"--csv", "--json", "history"}),
                  {"tk7713t: Option --json does not apply to the command history --csv", kHint}},
        UsageCase{"FollowNotForHistory",
                  with(L, {"history", "--follow"}),
                  {"tk7713t: Option --follow does not apply to the command history", kHint}},
        // Of several refused values the first one checked is reported.
        UsageCase{"ScanPortBeforeTimeout",
                  {"scan", "--lan", "127.0.0.1/32", "--port", "0", "--lan-timeout", "500"},
                  {"tk7713t: Invalid port 0 (1-65535)"}},
        UsageCase{"ScanPortBeforeBadTimeout",
                  {"scan", "--lan", "127.0.0.1/32", "--port", "70000", "--rate", "0",
                   "--lan-timeout", "0"},
                  {"tk7713t: Invalid port 70000 (1-65535)"}},
        UsageCase{"ScanRateBeforeTimeout",
                  {"scan", "--lan", "127.0.0.1/32", "--rate", "0", "--lan-timeout", "x"},
                  {"tk7713t: Invalid probe rate 0 (1-1000 per second)"}},
        UsageCase{"ScanTimeout",
                  {"scan", "--lan", "127.0.0.1/32", "--rate", "7", "--lan-timeout", "0"},
                  {"tk7713t: Invalid LAN timeout (1-65535 ms)"}},
        UsageCase{"ScanRangeBeforePort",
                  {"scan", "--lan", "127.0.0.1/33", "--port", "0"},
                  {"tk7713t: Invalid IPv4 address range 127.0.0.1/33 (a.b.c.d/n or FIRST-LAST)"}}),
    [](const ::testing::TestParamInfo<UsageCase>& i) { return std::string(i.param.name); });

TEST(Help, ToolAndEveryCommand) {
    Outcome r = runTool({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Usage: tk7713t [connection] [--json] [--lang en|cs] COMMAND", 0), 0u);
    EXPECT_NE(r.out.find("Exit status: 0 success"), std::string::npos);
    EXPECT_EQ(runTool({"-h"}).out, r.out);

    for (const char* command : {"identify", "info", "stats", "history", "get", "set", "restart",
                                "clear-stats", "backup", "restore"}) {
        r = runTool({command, "--help"});
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out.rfind(std::string("Usage: tk7713t [connection] ") + command, 0), 0u)
            << r.out;
    }
    r = runTool({"--lang", "cs", "set", "--help"});
    EXPECT_EQ(r.out.rfind("Použití: tk7713t [připojení] set", 0), 0u);
    // Both names of every field, each file's first line naming the file.
    r = runTool({"set", "--help"});
    for (const char* line :
         {"\n  lan4   ip=a.b.c.d                                    IP4_Adresa\n",
          "\n         dhcp=off|on                                   IP4_DHCP=0-1\n",
          "\n  mbtcp  unit-id=1-255                                 UnitID\n",
          "\n  uartm  baud=2400|4800|9600|19200|38400|57600|115200  KodBaud=2-8\n",
          "\n         timeout=1-65535 ms                            Timeout\n",
          "\n         routing=off|on                                Repeater=0-1\n"}) {
        EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
    }
    r = runTool({"frob", "--help"});
    EXPECT_EQ(r.status, 2);
}

TEST(Version, AnswersAloneWithTheBuildVersion) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--version"}, {"--com", "0", "get", "--version"}}) {
        const Outcome r = runTool(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, std::string("tk7713t ") + buildinfo::kVersion + "\n");
        EXPECT_EQ(r.err, "");
    }
}

} // namespace
