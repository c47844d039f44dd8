// The Modbus TCP gateway that the gateway-test tests talk to: the
// simulator's, on loopback, with built-in slaves 1 and 2 on its master line
// (holding register n = unit * 1000 + n, input register n = n, coil n on for
// odd n, discrete input n on for n divisible by 3). Tests reach it only
// through lan() and mbtcpPort(), so another server can stand in.
#pragma once

#include <cstdint>
#include <string>

#include "tools/SimHarness.h"

namespace harness {

class GatewayPeer {
  public:
    GatewayPeer() : sim_(config()) {}

    bool started() const { return sim_.started(); }
    const std::string& error() const { return sim_.error(); }
    // The converter's LAN address with its TFTP port ("127.0.0.1:PORT").
    std::string lan() const { return sim_.lan(); }
    std::uint16_t mbtcpPort() { return sim_.sim().mbtcpPort(); }
    Sim& sim() { return sim_; }

  private:
    static tksim::Config config() {
        tksim::Config c;
        c.rtu.enabled = false;
        c.gateway.tcpServer = true;
        c.gateway.address = "127.0.0.1";
        c.gateway.port = 0;
        c.gateway.lineSlaves = {1, 2};
        return c;
    }

    Sim sim_;
};

} // namespace harness
