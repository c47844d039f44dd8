// The traffic trace decoders: any bytes, read from a buffer of exactly their
// size, give one non-empty line; a packet or frame they cannot decode says
// so (the tracer then adds its bytes in hex).
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "link/M_ModbusTCP.h"
#include "link/TrafficTrace.h"

namespace {

void check(const linktrace::Decoded& d) {
    FUZZ_CHECK(!d.text.empty());
    FUZZ_CHECK(d.text.find('\n') == std::string::npos);
    FUZZ_CHECK(d.malformed == (d.text.rfind("malformed ", 0) == 0));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    check(linktrace::decodeTftp(bytes.data(), bytes.size()));
    check(linktrace::decodeRtu(true, bytes.data(), bytes.size()));
    check(linktrace::decodeRtu(false, bytes.data(), bytes.size()));
    check(linktrace::decodeModbusTcp(true, bytes.data(), bytes.size()));
    check(linktrace::decodeModbusTcp(false, bytes.data(), bytes.size()));
    // The same bytes as the answer to a read: values only when it is
    // answered, exactly as many as asked.
    if (size >= 2) {
        constexpr ModbusFunction reads[] = {
            ModbusFunction::ReadCoils, ModbusFunction::ReadDiscreteInputs,
            ModbusFunction::ReadHoldingRegisters, ModbusFunction::ReadInputRegisters};
        const ModbusRequest q{data[size - 1],
                              reads[data[size - 2] % 4],
                              0,
                              static_cast<std::uint16_t>(1 + data[size - 2] % 125),
                              {}};
        ModbusResult r;
        const ModbusStatus s = ModbusCheckAnswer(q, bytes.data(), bytes.size(), r);
        FUZZ_CHECK(r.Values.size() == (s == ModbusStatus::Answered ? q.Count : 0u));
    }
    // The hex of any bytes is two digits and a blank per byte.
    FUZZ_CHECK(linktrace::hexText(bytes.data(), bytes.size()).size() ==
               (size == 0 ? 0 : 3 * size - 1));
    return 0;
}
