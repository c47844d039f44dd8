// Cost of the converter file codecs per call; the diagnostics windows decode
// sys.bin, mmrd.bin and mmrgv.bin ten times a second.
#include <chrono>
#include <cstdio>
#include <vector>

#include "link/U_TK7713T.h"

namespace {

template <class F> double nsPerCall(F&& f, int calls) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) {
        f(i);
    }
    const auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::nano>(t1 - t0).count() / calls;
}

volatile std::uint32_t sink;

} // namespace

int main() {
    constexpr int kCalls = 200000;
    std::vector<std::uint8_t> sys(392);
    for (std::size_t i = 0; i < sys.size(); ++i) {
        sys[i] = static_cast<std::uint8_t>(i * 13);
    }
    std::vector<std::uint8_t> mmrgv(240, 7);

    TTK7713T_SysBin s;
    const double sysNs = nsPerCall(
        [&](int i) {
            sys[240] = static_cast<std::uint8_t>(i);
            tk7713t::decodeSys(sys.data(), sys.size(), s);
            sink = s.UptimeS;
        },
        kCalls);

    TTK7713T_MmrgvBin g;
    const double mmrgvNs = nsPerCall(
        [&](int i) {
            mmrgv[8] = static_cast<std::uint8_t>(i % 180);
            tk7713t::decodeMmrgv(mmrgv.data(), mmrgv.size(), g);
            sink = g.PoleDat[0];
        },
        kCalls);

    TTK7713T_Lan4Cfg l;
    const double lan4Ns = nsPerCall(
        [&](int i) {
            l.IP4_DHCP = static_cast<std::uint8_t>(i);
            sink = tk7713t::encodeLan4(l)[15];
        },
        kCalls);

    std::printf("decode_sys_bin: %.1f ns\n", sysNs);
    std::printf("decode_mmrgv_bin: %.1f ns\n", mmrgvNs);
    std::printf("encode_lan4_cfg: %.1f ns\n", lan4Ns);
    return 0;
}
