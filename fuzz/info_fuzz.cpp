// The info text split and identification: the parts come back from a text
// built of them, any text splits into parts that are pieces of it, and a
// supported version implies a supported type.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "app/Dekl.h"

namespace {

std::string without(std::string s, char c) {
    std::erase(s, c);
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string type = without(in.ConsumeRandomLengthString(16), ' ');
    const std::string gap = without(in.ConsumeRandomLengthString(8), '.');
    std::string version = in.ConsumeBytesAsString(4);
    const std::string gap2 = without(in.ConsumeRandomLengthString(8), '.');
    const std::string serial = without(in.ConsumeRandomLengthString(16), ')');
    const std::string tail = in.ConsumeRemainingBytesAsString();

    std::string t, v, s;
    if (version.size() == 4) {
        RozdelInfoText(type + " " + gap + "." + version + gap2 + "." + serial + ")" + tail, t, v,
                       s);
        FUZZ_CHECK(t == type && v == version && s == serial);
    }

    const std::string info(reinterpret_cast<const char*>(data), size);
    RozdelInfoText(info, t, v, s);
    FUZZ_CHECK(info.compare(0, t.size(), t) == 0);
    FUZZ_CHECK(t.find(' ') == std::string::npos);
    FUZZ_CHECK(v.size() <= 4);
    FUZZ_CHECK(s.find(')') == std::string::npos);
    FUZZ_CHECK(t.size() + v.size() + s.size() <= info.size());
    FUZZ_CHECK(info.find(v) != std::string::npos && info.find(s) != std::string::npos);
    FUZZ_CHECK(!PodporovanaVerze(t, v) || PodporovanyTyp(t));
    FUZZ_CHECK(TypeAndVersionText(t, v) == t + "  v." + v);
    return 0;
}
