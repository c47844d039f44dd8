// Command line of tk7713t-sim: accepted values, refused values and messages.
#include "sim/Options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using tksim::CommandLine;
using tksim::ParseOutcome;

struct GoodCase {
    std::vector<std::string> args;
    std::function<bool(const CommandLine&)> holds;
    const char* what;
};

class GoodOptions : public ::testing::TestWithParam<GoodCase> {};

TEST_P(GoodOptions, Parse) {
    CommandLine cl;
    std::string message;
    ASSERT_EQ(tksim::parseCommandLine(GetParam().args, cl, message), ParseOutcome::Run) << message;
    EXPECT_TRUE(GetParam().holds(cl)) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GoodOptions,
    ::testing::Values(
        GoodCase{{},
                 [](const CommandLine& c) {
                     return c.config.tftp.enabled && c.config.rtu.enabled &&
                            c.config.tftp.address == "127.0.0.1" && c.config.tftp.port == 6969 &&
                            c.config.rtu.address == 247 && c.config.rtu.baudCode == 4 &&
                            c.config.rtu.parityCode == 1 && c.config.model.restartMs == 2000 &&
                            !c.log && c.config.model.masterLoad == -1 &&
                            c.config.gateway.tcpServer && c.config.gateway.address == "127.0.0.1" &&
                            c.config.gateway.port == 1502 && c.config.gateway.lineSlaves.empty() &&
                            c.config.gateway.trafficPerSecond == 0;
                 },
                 "defaults"},
        GoodCase{{"--mbtcp", "[::1]:0", "--line-slaves", "1,2,247", "--line-slave-delay", "5",
                  "--line-traffic", "3"},
                 [](const CommandLine& c) {
                     const tksim::GatewayOptions& g = c.config.gateway;
                     return g.address == "::1" && g.port == 0 &&
                            g.lineSlaves == std::vector<std::uint8_t>{1, 2, 247} &&
                            g.slaveDelayMs == 5 && g.trafficPerSecond == 3;
                 },
                 "gateway"},
        GoodCase{{"--no-mbtcp", "--line-link", "/tmp/l", "--mbtcp", "localhost:502"},
                 [](const CommandLine& c) {
                     return !c.config.gateway.tcpServer && c.config.gateway.lineLink == "/tmp/l" &&
                            c.config.gateway.address == "localhost" && c.config.gateway.port == 502;
                 },
                 "no server"},
        GoodCase{{"--tftp-port", "0"},
                 [](const CommandLine& c) { return c.config.tftp.port == 0; },
                 "port 0"},
        GoodCase{{"--tftp-port=65535"},
                 [](const CommandLine& c) { return c.config.tftp.port == 65535; },
                 "inline value"},
        GoodCase{{"--address", "255", "--baud", "115200", "--parity", "0"},
                 [](const CommandLine& c) {
                     return c.config.rtu.address == 255 && c.config.rtu.baudCode == 8 &&
                            c.config.rtu.parityCode == 0;
                 },
                 "serial settings"},
        GoodCase{{"--baud", "600"},
                 [](const CommandLine& c) { return c.config.rtu.baudCode == 0; },
                 "slowest rate"},
        GoodCase{{"--link", "/tmp/x", "--pacing", "--turnaround", "5"},
                 [](const CommandLine& c) {
                     return c.config.rtu.linkPath == "/tmp/x" && c.config.rtu.pacing &&
                            c.config.rtu.turnaroundMs == 5;
                 },
                 "pty link and pacing"},
        GoodCase{{"--type", "TK-7713X", "--firmware-version", "3.00", "--serial-number", "1"},
                 [](const CommandLine& c) {
                     return c.config.model.identity.type == "TK-7713X" &&
                            c.config.model.identity.version == "3.00" &&
                            c.config.model.identity.serial == "1";
                 },
                 "identity"},
        GoodCase{{"--uptime", "4294967295", "--load", "0", "--restart-time", "0"},
                 [](const CommandLine& c) {
                     return c.config.model.initialUptimeS == 4294967295u &&
                            c.config.model.masterLoad == 0 && c.config.model.restartMs == 0;
                 },
                 "model"},
        GoodCase{{"--drop-every", "3", "--corrupt-crc-every", "2", "--delay", "100", "--exception",
                  "4", "--refuse-writes", "--ignore-writes", "--no-oack", "--force-blksize", "4",
                  "--duplicate-data", "--foreign-port"},
                 [](const CommandLine& c) {
                     const tksim::Faults& f = c.config.faults;
                     return f.dropEvery == 3 && f.corruptCrcEvery == 2 && f.delayMs == 100 &&
                            f.exceptionCode == 4 && f.refuseWrites && f.ignoreWrites && f.noOack &&
                            f.forceBlksize == 4 && f.duplicateData && f.foreignPort;
                 },
                 "faults"},
        GoodCase{{"--no-rtu", "--log"},
                 [](const CommandLine& c) { return !c.config.rtu.enabled && c.log; },
                 "no rtu"}));

struct BadCase {
    std::vector<std::string> args;
    const char* messagePart;
};

class BadOptions : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadOptions, AreRefusedWithAReason) {
    CommandLine cl;
    std::string message;
    EXPECT_EQ(tksim::parseCommandLine(GetParam().args, cl, message), ParseOutcome::Error);
    EXPECT_NE(message.find(GetParam().messagePart), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadOptions,
    ::testing::Values(
        BadCase{{"--bogus"}, "unknown option --bogus"},
        BadCase{{"--tftp-port", "65536"}, "0-65535"}, BadCase{{"--tftp-port", "-1"}, "0-65535"},
        BadCase{{"--tftp-port", "12x"}, "invalid value"}, BadCase{{"--tftp-port"}, "needs a value"},
        BadCase{{"--address", "0"}, "1-255"}, BadCase{{"--address", "256"}, "1-255"},
        BadCase{{"--baud", "8"}, "600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200"},
        BadCase{{"--baud", "9601"}, "(600, 1200"}, BadCase{{"--parity", "3"}, "0-2"},
        BadCase{{"--load", "101"}, "0-100"}, BadCase{{"--force-blksize", "65465"}, "1-65464"},
        BadCase{{"--force-blksize", "0"}, "1-65464"}, BadCase{{"--exception", "0"}, "1-255"},
        BadCase{{"--type", ""}, "invalid value"}, BadCase{{"--pacing=1"}, "takes no value"},
        BadCase{{"--no-tftp", "--no-rtu", "--no-mbtcp"}, "nothing to serve"},
        BadCase{{"--mbtcp", "1502"}, "ADDRESS:PORT"},
        BadCase{{"--mbtcp", "::1:1502"}, "[IPv6]:PORT"},
        BadCase{{"--mbtcp", "127.0.0.1:65536"}, "port 0-65535"},
        BadCase{{"--line-slaves", "1,,2"}, "1-247"}, BadCase{{"--line-slaves", "0"}, "1-247"},
        BadCase{{"--line-slaves", "248"}, "1-247"}, BadCase{{"--line-traffic", "1001"}, "0-1000"},
        BadCase{{"--line-link", "/tmp/l", "--line-slaves", "1"}, "exclude each other"},
        BadCase{{"--serial", "/dev/ttyS0", "--link", "/tmp/x"}, "--link"}));

TEST(HelpOption, WinsAndListsEveryOption) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, {"-h"}, {"--tftp-port", "1", "-h"}}) {
        CommandLine cl;
        std::string message;
        EXPECT_EQ(tksim::parseCommandLine(args, cl, message), ParseOutcome::Help);
    }
    CommandLine cl;
    std::string message;
    EXPECT_EQ(tksim::parseCommandLine({"--address", "5", "--version"}, cl, message),
              ParseOutcome::Version);
    const std::string usage = tksim::usageText();
    for (const char* option : {"--tftp-address",
                               "--tftp-port",
                               "--no-tftp",
                               "--retransmit",
                               "--retries",
                               "--serial",
                               "--link",
                               "--no-rtu",
                               "--address",
                               "--baud",
                               "--parity",
                               "--pacing",
                               "--turnaround",
                               "--frame-gap",
                               "--type",
                               "--firmware-version",
                               "--version",
                               "--serial-number",
                               "--restart-time",
                               "--load",
                               "--uptime",
                               "--log",
                               "--drop-every",
                               "--corrupt-crc-every",
                               "--delay",
                               "--exception",
                               "--refuse-writes",
                               "--ignore-writes",
                               "--no-oack",
                               "--force-blksize",
                               "--duplicate-data",
                               "--foreign-port",
                               "--mbtcp",
                               "--no-mbtcp",
                               "--line-link",
                               "--line-slaves",
                               "--line-slave-delay",
                               "--line-traffic"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
}

} // namespace
