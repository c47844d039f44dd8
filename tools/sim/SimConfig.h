// Settings of the converter simulator: identity, device model, the two
// interfaces and the faults it can inject.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tksim {

// What the converter reports about itself (info.txt and function 0x45).
struct Identity {
    std::string type = "TK-7713T";
    std::string version = "1.05";
    std::string serial = "24070001";
};

struct ModelOptions {
    Identity identity;
    unsigned restartMs = 2000; // unreachable time after a restart command
    int masterLoad = -1;       // invented master line utilisation in percent, -1 = counted traffic
    std::uint32_t initialUptimeS = 0; // run time at start
};

struct TftpOptions {
    bool enabled = true;
    std::string address = "127.0.0.1"; // several separated by commas, all on one port
    std::uint16_t port = 6969;         // 0 = any free port, read back after start
    unsigned retransmitMs = 1000;      // resend the last packet after this silence
    unsigned retries = 5;              // resends before a transfer is given up
    unsigned maxTransfers = 32;        // transfers served at once
};

struct RtuOptions {
    bool enabled = true;
    std::string device;   // serial device; empty = create a pseudo-terminal
    std::string linkPath; // symlink to the pseudo-terminal, optional
    std::uint8_t address = 247;
    int baudCode = 4;          // 0-8: 600 ... 115200 Bd
    int parityCode = 1;        // 0 none, 1 even, 2 odd
    bool pacing = false;       // send answer bytes at the line's speed
    unsigned turnaroundMs = 0; // pause between request and answer
    unsigned frameGapUs = 0;   // silence ending a request, 0 = 3.5 characters
};

// The gateway: a Modbus TCP server whose requests go out on the simulated
// Modbus RTU master line. tk7713t-sim serves it by default; in-process
// users turn it on.
struct GatewayOptions {
    bool tcpServer = false;
    std::string address = "127.0.0.1";
    std::uint16_t port = 1502; // 0 = any free port, read back after start
    unsigned maxConnections = 8;
    std::size_t queueLimit = 16;          // requests waiting for the line
    std::string lineLink;                 // the line is a pseudo-terminal linked here
    std::vector<std::uint8_t> lineSlaves; // built-in slaves on the line
    unsigned slaveDelayMs = 0;            // their reply delay
    unsigned trafficPerSecond = 0;        // requests generated inside, for demos
    bool running() const { return tcpServer || trafficPerSecond > 0; }
};

// Faults; every field off by default. Counters apply per interface.
struct Faults {
    unsigned dropEvery = 0;       // leave out every n-th answer (RTU frame, TFTP packet)
    unsigned corruptCrcEvery = 0; // RTU: every n-th answer with a wrong CRC
    unsigned delayMs = 0;         // every answer this much late
    unsigned exceptionCode = 0;   // RTU: answer every request with this exception (1-255)
    bool refuseWrites = false;    // refuse every write (TFTP error 2, status byte 1)
    bool ignoreWrites = false;    // acknowledge writes but keep the old values
    bool noOack = false;          // TFTP: ignore options, answer as RFC 1350
    unsigned forceBlksize = 0;    // TFTP: offer and use this block size whatever was asked
    bool duplicateData = false;   // TFTP: send every data block twice
    bool foreignPort = false;     // TFTP: answers after the first come from another port
    std::string refuseReadsOf{};  // refuse reads of this file (TFTP error 2, RTU exception 2)
};

using LogSink = std::function<void(const std::string&)>;

struct Config {
    ModelOptions model;
    TftpOptions tftp;
    RtuOptions rtu;
    GatewayOptions gateway;
    Faults faults;
    LogSink log; // one line per request when set; called from the
                 // serving threads, so it must outlive the simulator
};

} // namespace tksim
