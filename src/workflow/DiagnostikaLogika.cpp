#include "workflow/DiagnostikaLogika.h"

#include <cstdio>

#include "workflow/TextyOken.h"

std::string RunTimeText(std::uint32_t s) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%lu (%lu:%02lu:%02lu:%02lu)", static_cast<unsigned long>(s),
                  static_cast<unsigned long>(s / 86400u),
                  static_cast<unsigned long>((s / 3600u) % 24u),
                  static_cast<unsigned long>((s / 60u) % 60u), static_cast<unsigned long>(s % 60u));
    return buf;
}

std::string MacText(const TAdresaMAC& mac) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < mac.size(); ++i) {
        if (i != 0) {
            out.push_back(':');
        }
        out.push_back(digits[mac[i] >> 4]);
        out.push_back(digits[mac[i] & 0x0F]);
    }
    return out;
}

std::array<InfoRow, 6> InfoRows(const TTK7713T_SysBin& sys) {
    return {InfoRow{DiagSystem::TEXT_FIRMWARE, sys.TypFW},
            InfoRow{DiagSystem::TEXT_LOADER, sys.TypLoader},
            InfoRow{DiagSystem::TEXT_SERIAL_NUMBER, sys.VyrCislo},
            InfoRow{DiagSystem::TEXT_MAC, MacText(sys.MAC)},
            InfoRow{DiagSystem::TEXT_IP_ADDRESS, IP4NaText(sys.IP4_Adresa)},
            InfoRow{DiagSystem::TEXT_RUN_TIME, RunTimeText(sys.UptimeS)}};
}

std::array<StatRow, 5> StatRows(const TTK7713T_MmrdBin& mmrd) {
    return {StatRow{DiagRS485::TEXT_MESSAGES, mmrd.PocetZprav},
            StatRow{DiagRS485::TEXT_ERROR_MESSAGES, mmrd.PocetChybnychZprav},
            StatRow{DiagRS485::TEXT_NEGATIVE_RESPONSES, mmrd.PocetNegativnichOdpovedi},
            StatRow{DiagRS485::TEXT_FREQUENCY, mmrd.CetnostZprav},
            StatRow{DiagRS485::TEXT_UTILISATION, mmrd.Vytizeni}};
}

std::string HistoryCsv(const TTK7713T_MmrgvBin& mmrgv) {
    std::string csv = "seconds_back,percent\n";
    const std::size_t last = mmrgv.PoleDat.size() - 1;
    for (std::size_t i = 0; i < mmrgv.PoleDat.size(); ++i) {
        csv += std::to_string(last - i) + "," + std::to_string(mmrgv.PoleDat[i]) + "\n";
    }
    return csv;
}
