// tk7713t --trace against the in-process simulator: the decoded traffic of
// identify goes to standard error, standard output stays as without it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/Cli.h"
#include "support/TraceText.h"
#include "tools/SimHarness.h"
#include "tools/ToolRun.h"

namespace {

using harness::runTool;
using Outcome = harness::ToolOutcome;

const char* const kIdentified =
    "Connection successfully initialized. Connected converter :  TK-7713T  v.1.05\n"
    "Serial number: 24070001\n";

TEST(ToolTrace, IdentifyOverLan) {
    harness::Sim sim;
    ASSERT_TRUE(sim.started()) << sim.error();
    const Outcome r = runTool({"--lan", sim.lan(), "--trace", "identify"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kIdentified);
    EXPECT_EQ(
        support::maskedTrace(r.err),
        "t ms hh:mm:ss.mmm -> UDP 127.0.0.1:port  RRQ \"info.txt\" octet blksize=1500 tsize=0\n"
        "t ms              <- UDP 127.0.0.1:port  OACK blksize=1500 tsize=31\n"
        "t ms              -> UDP 127.0.0.1:port  ACK 0\n"
        "t ms              <- UDP 127.0.0.1:port  DATA 1, 31 bytes\n"
        "t ms              -> UDP 127.0.0.1:port  ACK 1\n");
}

TEST(ToolTrace, IdentifyOverPseudoTerminalWithHex) {
    harness::Sim sim;
    ASSERT_TRUE(sim.started()) << sim.error();
    const Outcome r = runTool({"--device", sim.pty(), "--trace=hex", "identify"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kIdentified);
    EXPECT_EQ(support::maskedTrace(r.err),
              "t ms hh:mm:ss.mmm -> COM1  addr 247 fn 0x45 message, 8 bytes: identification item 0 "
              "(type 1-4), CRC ok"
              "  | F7 45 00 08 F7 C8 00 00 00 00 00 00 F6 6B\n"
              "t ms              <- COM1  addr 247 fn 0x45 answer, 8 bytes: identification item 0 "
              "\"TK-7\", CRC ok; silence after n ms"
              "  | F7 45 00 08 F7 C8 00 00 54 4B 2D 37 CA CB\n"
              "t ms              -> COM1  addr 247 fn 0x45 message, 8 bytes: identification item 1 "
              "(type 5-8), CRC ok"
              "  | F7 45 00 08 F7 C8 01 00 00 00 00 00 F7 BA\n"
              "t ms              <- COM1  addr 247 fn 0x45 answer, 8 bytes: identification item 1 "
              "\"713T\", CRC ok; silence after n ms"
              "  | F7 45 00 08 F7 C8 01 00 37 31 33 54 BD 0E\n"
              "t ms              -> COM1  addr 247 fn 0x45 message, 8 bytes: identification item 2 "
              "(firmware version), CRC ok"
              "  | F7 45 00 08 F7 C8 02 00 00 00 00 00 F7 89\n"
              "t ms              <- COM1  addr 247 fn 0x45 answer, 8 bytes: identification item 2 "
              "\"1.05\", CRC ok; silence after n ms"
              "  | F7 45 00 08 F7 C8 02 00 31 2E 30 35 4D 6B\n"
              "t ms              -> COM1  addr 247 fn 0x45 message, 8 bytes: identification item "
              "10 (serial number 1-4), CRC ok"
              "  | F7 45 00 08 F7 C8 0A 00 00 00 00 00 F6 C1\n"
              "t ms              <- COM1  addr 247 fn 0x45 answer, 8 bytes: identification item 10 "
              "\"2407\", CRC ok; silence after n ms"
              "  | F7 45 00 08 F7 C8 0A 00 32 34 30 37 EC 61\n"
              "t ms              -> COM1  addr 247 fn 0x45 message, 8 bytes: identification item "
              "11 (serial number 5-8), CRC ok"
              "  | F7 45 00 08 F7 C8 0B 00 00 00 00 00 F7 10\n"
              "t ms              <- COM1  addr 247 fn 0x45 answer, 8 bytes: identification item 11 "
              "\"0001\", CRC ok; silence after n ms"
              "  | F7 45 00 08 F7 C8 0B 00 30 30 30 31 2D CB\n");
}

TEST(ToolTrace, OtherTraceValuesAreUnknownOptions) {
    const Outcome r = runTool({"--trace=full", "identify"});
    EXPECT_EQ(r.status, tkcli::EXIT_USAGE);
    EXPECT_NE(r.err.find("--trace=full"), std::string::npos) << r.err;
}

} // namespace
