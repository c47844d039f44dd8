// Every file decoder on a buffer of exactly the size it needs (so a read
// past it is caught), one byte short (refused, record untouched), and for
// the files the program writes: decode-encode-decode keeps every field and
// the encoded image ends with its checksum.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "FuzzCheck.h"
#include "link/U_TK7713T.h"

namespace {

using namespace tk7713t;

template <typename Record, typename Decode>
void decodes(const std::uint8_t* image, std::size_t needs, Decode decode) {
    Record rec;
    FUZZ_CHECK(decode(image, needs, rec));
    if (needs > 0) {
        Record untouched;
        FUZZ_CHECK(!decode(image, needs - 1, untouched));
        FUZZ_CHECK(untouched == Record{});
    }
}

template <typename Record, typename Decode, typename Encode>
void roundTrips(const std::uint8_t* image, std::size_t needs, Decode decode, Encode encode) {
    decodes<Record>(image, needs, decode);
    Record first;
    decode(image, needs, first);
    const auto encoded = encode(first);
    FUZZ_CHECK(encoded.size() >= needs);
    FUZZ_CHECK(checksum(encoded.data(), encoded.size() - 1) == encoded.back());
    Record second;
    FUZZ_CHECK(decode(encoded.data(), encoded.size(), second));
    FUZZ_CHECK(second == first);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const ConverterFile& f = catalogue()[data[0] % catalogue().size()];
    ++data;
    --size;
    const std::size_t needs = f.id == FileId::Info ? size : f.decodeNeeds;
    // Exactly as large as the decoder may read.
    const std::unique_ptr<std::uint8_t[]> image(new std::uint8_t[needs == 0 ? 1 : needs]);
    for (std::size_t i = 0; i < needs; ++i) {
        image[i] = i < size ? data[i] : 0;
    }
    const std::uint8_t* p = image.get();
    switch (f.id) {
    case FileId::Info: {
        TTK7713T_InfoTxt rec;
        FUZZ_CHECK(decodeInfo(p, needs, rec));
        break;
    }
    case FileId::Sys:
        decodes<TTK7713T_SysBin>(p, needs, decodeSys);
        break;
    case FileId::Mmrd:
        decodes<TTK7713T_MmrdBin>(p, needs, decodeMmrd);
        break;
    case FileId::Mmrgv:
        decodes<TTK7713T_MmrgvBin>(p, needs, decodeMmrgv);
        break;
    case FileId::Ctrl:
        roundTrips<TTK7713T_CtrlBin>(p, needs, decodeCtrl, encodeCtrl);
        break;
    case FileId::Lan4:
        roundTrips<TTK7713T_Lan4Cfg>(p, needs, decodeLan4, encodeLan4);
        break;
    case FileId::Mbtcp:
        roundTrips<TTK7713T_MbtcpCfg>(p, needs, decodeMbtcp, encodeMbtcp);
        break;
    case FileId::Uartm:
        roundTrips<TTK7713T_UartmCfg>(p, needs, decodeUartm, encodeUartm);
        break;
    case FileId::Uarts:
        roundTrips<TTK7713T_UartsCfg>(p, needs, decodeUarts, encodeUarts);
        break;
    }
    return 0;
}
