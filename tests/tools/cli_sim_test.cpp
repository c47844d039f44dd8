// The tool end to end against the in-process simulator, over the LAN on a
// loopback port and over the simulator's pseudo-terminal.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/Json.h"
#include "sim/DeviceModel.h"
#include "support/FakeClock.h"
#include "tools/SimHarness.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome runTool(std::vector<std::string> args) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = tkcli::Run(args, out, err);
    return {status, out.str(), err.str()};
}

tkcli::json::Value parsed(const std::string& text) {
    tkcli::json::Value v;
    std::string error;
    EXPECT_TRUE(tkcli::json::read(text, v, error)) << error << "\n" << text;
    return v;
}

class ToolTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(sim.started()) << sim.error(); }

    // Connection options for the LAN on the simulator's port.
    std::vector<std::string> lan(std::vector<std::string> rest) {
        std::vector<std::string> args{"--lan", sim.lan(), "--lan-timeout", "300"};
        args.insert(args.end(), rest.begin(), rest.end());
        return args;
    }
    std::vector<std::string> serial(std::vector<std::string> rest) {
        std::vector<std::string> args{"--device", sim.pty(), "--timeout", "200"};
        args.insert(args.end(), rest.begin(), rest.end());
        return args;
    }
    Bytes file(tksim::SimFile f) { return sim.model().read(f); }

    harness::Sim sim;
};

TEST_F(ToolTest, IdentifyOverLanAndSerial) {
    Outcome r = runTool(lan({"identify"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Connection successfully initialized. Connected converter :  TK-7713T  v.1.05\n"
              "Serial number: 24070001\n");

    r = runTool(serial({"--json", "identify"}));
    EXPECT_EQ(r.status, 0) << r.err;
    const auto v = parsed(r.out);
    EXPECT_EQ(v.find("TypVerze")->text, "TK-7713T  v.1.05");
    EXPECT_EQ(v.find("TypModulu")->text, "TK-7713T");
    EXPECT_EQ(v.find("VerzeModulu")->text, "1.05");
    EXPECT_EQ(v.find("VyrCislo")->text, "24070001");
    EXPECT_EQ(sim.settledCount("0x45 identify", 5), 5u);
}

TEST_F(ToolTest, CzechMessages) {
    const Outcome r = runTool(lan({"--lang", "cs", "identify"}));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Připojení úspěšně inicializováno. Připojený konvertor :  TK-7713T  v.1.05\n"
                     "Výrobní číslo: 24070001\n");
}

TEST_F(ToolTest, InfoRowsAndEveryFieldAsJson) {
    Outcome r = runTool(lan({"info"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Firmware type and version: TK-7713T FW 1.05\n"), std::string::npos)
        << r.out;
    EXPECT_TRUE(
        std::regex_search(r.out, std::regex("MAC address: ([0-9A-F]{2}:){5}[0-9A-F]{2}\n")));
    EXPECT_NE(r.out.find("Current IP address: 192.168.0.99\n"), std::string::npos);
    EXPECT_TRUE(
        std::regex_search(r.out, std::regex(R"(Run time \[sec\]: \d+ \(\d+:\d\d:\d\d:\d\d\)\n)")));

    r = runTool(lan({"--json", "info"}));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto v = parsed(r.out);
    ASSERT_TRUE(v.isObject());
    EXPECT_EQ(v.members.size(), 49u) << "every field of sys.bin but Status";
    EXPECT_EQ(v.members.front().first, "TypFW");
    EXPECT_EQ(v.members.back().first, "NapetiPWR_CisloMereni");
    EXPECT_EQ(v.find("TypFW")->text.size(), 24u) << "zero bytes are kept";
    EXPECT_NE(r.out.find(R"("TypFW": "TK-7713T FW 1.05\u0000)"), std::string::npos);
    EXPECT_EQ(v.find("IP4_Adresa")->text, "192.168.0.99");
    EXPECT_TRUE(
        std::regex_match(v.find("IP6_LLA")->text, std::regex("([0-9A-F]{4}:){7}[0-9A-F]{4}")));
    EXPECT_TRUE(
        std::regex_match(v.find("AktualHBIN")->find("Hash")->text, std::regex("[0-9A-F]{32}")));
    EXPECT_TRUE(v.find("UptimeS")->isNumber());
    EXPECT_TRUE(v.find("TeplotaUP")->isNumber());
}

TEST_F(ToolTest, StatsHistoryAndClear) {
    Outcome r = runTool(serial({"--json", "stats"}));
    ASSERT_EQ(r.status, 0) << r.err;
    auto v = parsed(r.out);
    std::vector<std::string> keys;
    for (const auto& m : v.members) {
        keys.push_back(m.first);
    }
    EXPECT_EQ(keys,
              (std::vector<std::string>{"PocetZprav", "PocetChybnychZprav",
                                        "PocetNegativnichOdpovedi", "CetnostZprav", "Vytizeni"}));

    r = runTool(lan({"history"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 180);
    r = runTool(lan({"--json", "history"}));
    v = parsed(r.out);
    EXPECT_EQ(v.find("PoleDat")->items.size(), 180u);

    r = runTool(lan({"clear-stats"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Statistics cleared\n");
    r = runTool(lan({"--json", "stats"}));
    v = parsed(r.out);
    EXPECT_EQ(v.find("PocetChybnychZprav")->text, "0");
}

// An output that takes `lines` lines and then fails with `error`, by
// default as a pipe whose reader went away.
class ClosingOutput : public std::streambuf {
  public:
    explicit ClosingOutput(int lines, int error = EPIPE) : left_(lines), error_(error) {}
    std::string text;

  protected:
    int overflow(int c) override {
        if (left_ <= 0 || c == traits_type::eof()) {
            errno = error_;
            return traits_type::eof();
        }
        text.push_back(static_cast<char>(c));
        left_ -= c == '\n' ? 1 : 0;
        return c;
    }

  private:
    int left_;
    int error_;
};

TEST_F(ToolTest, HistoryAsCsvAndStatsFollowedLineByLine) {
    Outcome r = runTool(serial({"history", "--csv"}));
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream csv(r.out);
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "seconds_back,percent");
    int rows = 0;
    while (std::getline(csv, line)) {
        EXPECT_TRUE(std::regex_match(line, std::regex(std::to_string(179 - rows) + ",[0-9]+")))
            << line;
        ++rows;
    }
    EXPECT_EQ(rows, 180);

    const std::string stamp = "[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}";
    struct Case {
        std::vector<std::string> args;
        std::string pattern;
    };
    const Case cases[] = {
        {lan({"stats", "--follow"}),
         stamp + " Total number of messages: [0-9]+; Total number of error messages: [0-9]+; "
                 "Total number of negative responses: [0-9]+; Message frequency "
                 "\\[messages/sec\\]: [0-9]+; "
                 "Master interface utilization \\[%\\]: [0-9]+"},
        {serial({"--json", "stats", "--follow"}),
         "\\{\"Cas\": *\"" + stamp +
             "\", *\"PocetZprav\": *[0-9]+, *\"PocetChybnychZprav\": *[0-9]+, "
             "*\"PocetNegativnichOdpovedi\": *[0-9]+, *\"CetnostZprav\": *[0-9]+, *\"Vytizeni\": "
             "*[0-9]+\\}"},
    };
    for (const Case& c : cases) {
        sim.clearLog();
        ClosingOutput closing(3);
        std::ostream out(&closing);
        std::ostringstream err;
        EXPECT_EQ(tkcli::Run(c.args, out, err), 0) << err.str();
        std::istringstream got(closing.text);
        int n = 0;
        while (std::getline(got, line)) {
            EXPECT_TRUE(std::regex_match(line, std::regex(c.pattern))) << line;
            if (c.args[4] == "--json") {
                parsed(line);
            }
            ++n;
        }
        EXPECT_EQ(n, 3);
        if (c.args[0] == "--device") {
            // One read per line, the last one finding the output gone.
            EXPECT_EQ(sim.settledCount("0x43 file 6 ", 4), 4u);
        }
    }
}

// Only a reader that went away ends a followed run well; a full disk does not.
TEST_F(ToolTest, FollowedStatisticsFailOnAnyOtherWriteError) {
    ClosingOutput full(2, ENOSPC);
    std::ostream out(&full);
    std::ostringstream err;
    EXPECT_EQ(tkcli::Run(lan({"stats", "--follow"}), out, err), 1);
    EXPECT_EQ(err.str(), "tk7713t: Cannot write the output\n");
}

TEST_F(ToolTest, GetPrintsNameValueLines) {
    const Outcome r = runTool(lan({"get", "uartm"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "KodBaud=4\nKodParita=1\nTimeout=330\nOpakovani=0\n");
    const Outcome l = runTool(serial({"get", "lan4.cfg"}));
    EXPECT_EQ(
        l.out,
        "IP4_Adresa=192.168.0.99\nIP4_Maska=255.255.255.0\nIP4_Brana=192.168.0.200\nIP4_DHCP=0\n");
}

TEST_F(ToolTest, SetWritesVerifiesAndKeepsUnnamedFields) {
    Outcome r = runTool(lan({"set", "uartm", "KodBaud=8", "Opakovani=15"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Configuration write successfully\n");
    EXPECT_EQ(file(tksim::SimFile::Uartm), (Bytes{0x08, 0x01, 0x4A, 0x01, 0x0F, 0x9D}));

    // Over the serial port, as JSON of the values read back.
    r = runTool(serial({"--json", "set", "mbtcp", "Timeout=255"}));
    EXPECT_EQ(r.status, 0) << r.err;
    const auto v = parsed(r.out);
    EXPECT_EQ(v.find("UnitID")->text, "255");
    EXPECT_EQ(v.find("Timeout")->text, "255");
    EXPECT_EQ(file(tksim::SimFile::Mbtcp), (Bytes{0xFF, 0xFF, 0x02}));
    EXPECT_EQ(sim.count("0x44 file 22"), 1u);
    EXPECT_EQ(sim.settledCount("0x43 file 22", 2), 2u)
        << "one read of the current values, one read-back";

    r = runTool(lan({"set", "lan4", "IP4_Adresa=10.1.2.3", "IP4_DHCP=1"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(file(tksim::SimFile::Lan4),
              (Bytes{10, 1, 2, 3, 255, 255, 255, 0, 192, 168, 0, 200, 1, 0, 0, 0xC2}));

    // In the dialog's words and units.
    r = runTool(serial({"set", "uartm", "baud=115200", "parity=odd", "timeout=500", "retries=3"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(file(tksim::SimFile::Uartm), (Bytes{0x08, 0x02, 0xF4, 0x01, 0x03, 0xFE}));
}

struct Refusal {
    std::vector<std::string> args;
    std::string message;
};

class SetRefused : public ToolTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(SetRefused, NothingIsSent) {
    const Bytes before = file(tksim::SimFile::Uartm);
    std::vector<std::string> args = lan({"set"});
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    const Outcome r = runTool(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "tk7713t: " + GetParam().message + "\nTry: tk7713t set --help\n");
    EXPECT_TRUE(sim.log().empty())
        << "no byte may reach the converter, not even the identification";
    EXPECT_EQ(file(tksim::SimFile::Uartm), before);
}

INSTANTIATE_TEST_SUITE_P(
    Values, SetRefused,
    ::testing::Values(
        Refusal{{"uartm", "Timeout=0"}, "Invalid External module timeout (1-65535)"},
        Refusal{{"uartm", "Opakovani=16", "Timeout=x"},
                "Invalid External module timeout (1-65535)"},
        Refusal{{"uartm", "Opakovani=16"},
                "Invalid Number of retries on communication error (0-15)"},
        Refusal{{"uartm", "KodBaud=1"}, "Invalid value KodBaud=1 (2-8)"},
        Refusal{{"uartm", "KodParita=odd"}, "Invalid value KodParita=odd (0-2)"},
        Refusal{{"uarts", "Adresa=256"}, "Invalid converter address (1-255)"},
        Refusal{{"mbtcp", "UnitID=0"}, "Invalid converter address (1-255)"},
        Refusal{{"mbtcp", "Timeout=256"}, "Invalid TCP timeout (1-255)"},
        Refusal{{"lan4", "IP4_Maska=255.255.0"}, "Invalid IP4 mask"},
        Refusal{{"lan4", "IP4_Brana=1.2.3.4."}, "Invalid IP4 gateway"},
        Refusal{{"uartm", "Baud=8"},
                "Unknown field Baud (baud, parity, timeout, retries, KodBaud, KodParita, Timeout, "
                "Opakovani)"},
        Refusal{{"uartm", "Timeout=5", "Timeout=6"}, "Field Timeout is given twice"},
        Refusal{{"uartm", "baud=9600", "KodBaud=4"}, "Field KodBaud is given twice"},
        Refusal{{"uartm", "baud=1200"},
                "Invalid value baud=1200 (2400, 4800, 9600, 19200, 38400, 57600, 115200)"},
        Refusal{{"uartm", "baud=8"},
                "Invalid value baud=8 (2400, 4800, 9600, 19200, 38400, 57600, 115200)"},
        Refusal{{"uarts", "parity=mark"}, "Invalid value parity=mark (none, even, odd)"},
        Refusal{{"uarts", "routing=1"}, "Invalid value routing=1 (off, on)"},
        Refusal{{"lan4", "dhcp=yes"}, "Invalid value dhcp=yes (off, on)"},
        Refusal{{"uartm", "retries=16"}, "Invalid Number of retries on communication error (0-15)"},
        Refusal{{"mbtcp", "unit-id=0"}, "Invalid converter address (1-255)"},
        Refusal{{"lan4", "gateway=10.0.0"}, "Invalid IP4 gateway"},
        Refusal{{"mbtcp", "address=5"},
                "Unknown field address (unit-id, timeout, UnitID, Timeout)"},
        Refusal{{"uartm", "Timeout"}, "Expected NAME=VALUE: Timeout"},
        Refusal{{"uartm"}, "Give at least one NAME=VALUE"},
        Refusal{{"eth0", "Timeout=5"}, "Unknown configuration eth0 (lan4, mbtcp, uartm, uarts)"}));

TEST_F(ToolTest, VerificationErrorInjectedBySimulator) {
    tksim::Faults f;
    f.ignoreWrites = true;
    sim.sim().setFaults(f);
    const Outcome r = runTool(lan({"set", "mbtcp", "UnitID=7"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tk7713t: Write verification error\n  UnitID: written 7, read back 255\n");
    EXPECT_EQ(file(tksim::SimFile::Mbtcp), (Bytes{0xFF, 0x05, 0xFC}));
}

TEST_F(ToolTest, RefusedWriteIsAConnectionError) {
    tksim::Faults f;
    f.refuseWrites = true;
    sim.sim().setFaults(f);
    const Outcome r = runTool(serial({"set", "uarts", "Repeater=1"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tk7713t: Converter connection error\n");
}

TEST_F(ToolTest, RestartSendsTheCommand) {
    const unsigned before = sim.model().restartCount();
    const Outcome r = runTool(lan({"restart"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Converter restarted\n");
    EXPECT_EQ(sim.model().restartCount(), before + 1);
}

class BackupRestore : public ToolTest {
  protected:
    void SetUp() override {
        ToolTest::SetUp();
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '_');
        dir =
            fs::temp_directory_path() / ("tk7713t-cli-" + std::to_string(::getpid()) + "-" + name);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const char* name) { return (dir / name).string(); }
    static std::string slurp(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void spit(const std::string& p, const std::string& text) {
        std::ofstream(p, std::ios::binary) << text;
    }

    fs::path dir;
};

TEST_F(BackupRestore, RoundTripRestoresEveryFile) {
    ASSERT_EQ(runTool(lan({"set", "uarts", "Adresa=12", "Repeater=1"})).status, 0);
    ASSERT_EQ(runTool(lan({"set", "mbtcp", "UnitID=9"})).status, 0);
    const std::map<tksim::SimFile, Bytes> saved{
        {tksim::SimFile::Lan4, file(tksim::SimFile::Lan4)},
        {tksim::SimFile::Mbtcp, file(tksim::SimFile::Mbtcp)},
        {tksim::SimFile::Uartm, file(tksim::SimFile::Uartm)},
        {tksim::SimFile::Uarts, file(tksim::SimFile::Uarts)}};

    const Outcome b = runTool(lan({"backup", path("backup.json")}));
    ASSERT_EQ(b.status, 0) << b.err;
    const auto doc = parsed(slurp(path("backup.json")));
    EXPECT_EQ(doc.find("uarts.cfg")->find("Adresa")->text, "12");
    EXPECT_EQ(doc.find("mbtcp.cfg")->find("UnitID")->text, "9");

    // Change all four files, then restore over the serial port.
    ASSERT_EQ(runTool(lan({"set", "uarts", "Adresa=99", "Repeater=0"})).status, 0);
    ASSERT_EQ(runTool(lan({"set", "mbtcp", "UnitID=1", "Timeout=1"})).status, 0);
    ASSERT_EQ(runTool(lan({"set", "uartm", "Timeout=1"})).status, 0);
    ASSERT_EQ(runTool(lan({"set", "lan4", "IP4_Adresa=10.0.0.1"})).status, 0);

    const Outcome r = runTool(serial({"restore", path("backup.json")}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "mbtcp.cfg: Configuration write successfully\n"
                     "uartm.cfg: Configuration write successfully\n"
                     "uarts.cfg: Configuration write successfully\n"
                     "lan4.cfg: Configuration write successfully\n");
    for (const auto& [f, bytes] : saved) {
        EXPECT_EQ(file(f), bytes) << static_cast<int>(f);
    }
}

TEST_F(BackupRestore, BackupToStdoutAndFailedBackupKeepsTheOldFile) {
    const Outcome r = runTool(lan({"backup", "-"}));
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(parsed(r.out).find("lan4.cfg"), nullptr);

    spit(path("old.json"), "old");
    tksim::Faults f;
    f.dropEvery = 1; // the converter stops answering
    sim.sim().setFaults(f);
    const Outcome failed = runTool(lan({"backup", path("old.json")}));
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(slurp(path("old.json")), "old");

    sim.sim().setFaults({});
    ::chmod(path("old.json").c_str(), 0444); // made read-only by its owner
    const Outcome refused = runTool(lan({"backup", path("old.json")}));
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "tk7713t: Cannot write file " + path("old.json") + "\n");
    EXPECT_EQ(slurp(path("old.json")), "old");
}

struct BadBackup {
    const char* name;
    std::string text;
    std::string message; // first line of the error, after "tk7713t: "
};

class RestoreRefused : public BackupRestore, public ::testing::WithParamInterface<BadBackup> {};

TEST_P(RestoreRefused, ValidatesEverythingBeforeSendingAnything) {
    spit(path("bad.json"), GetParam().text);
    const Bytes before = file(tksim::SimFile::Mbtcp);
    const Outcome r = runTool(lan({"restore", path("bad.json")}));
    EXPECT_EQ(r.status, 2);
    std::string message = GetParam().message;
    const std::size_t at = message.find("PATH");
    if (at != std::string::npos) {
        message.replace(at, 4, path("bad.json"));
    }
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "tk7713t: " + message);
    EXPECT_TRUE(sim.log().empty());
    EXPECT_EQ(file(tksim::SimFile::Mbtcp), before);
}

const std::string kGoodMbtcp = R"("mbtcp.cfg": {"UnitID": 7, "Timeout": 5})";

INSTANTIATE_TEST_SUITE_P(
    Files, RestoreRefused,
    ::testing::Values(
        BadBackup{
            "LaterFileInvalid",
            "{" + kGoodMbtcp +
                R"(, "uartm.cfg": {"KodBaud": 4, "KodParita": 1, "Timeout": 0, "Opakovani": 0}})",
            "uartm.cfg: Invalid External module timeout (1-65535)"},
        BadBackup{"MissingField",
                  "{" + kGoodMbtcp +
                      R"(, "uarts.cfg": {"Adresa": 1, "KodBaud": 4, "KodParita": 1}})",
                  "uarts.cfg: missing field Repeater"},
        BadBackup{"UnknownField", R"({"mbtcp.cfg": {"UnitID": 7, "Timeout": 5, "Port": 502}})",
                  "mbtcp.cfg: Unknown field Port (UnitID, Timeout)"},
        BadBackup{"NotWhole", R"({"mbtcp.cfg": {"UnitID": 7.5, "Timeout": 5}})",
                  "mbtcp.cfg: Invalid converter address (1-255)"},
        BadBackup{"BadChoice",
                  R"({"uarts.cfg": {"Adresa": 1, "KodBaud": 9, "KodParita": 1, "Repeater": 0}})",
                  "uarts.cfg: Invalid value KodBaud=9 (2-8)"},
        BadBackup{
            "BadAddress",
            R"({"lan4.cfg": {"IP4_Adresa": "1.2.3", "IP4_Maska": "0.0.0.0", "IP4_Brana": "0.0.0.0", "IP4_DHCP": 0}})",
            "lan4.cfg: Invalid IP4 address"},
        BadBackup{"UnknownFile", R"({"eth.cfg": {}})", "Invalid backup PATH: eth.cfg"},
        BadBackup{"NoFiles", R"({"TypVerze": "x"})", "Backup PATH holds no settings file"},
        BadBackup{"NotJson", "{\"mbtcp.cfg\": {\"UnitID\": 7,}}",
                  "Invalid backup PATH: line 1, column 28: syntax error while parsing object key - "
                  "unexpected '}'; "
                  "expected string literal"},
        BadBackup{"DuplicateKey", "{" + kGoodMbtcp + ", " + kGoodMbtcp + "}",
                  "Invalid backup PATH: duplicate key \"mbtcp.cfg\""},
        BadBackup{"Empty", "", "Backup PATH is empty"},
        BadBackup{"Array", R"({"mbtcp.cfg": {"UnitID": [7], "Timeout": 5}})",
                  "Invalid backup PATH: unexpected array"},
        BadBackup{"TooDeep", R"({"mbtcp.cfg": {"UnitID": {"x": 7}, "Timeout": 5}})",
                  "Invalid backup PATH: nested too deeply"},
        BadBackup{"OnlyBlanks", " \n\t\r\n", "Backup PATH is empty"},
        BadBackup{"OverTheCap", "{" + kGoodMbtcp + std::string(1024 * 1024, ' ') + "}",
                  "Invalid backup PATH: larger than 1 MiB"}),
    [](const ::testing::TestParamInfo<BadBackup>& i) { return std::string(i.param.name); });

TEST_F(BackupRestore, RestoreReadsStandardInputForDash) {
    std::istringstream in("{" + kGoodMbtcp + "}");
    std::streambuf* const old = std::cin.rdbuf(in.rdbuf());
    const Outcome r = runTool(lan({"restore", "-"}));
    std::cin.rdbuf(old);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "mbtcp.cfg: Configuration write successfully\n");
}

// Only regular files are read: a device or FIFO would never end or never start.
TEST_F(BackupRestore, WhatIsNotARegularFileIsInvalidInput) {
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    for (const std::string& p :
         {path("none.json"), path("fifo"), std::string("/dev/zero"), dir.string()}) {
        const Outcome r = runTool(lan({"restore", p}));
        EXPECT_EQ(r.status, 2) << p;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "tk7713t: Cannot read file " + p);
    }
    EXPECT_TRUE(sim.log().empty());
}

TEST_F(BackupRestore, RestoreStopsAtTheFirstFailureAndSaysWhich) {
    ASSERT_EQ(runTool(lan({"backup", path("b.json")})).status, 0);
    tksim::Faults f;
    f.ignoreWrites = true;
    sim.sim().setFaults(f);
    std::string text = slurp(path("b.json"));
    text.replace(text.find("\"UnitID\": 255"), 13, "\"UnitID\": 3");
    spit(path("b.json"), text);
    sim.clearLog();
    const Outcome r = runTool(lan({"restore", path("b.json")}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "tk7713t: mbtcp.cfg: Write verification error\n"
              "  UnitID: written 3, read back 255\n"
              "tk7713t: Restore stopped at mbtcp.cfg; the files after it were not written\n");
    EXPECT_EQ(sim.count("uartm.cfg"), 0u) << "no file after the failing one is sent";
}

// The dialogs pause before each transfer so that a window can repaint its
// status line; the tool has no window, so it asks for no pause at all.
TEST_F(BackupRestore, FileCommandsAskForNoPause) {
    ASSERT_EQ(runTool(lan({"backup", path("b.json")})).status, 0);
    const std::vector<std::string> commands[] = {{"get", "lan4"},
                                                 {"set", "uartm", "Timeout=400"},
                                                 {"backup", path("c.json")},
                                                 {"restore", path("b.json")}};
    for (const auto& command : commands) {
        support::FakeClock clock;
        const support::UdpWaitsAdvance udpWaits(clock);
        const Outcome r = runTool(lan(command));
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(clock.pauses(), std::vector<std::uint32_t>{}) << command[0];
    }
}

// ---- Exit statuses of the connection ----

TEST(ToolConnection, UnsupportedConverterExits3WithTypeAndVersion) {
    tksim::Config c;
    c.model.identity.version = "1.10";
    harness::Sim sim(c);
    ASSERT_TRUE(sim.started()) << sim.error();
    Outcome r = runTool({"--lan", sim.lan(), "identify"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err,
              "tk7713t: The version of the connected converter is not supported by the program - "
              "TK-7713T  v.1.10\n");
    EXPECT_EQ(r.out, "");

    sim.model().setIdentity(tksim::Identity{"TK-7713", "1.05", "1"});
    r = runTool({"--device", sim.pty(), "get", "uartm"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(
        r.err,
        "tk7713t: The connected converter is not supported by the program - TK-7713   v.1.05\n");
    EXPECT_EQ(sim.count("uartm.cfg"), 0u);
}

TEST(ToolConnection, NoAnswerExits1) {
    tksim::Config c;
    c.faults.dropEvery = 1;
    harness::Sim sim(c);
    ASSERT_TRUE(sim.started()) << sim.error();
    Outcome r = runTool({"--lan", sim.lan(), "--lan-timeout", "100", "identify"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tk7713t: Converter connection error\n");
    r = runTool({"--device", sim.pty(), "--timeout", "50", "identify"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tk7713t: Converter connection error\n");
    EXPECT_EQ(sim.count("0x45"), 1u) << "the identification stops at the first failed exchange";
}

TEST(ToolConnection, PortThatCannotBeOpenedExits1) {
    const Outcome r = runTool({"--device", "/nonexistent/tty-for-test", "identify"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tk7713t: COM port error\n");
}

} // namespace
