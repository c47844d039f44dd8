// Modbus TCP client for the gateway test: one request at a time to a unit
// behind the converter's Modbus TCP server. libmodbus frames the request
// and receives the answer; this unit builds the request PDU, checks the
// answer against it and keeps both ADUs for display and trace.
//
// The frame helpers are plain functions (M_ModbusTCP_Adu.cpp, every build);
// ModbusTcpClient needs libmodbus (M_ModbusTCP.cpp, built with TK_WITH_MODBUS).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Udp.h"

constexpr std::uint16_t MBTCP_PORT = 502;

// The functions the gateway test sends.
enum class ModbusFunction : std::uint8_t {
    ReadCoils = 0x01,
    ReadDiscreteInputs = 0x02,
    ReadHoldingRegisters = 0x03,
    ReadInputRegisters = 0x04,
    WriteSingleCoil = 0x05,
    WriteSingleRegister = 0x06,
    WriteMultipleCoils = 0x0F,
    WriteMultipleRegisters = 0x10,
};

bool ModbusIsRead(ModbusFunction f);
// Coils and discrete inputs: one bit per value.
bool ModbusIsBits(ModbusFunction f);

// Protocol limits of one request's count.
constexpr std::uint16_t MODBUS_MAX_READ_REGISTERS = 125;
constexpr std::uint16_t MODBUS_MAX_READ_BITS = 2000;
constexpr std::uint16_t MODBUS_MAX_WRITE_REGISTERS = 123;
constexpr std::uint16_t MODBUS_MAX_WRITE_BITS = 1968;

// Unit 0 is the broadcast address: written, never answered.
constexpr std::uint8_t MODBUS_BROADCAST = 0;

struct ModbusRequest {
    std::uint8_t Unit = 1;
    ModbusFunction Function = ModbusFunction::ReadHoldingRegisters;
    std::uint16_t Address = 0;         // 0-based, as on the wire
    std::uint16_t Count = 1;           // reads; writes take the number of values
    std::vector<std::uint16_t> Values; // writes: registers, or coil states 0/1
};

// The PDU of a request: function code, then its fields.
std::vector<std::uint8_t> ModbusRequestPdu(const ModbusRequest& request);

// Transaction id of every request. libmodbus sends raw requests with 0;
// since a connection is closed after any failure, a late answer can never
// be taken for the next request's.
constexpr std::uint16_t MBTCP_TRANSACTION = 0;

// MBAP header (transaction, protocol 0, length, unit) followed by the PDU.
std::vector<std::uint8_t> ModbusTcpAdu(std::uint16_t transaction, std::uint8_t unit,
                                       const std::vector<std::uint8_t>& pdu);

enum class ModbusStatus {
    Answered,         // the answer the request asked for
    Exception,        // an exception answer (ExceptionCode)
    BroadcastSent,    // unit 0: sent, no answer expected
    NoAddress,        // the host does not resolve
    Refused,          // nothing listens at the address and port
    ConnectFailed,    // no connection within the timeout, or another socket error
    Timeout,          // no complete answer within the timeout
    ConnectionClosed, // the server closed or reset the connection before the answer was complete
    WrongTransaction, // the answer carries another transaction id
    MalformedHeader,  // MBAP protocol id, length or unit that does not fit
    WrongAnswer,      // another function, or a byte count or echo that does not fit
    Aborted,          // stopped by the caller
    NotBuilt,         // this build has no Modbus TCP client (no libmodbus for it)
};

struct ModbusResult {
    ModbusStatus Status = ModbusStatus::ConnectFailed;
    std::uint8_t ExceptionCode = 0;
    std::vector<std::uint16_t> Values; // reads: registers, or bit states 0/1
    std::vector<std::uint8_t> Request; // ADU sent (empty when nothing was sent)
    std::vector<std::uint8_t> Answer;  // ADU received (empty when none came whole)
    std::uint32_t RoundTripUs = 0;     // request sent to answer received
};

// Checks an answer ADU against the request it answers; on Answered fills
// result.Values, on Exception result.ExceptionCode.
ModbusStatus ModbusCheckAnswer(const ModbusRequest& request, const std::uint8_t* adu,
                               std::size_t length, ModbusResult& result);

struct ModbusTcpTarget {
    platform::UdpEndpoint Endpoint; // address and Modbus TCP port
    std::uint32_t TimeoutMs = 1000; // connect, and answer after the request
};

// One connection to a Modbus TCP server, opened by the first request and
// kept for the next ones while they succeed (or end in an exception); any
// other failure closes it, so nothing late of a failed request is ever read
// as the answer to the next. Not re-entrant: a request waits in slices of
// kWaitSliceMs and calls the wait hook between them (the user interface
// pumps its events there); a hook that returns false ends the wait as Aborted.
class ModbusTcpClient {
  public:
    static constexpr std::uint32_t kWaitSliceMs = 10;

    ModbusTcpClient();
    ~ModbusTcpClient();
    ModbusTcpClient(const ModbusTcpClient&) = delete;
    ModbusTcpClient& operator=(const ModbusTcpClient&) = delete;

    void setWaitHook(std::function<bool()> hook);

    ModbusResult transact(const ModbusTcpTarget& target, const ModbusRequest& request);
    bool connected() const;
    void close();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
