// tk7713t modbus against the simulator's gateway on loopback: every
// function with its values, exceptions with their texts, polling, the unit
// scan, and the refusals that send nothing.
#include <gtest/gtest.h>

#include "sim_peers.h"
#include "tools/GatewayPeer.h"
#include "tools/ToolRun.h"

namespace {

using harness::runTool;

class CliModbus : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(gateway.started()) << gateway.error(); }

    harness::ToolOutcome modbus(std::vector<std::string> args) {
        std::vector<std::string> all{"--lan", gateway.lan(), "--mbtcp-port",
                                     std::to_string(gateway.mbtcpPort()), "modbus"};
        all.insert(all.end(), args.begin(), args.end());
        return runTool(all);
    }

    harness::GatewayPeer gateway;
};

struct ReadCase {
    std::vector<std::string> args;
    const char* out;
};

TEST_F(CliModbus, ReadsEveryTableOfABuiltInSlave) {
    const ReadCase cases[] = {
        {{"read", "holding", "0", "3", "--unit", "2"},
         "0: 2000 (0x07D0)\n1: 2001 (0x07D1)\n2: 2002 (0x07D2)\n"},
        {{"read", "input", "998", "2", "--unit", "1"}, "998: 998 (0x03E6)\n999: 999 (0x03E7)\n"},
        {{"read", "coils", "0", "3"}, "0: 0\n1: 1\n2: 0\n"},
        {{"read", "discrete", "3", "2", "--one-based"}, "3: 0\n4: 1\n"},
    };
    for (const ReadCase& c : cases) {
        const auto r = modbus(c.args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, c.out) << c.args[1];
    }
}

TEST_F(CliModbus, TraceDecodesTheRequestAndTheAnswer) {
    const auto r = modbus({"--trace", "read", "input", "4", "2", "--unit", "2"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string at =
        "TCP 127.0.0.1:" + std::to_string(gateway.mbtcpPort()) + "  tid 0 unit 2 ";
    EXPECT_NE(
        r.err.find("-> " + at + "fn 0x04 request, 12 bytes: read input registers from 4, 2\n"),
        std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("<- " + at + "fn 0x04 answer, 13 bytes: 2 input registers: 4 5\n"),
              std::string::npos)
        << r.err;
}

TEST_F(CliModbus, WritesWithTheSingleAndMultipleFunctionsAndReadsThemBack) {
    const std::vector<std::vector<std::string>> writes{{"write", "registers", "10", "0x00FF"},
                                                       {"write", "registers", "11", "7", "65535"},
                                                       {"write", "coils", "20", "1"},
                                                       {"write", "coils", "21", "0", "1", "1"}};
    for (const auto& w : writes) {
        const auto r = modbus(w);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.rfind("Written: ", 0), 0u) << r.out;
    }
    EXPECT_EQ(modbus({"read", "holding", "10", "3"}).out,
              "10: 255 (0x00FF)\n11: 7 (0x0007)\n12: 65535 (0xFFFF)\n");
    EXPECT_EQ(modbus({"read", "coils", "20", "4"}).out, "20: 1\n21: 0\n22: 1\n23: 1\n");
    // A broadcast reaches both slaves and is not answered.
    const auto b = modbus({"write", "registers", "30", "4242", "--unit", "0"});
    EXPECT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(b.out, "Sent as a broadcast; no answer is expected\n");
    for (const char* unit : {"1", "2"}) {
        const auto r = modbus({"read", "holding", "30", "1", "--unit", unit, "--json"});
        EXPECT_NE(r.out.find("\"values\": [4242]"), std::string::npos) << r.out;
    }
}

TEST_F(CliModbus, ExplainsExceptionsAndTheGatewaysLikelyCauses) {
    const auto address = modbus({"read", "holding", "999", "2"});
    EXPECT_EQ(address.status, 1);
    EXPECT_EQ(address.out, "");
    EXPECT_EQ(address.err, "tk7713t: Exception 0x02 (illegal data address): The unit has no data "
                           "at these addresses; addresses "
                           "are 0-based on the wire (register 40001 is address 0).\n");

    ASSERT_EQ(runTool({"--lan", gateway.lan(), "set", "uartm", "Timeout=20", "Opakovani=1"}).status,
              0);
    const auto silent = modbus({"read", "holding", "0", "10", "--unit", "9", "--json"});
    EXPECT_EQ(silent.status, 1);
    EXPECT_EQ(silent.err, "tk7713t: Exception 0x0B (gateway target device failed to respond): The "
                          "gateway sent the request on "
                          "the master line, but no valid answer came in time.\n"
                          "Likely causes:\n"
                          "  - unit 9 is not on the master line\n"
                          "  - the slave's speed, parity or address differ from the master line's "
                          "settings (uartm.cfg: 9600 "
                          "Bd, even parity, timeout 20 ms, 1 retries)\n"
                          "  - the timeout is too short for the baud rate: this answer needs at "
                          "least 33 ms at 9600 Bd\n");
    EXPECT_NE(silent.out.find("\"exception\": 11"), std::string::npos) << silent.out;
    EXPECT_NE(silent.out.find("\"causes\": ["), std::string::npos) << silent.out;
}

TEST_F(CliModbus, PollsWithOneLineEachAndASummary) {
    const auto r =
        modbus({"read", "holding", "5", "2", "--repeat", "3", "--interval", "10", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines;
    for (std::size_t at = 0, nl; (nl = r.out.find('\n', at)) != std::string::npos; at = nl + 1) {
        lines.push_back(r.out.substr(at, nl - at));
    }
    ASSERT_EQ(lines.size(), 4u) << r.out;
    EXPECT_EQ(
        lines[2].rfind(
            "{\"poll\": 3,\"unit\": 1,\"function\": 3,\"address\": 5,\"status\": \"answered\","
            "\"values\": [1005, 1006],\"round_trip_ms\": ",
            0),
        0u)
        << lines[2];
    EXPECT_EQ(
        lines[3].rfind(
            "{\"summary\": {\"sent\": 3,\"answered\": 3,\"exceptions\": 0,\"timeouts\": 0,", 0),
        0u)
        << lines[3];
}

// The whole program: an endless poll ends at Ctrl-C with its summary.
TEST_F(CliModbus, CtrlCEndsAnEndlessPollWithItsSummary) {
    simtest::Child tool({std::string(TK_BINARY_DIR) + "/tools/cli/tk7713t", "--lan", gateway.lan(),
                         "--mbtcp-port", std::to_string(gateway.mbtcpPort()), "modbus", "read",
                         "input", "7", "1", "--repeat", "0", "--interval", "20"});
    ASSERT_TRUE(tool.waitForLine("2: 7 (", 10000)) << tool.out() << tool.err();
    tool.signal(SIGINT);
    EXPECT_EQ(tool.wait(10000), 0) << tool.err();
    const std::string& out = tool.out();
    const std::size_t last = out.rfind('\n', out.size() - 2);
    EXPECT_NE(out.find("answered, 0 exceptions, 0 timeouts; round trip min/median/max ", last),
              std::string::npos)
        << out;
}

TEST_F(CliModbus, ScanFindsExactlyTheSlavesOnTheLine) {
    ASSERT_EQ(runTool({"--lan", gateway.lan(), "set", "uartm", "Timeout=20"}).status, 0);
    const auto r = modbus({"scan", "--unit", "1-6", "--rate", "1000"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Unit 1: answered\nUnit 2: answered\n");
    EXPECT_NE(r.err.find("scan: unit 6 (6/6), 2 found"), std::string::npos) << r.err;
}

struct RefusalCase {
    std::vector<std::string> args;
    int status;
    const char* err;
};

TEST_F(CliModbus, RefusesBadInputAndSerialConnectionsBeforeSendingAnything) {
    const RefusalCase cases[] = {
        {{"--com", "1", "modbus", "read", "holding", "0", "1"},
         2,
         "tk7713t: The gateway test needs the LAN connection\n"},
        {{"modbus", "read", "holding", "0", "126"},
         2,
         "tk7713t: Invalid count (1-125 registers)\n"},
        {{"modbus", "read", "coils", "65535", "2"},
         2,
         "tk7713t: Start address + count exceed 65536\n"},
        {{"modbus", "read", "holding", "0", "1", "--unit", "0"},
         2,
         "tk7713t: Unit id 0 (broadcast) is for writes only (reads: 1-255)\n"},
        {{"modbus", "write", "coils", "0", "2"}, 2, "tk7713t: Invalid coil state 2 (0 or 1)\n"},
        {{"modbus", "scan", "--repeat", "2"},
         2,
         "tk7713t: Option --repeat does not apply to modbus scan\nTry: tk7713t --help\n"},
        {{"modbus", "read", "holding", "0", "1", "--mbtcp-port", "0"},
         2,
         "tk7713t: Invalid Modbus TCP port (1-65535)\n"},
    };
    for (const RefusalCase& c : cases) {
        std::vector<std::string> args{"--lan", gateway.lan()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = runTool(args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.err, c.err);
    }
    // Nothing reached the converter: no TFTP transfer, no request on the line.
    EXPECT_EQ(gateway.sim().log(), std::vector<std::string>{});
    EXPECT_NE(runTool({"--lan", gateway.lan(), "stats"}).out.find("Total number of messages: 0\n"),
              std::string::npos);
}

TEST_F(CliModbus, ConnectionRefusedNamesTheAddress) {
    const auto r =
        runTool({"--lan", "127.0.0.1", "--mbtcp-port", "1", "modbus", "read", "holding", "0", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tk7713t: Connection refused: no Modbus TCP server at 127.0.0.1:1\n");
}

} // namespace
