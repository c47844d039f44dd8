// The Modbus TCP client of a build without libmodbus: every request ends
// as NotBuilt, before anything is sent.
#include "link/M_ModbusTCP.h"

struct ModbusTcpClient::Impl {};

ModbusTcpClient::ModbusTcpClient() : impl_(std::make_unique<Impl>()) {}
ModbusTcpClient::~ModbusTcpClient() = default;

void ModbusTcpClient::setWaitHook(std::function<bool()>) {}

ModbusResult ModbusTcpClient::transact(const ModbusTcpTarget&, const ModbusRequest&) {
    ModbusResult result;
    result.Status = ModbusStatus::NotBuilt;
    return result;
}

bool ModbusTcpClient::connected() const {
    return false;
}

void ModbusTcpClient::close() {}
