#include "sim/Options.h"

#include "sim/RtuSlave.h"

#include <charconv>
#include <functional>
#include <map>

namespace tksim {

namespace {

bool toNumber(const std::string& text, long long lo, long long hi, long long& value) {
    if (text.empty()) {
        return false;
    }
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && value >= lo && value <= hi;
}

struct Spec {
    bool takesValue;
    std::function<bool(const std::string&, CommandLine&)> apply;
    std::string range; // for the error message
};

template <typename T>
Spec number(long long lo, long long hi, std::function<T&(CommandLine&)> field) {
    return Spec{true,
                [=](const std::string& v, CommandLine& c) {
                    long long x = 0;
                    if (!toNumber(v, lo, hi, x)) {
                        return false;
                    }
                    field(c) = static_cast<T>(x);
                    return true;
                },
                std::to_string(lo) + "-" + std::to_string(hi)};
}

Spec flag(std::function<void(CommandLine&)> set) {
    return Spec{false,
                [=](const std::string&, CommandLine& c) {
                    set(c);
                    return true;
                },
                ""};
}

Spec text(std::function<std::string&(CommandLine&)> field, bool allowEmpty = false) {
    return Spec{true,
                [=](const std::string& v, CommandLine& c) {
                    if (v.empty() && !allowEmpty) {
                        return false;
                    }
                    field(c) = v;
                    return true;
                },
                "a non-empty text"};
}

// The rate in Bd, as tk7713t --baud takes it, stored as the line's baud code.
Spec baudRate() {
    return Spec{true,
                [](const std::string& v, CommandLine& c) {
                    long long x = 0;
                    if (!toNumber(v, 1, 115200, x)) {
                        return false;
                    }
                    for (int code = 0; code <= 8; ++code) {
                        if (baudRateOf(code) == x) {
                            c.config.rtu.baudCode = code;
                            return true;
                        }
                    }
                    return false;
                },
                "600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200"};
}

// ADDRESS:PORT, an IPv6 address in brackets.
Spec listenAddress() {
    return Spec{true,
                [](const std::string& v, CommandLine& c) {
                    const std::size_t colon = v.rfind(':');
                    if (colon == std::string::npos || colon == 0) {
                        return false;
                    }
                    std::string host = v.substr(0, colon);
                    if (host.front() == '[') {
                        if (host.size() < 3 || host.back() != ']') {
                            return false;
                        }
                        host = host.substr(1, host.size() - 2);
                    } else if (host.find(':') != std::string::npos) {
                        return false;
                    }
                    long long port = 0;
                    if (!toNumber(v.substr(colon + 1), 0, 65535, port)) {
                        return false;
                    }
                    c.config.gateway.address = host;
                    c.config.gateway.port = static_cast<std::uint16_t>(port);
                    return true;
                },
                "ADDRESS:PORT, port 0-65535, [IPv6]:PORT"};
}

// Unit ids separated by commas.
Spec unitList() {
    return Spec{true,
                [](const std::string& v, CommandLine& c) {
                    std::vector<std::uint8_t> units;
                    std::size_t start = 0;
                    for (;;) {
                        const std::size_t comma = v.find(',', start);
                        const std::size_t length =
                            comma == std::string::npos ? std::string::npos : comma - start;
                        long long unit = 0;
                        if (!toNumber(v.substr(start, length), 1, 247, unit)) {
                            return false;
                        }
                        units.push_back(static_cast<std::uint8_t>(unit));
                        if (comma == std::string::npos) {
                            break;
                        }
                        start = comma + 1;
                    }
                    c.config.gateway.lineSlaves = units;
                    return true;
                },
                "units 1-247 separated by commas"};
}

const std::map<std::string, Spec>& specs() {
    static const std::map<std::string, Spec> table = {
        {"--tftp-address",
         text([](CommandLine& c) -> std::string& { return c.config.tftp.address; })},
        {"--tftp-port",
         number<std::uint16_t>(
             0, 65535, [](CommandLine& c) -> std::uint16_t& { return c.config.tftp.port; })},
        {"--no-tftp", flag([](CommandLine& c) { c.config.tftp.enabled = false; })},
        {"--retransmit",
         number<unsigned>(1, 60000,
                          [](CommandLine& c) -> unsigned& { return c.config.tftp.retransmitMs; })},
        {"--retries",
         number<unsigned>(0, 100,
                          [](CommandLine& c) -> unsigned& { return c.config.tftp.retries; })},
        {"--serial", text([](CommandLine& c) -> std::string& { return c.config.rtu.device; })},
        {"--link", text([](CommandLine& c) -> std::string& { return c.config.rtu.linkPath; })},
        {"--no-rtu", flag([](CommandLine& c) { c.config.rtu.enabled = false; })},
        {"--address",
         number<std::uint8_t>(
             1, 255, [](CommandLine& c) -> std::uint8_t& { return c.config.rtu.address; })},
        {"--baud", baudRate()},
        {"--parity",
         number<int>(0, 2, [](CommandLine& c) -> int& { return c.config.rtu.parityCode; })},
        {"--pacing", flag([](CommandLine& c) { c.config.rtu.pacing = true; })},
        {"--turnaround",
         number<unsigned>(0, 10000,
                          [](CommandLine& c) -> unsigned& { return c.config.rtu.turnaroundMs; })},
        {"--frame-gap",
         number<unsigned>(0, 1000000,
                          [](CommandLine& c) -> unsigned& { return c.config.rtu.frameGapUs; })},
        {"--mbtcp", listenAddress()},
        {"--no-mbtcp", flag([](CommandLine& c) { c.config.gateway.tcpServer = false; })},
        {"--line-link",
         text([](CommandLine& c) -> std::string& { return c.config.gateway.lineLink; })},
        {"--line-slaves", unitList()},
        {"--line-slave-delay",
         number<unsigned>(
             0, 60000, [](CommandLine& c) -> unsigned& { return c.config.gateway.slaveDelayMs; })},
        {"--line-traffic", number<unsigned>(0, 1000,
                                            [](CommandLine& c) -> unsigned& {
                                                return c.config.gateway.trafficPerSecond;
                                            })},
        {"--type",
         text([](CommandLine& c) -> std::string& { return c.config.model.identity.type; })},
        {"--firmware-version",
         text([](CommandLine& c) -> std::string& { return c.config.model.identity.version; })},
        {"--serial-number",
         text([](CommandLine& c) -> std::string& { return c.config.model.identity.serial; })},
        {"--restart-time",
         number<unsigned>(0, 600000,
                          [](CommandLine& c) -> unsigned& { return c.config.model.restartMs; })},
        {"--load",
         number<int>(0, 100, [](CommandLine& c) -> int& { return c.config.model.masterLoad; })},
        {"--uptime", number<std::uint32_t>(0, 4294967295LL,
                                           [](CommandLine& c) -> std::uint32_t& {
                                               return c.config.model.initialUptimeS;
                                           })},
        {"--log", flag([](CommandLine& c) { c.log = true; })},
        {"--drop-every",
         number<unsigned>(0, 1000000,
                          [](CommandLine& c) -> unsigned& { return c.config.faults.dropEvery; })},
        {"--corrupt-crc-every", number<unsigned>(0, 1000000,
                                                 [](CommandLine& c) -> unsigned& {
                                                     return c.config.faults.corruptCrcEvery;
                                                 })},
        {"--delay",
         number<unsigned>(0, 600000,
                          [](CommandLine& c) -> unsigned& { return c.config.faults.delayMs; })},
        {"--exception",
         number<unsigned>(
             1, 255, [](CommandLine& c) -> unsigned& { return c.config.faults.exceptionCode; })},
        {"--refuse-writes", flag([](CommandLine& c) { c.config.faults.refuseWrites = true; })},
        {"--ignore-writes", flag([](CommandLine& c) { c.config.faults.ignoreWrites = true; })},
        {"--no-oack", flag([](CommandLine& c) { c.config.faults.noOack = true; })},
        {"--force-blksize",
         number<unsigned>(
             1, 65464, [](CommandLine& c) -> unsigned& { return c.config.faults.forceBlksize; })},
        {"--duplicate-data", flag([](CommandLine& c) { c.config.faults.duplicateData = true; })},
        {"--foreign-port", flag([](CommandLine& c) { c.config.faults.foreignPort = true; })},
    };
    return table;
}

} // namespace

ParseOutcome parseCommandLine(const std::vector<std::string>& args, CommandLine& out,
                              std::string& message) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool inlineValue = false;
        if (name == "--help" || name == "-h") {
            return ParseOutcome::Help;
        }
        if (name == "--version") {
            return ParseOutcome::Version;
        }
        const std::size_t eq = name.find('=');
        if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            inlineValue = true;
        }
        const auto it = specs().find(name);
        if (it == specs().end()) {
            message = "unknown option " + name + " (try --help)";
            return ParseOutcome::Error;
        }
        const Spec& spec = it->second;
        if (!spec.takesValue) {
            if (inlineValue) {
                message = name + " takes no value";
                return ParseOutcome::Error;
            }
            spec.apply({}, out);
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                message = name + " needs a value";
                return ParseOutcome::Error;
            }
            value = args[++i];
        }
        if (!spec.apply(value, out)) {
            message = "invalid value \"" + value + "\" for " + name + " (" + spec.range + ")";
            return ParseOutcome::Error;
        }
    }
    if (!out.config.tftp.enabled && !out.config.rtu.enabled && !out.config.gateway.running()) {
        message = "--no-tftp, --no-rtu and --no-mbtcp together leave nothing to serve";
        return ParseOutcome::Error;
    }
    if (!out.config.gateway.lineLink.empty() && !out.config.gateway.lineSlaves.empty()) {
        message = "--line-link and --line-slaves exclude each other: the line has outside slaves "
                  "or built-in ones";
        return ParseOutcome::Error;
    }
    if (!out.config.rtu.device.empty() && !out.config.rtu.linkPath.empty()) {
        message = "--link applies only to the pseudo-terminal, not to --serial";
        return ParseOutcome::Error;
    }
    return ParseOutcome::Run;
}

std::vector<std::pair<std::string, bool>> optionNames() {
    std::vector<std::pair<std::string, bool>> names{
        {"--help", false}, {"-h", false}, {"--version", false}};
    for (const auto& [name, spec] : specs()) {
        names.emplace_back(name, spec.takesValue);
    }
    return names;
}

std::string usageText() {
    return R"(Usage: tk7713t-sim [options]

Simulates a TK-7713T converter: a TFTP server and a Modbus RTU slave
(functions 0x43, 0x44, 0x45) serving the converter's files, and a Modbus
TCP server whose requests go out on the simulated Modbus RTU master line.
All run at once until Ctrl-C or SIGTERM. On start it prints
"tftp: ADDRESS:PORT", "rtu: PATH", "mbtcp: ADDRESS:PORT", "line: ..." and
"ready", one per line.

TFTP:
  --tftp-address ADDR   address to listen on (default 127.0.0.1); several
                        separated by commas answer as one converter
  --tftp-port N         UDP port, 0 = any free port (default 6969; 69 needs privileges)
  --retransmit MS       resend the last packet after MS of silence (default 1000)
  --retries N           resends before a transfer is given up (default 5)
  --no-tftp             no TFTP server

Modbus RTU slave:
  --link PATH           make a symbolic link PATH to the new pseudo-terminal
  --serial DEVICE       use a serial device instead of a pseudo-terminal
  --address N           slave address 1-255 (default 247)
  --baud RATE           600, 1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200 Bd (default 9600)
  --parity CODE         0 none, 1 even, 2 odd (default 1)
  --pacing              send answer bytes at the line's speed (11 bit times a byte with parity, 10 without)
  --turnaround MS       pause before every answer (default 0)
  --frame-gap US        silence that ends a request (default 3.5 characters, 1750 us above 19200 Bd)
  --no-rtu              no Modbus RTU slave

Modbus TCP gateway (the master line follows uartm.cfg, the server mbtcp.cfg):
  --mbtcp ADDR:PORT     address and TCP port of the server (default 127.0.0.1:1502;
                        port 0 = any free port, 502 needs privileges)
  --no-mbtcp            no Modbus TCP server
  --line-link PATH      the master line is a new pseudo-terminal linked at PATH, for
                        a Modbus RTU slave program (one at another speed hears nothing)
  --line-slaves LIST    built-in slaves on the line, e.g. 1,2,17 (units 1-247)
  --line-slave-delay MS  reply delay of the built-in slaves (default 0)
  --line-traffic N      N requests a second generated inside, for demos (default 0)

Device:
  --type TEXT           converter type (default TK-7713T)
  --firmware-version TEXT  firmware version (default 1.05)
  --serial-number TEXT  serial number (default 24070001)
  --restart-time MS     unreachable time after a restart command (default 2000)
  --load PCT            invented master line statistics at a fixed utilisation 0-100
                        (default: counted from the line's traffic)
  --uptime S            run time at start in seconds (default 0)

Faults:
  --drop-every N        leave out every N-th answer (TFTP packet or RTU frame)
  --corrupt-crc-every N send every N-th RTU answer with a wrong CRC
  --delay MS            send every answer MS late
  --exception CODE      answer every RTU request with exception CODE (1-255)
  --refuse-writes       refuse writes (TFTP error 2, RTU status byte 1)
  --ignore-writes       acknowledge writes but keep the old values
  --no-oack             ignore TFTP options (plain RFC 1350 answers)
  --force-blksize N     offer and use block size N whatever the client asked
  --duplicate-data      send every TFTP data block twice
  --foreign-port        send TFTP answers after the first from another port

Other:
  --log                 one line per request on standard error
  -h, --help            this text
  --version             the program's version
)";
}

} // namespace tksim
