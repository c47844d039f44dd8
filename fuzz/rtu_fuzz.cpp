// The Modbus RTU answer path through the scripted serial port: whatever
// arrives, in whatever pieces and at whatever times, results stay in their
// range, an accepted answer has a good CRC and the request's function, a
// failed block read leaves the buffer alone, and leftovers from before the
// request never change the outcome.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "FuzzCheck.h"
#include "link/M_ModbusRTU.h"
#include "support/FakeClock.h"
#include "support/ScriptedSerialPort.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using support::ScriptedSerialPort;

struct Exchange {
    std::uint8_t operation = 0;
    std::int32_t baudCode = 4;
    std::uint32_t timeout = 100;
    Bytes request;
    std::uint16_t block = 0;
    std::uint8_t count = 0;
    ScriptedSerialPort::Answer answer;
};

struct Outcome {
    std::int32_t result = -1;
    Bytes returned;
    std::size_t writes = 0;
    bool operator==(const Outcome&) const = default;
};

Outcome run(const Exchange& e, const Bytes& leftovers) {
    support::FakeClock clock;
    ScriptedSerialPort port(clock);
    TMBRTU mb;
    FUZZ_CHECK(MBRTU_Init(1, e.baudCode, 0, e.timeout, mb) == 0);
    if (!leftovers.empty()) {
        port.deliver(leftovers);
    }
    port.queueAnswer(e.answer);
    Outcome o;
    const std::uint8_t function = e.request.size() >= 2 ? e.request[1] : 0;
    switch (e.operation % 4) {
    case 0: {
        std::array<std::uint8_t, MBRTU_MAX_ODPOVED> answer{};
        std::uint16_t length = 0xFFFF;
        o.result = MBRTU_Transakce(mb, e.request.data(),
                                   static_cast<std::uint16_t>(e.request.size()), length, answer);
        FUZZ_CHECK(o.result >= 0 && o.result <= 4);
        if (o.result == MBRTU_OK || o.result == MBRTU_VYJIMKA) {
            FUZZ_CHECK(length >= 2 && length + 2u < MBRTU_MAX_ODPOVED);
            FUZZ_CHECK(MBRTU_CRC16(answer.data(), length + 2u) == 0);
            FUZZ_CHECK(answer[1] == (o.result == MBRTU_OK ? function : (function | 0x80)));
            o.returned.assign(answer.begin(), answer.begin() + length);
        } else {
            FUZZ_CHECK(length == 0xFFFF);
        }
        break;
    }
    case 1: {
        // Exactly n bytes, so a copy past them is caught.
        const std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[e.count + 1u]);
        std::fill(buffer.get(), buffer.get() + e.count, 0xEE);
        o.result = MBRTU_PrectiBlok(mb, 23, e.block, e.count, buffer.get());
        FUZZ_CHECK(o.result >= 0 && o.result <= 2);
        o.returned.assign(buffer.get(), buffer.get() + e.count);
        if (o.result != 0) {
            FUZZ_CHECK(std::all_of(o.returned.begin(), o.returned.end(),
                                   [](std::uint8_t b) { return b == 0xEE; }));
        }
        break;
    }
    case 2: {
        Bytes data(e.count, 0x5A);
        o.result = MBRTU_ZapisBlok(mb, 20, e.block, e.count, data.data());
        FUZZ_CHECK(o.result >= 0 && o.result <= 3);
        break;
    }
    default: {
        TMBRTU_Zprava z;
        z.DelkaDat = static_cast<std::uint16_t>(std::min<std::size_t>(e.request.size(), 256));
        std::copy(e.request.begin(), e.request.begin() + z.DelkaDat, z.Data.begin());
        o.result = MBRTU_Zprava(&mb, z);
        FUZZ_CHECK(o.result == 0 || o.result == 3);
        FUZZ_CHECK(z.DelkaOdpovedi <= MBRTU_MAX_ODPOVED - 6);
        FUZZ_CHECK(o.result == 0 || z.DelkaOdpovedi == 0);
        o.returned.assign(z.Odpoved.begin(), z.Odpoved.begin() + z.DelkaOdpovedi);
        break;
    }
    }
    o.writes = port.writes().size();
    FUZZ_CHECK(o.writes <= 1);
    MBRTU_Zavri(mb);
    return o;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    Exchange e;
    e.operation = in.ConsumeIntegral<std::uint8_t>();
    e.baudCode = in.ConsumeIntegralInRange<std::int32_t>(-1, 9);
    e.timeout = in.ConsumeIntegralInRange<std::uint32_t>(0, 300);
    e.block = in.ConsumeIntegral<std::uint16_t>();
    e.count = in.ConsumeIntegral<std::uint8_t>();
    e.request = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 262));
    const Bytes leftovers =
        in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 300));
    for (int piece = in.ConsumeIntegralInRange(0, 4); piece > 0 && in.remaining_bytes() > 0;
         --piece) {
        const std::uint32_t after = in.ConsumeIntegralInRange<std::uint32_t>(0, 40);
        e.answer.push_back(
            {after, in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(1, 300))});
    }
    std::sort(e.answer.begin(), e.answer.end(),
              [](const auto& a, const auto& b) { return a.afterMs < b.afterMs; });
    const Outcome clean = run(e, {});
    FUZZ_CHECK(run(e, leftovers) == clean);
    return 0;
}
