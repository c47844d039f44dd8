// Formatting of the converter information rows, shared by the information
// window and the command-line tool.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "link/U_TK7713T.h"
#include "workflow/TextyOken.h"

// "s (d:hh:mm:ss)": the second count unsigned, then days in full and hours,
// minutes, seconds with two digits each.
std::string RunTimeText(std::uint32_t s);

// Six bytes as two upper-case hexadecimal digits each, joined by ":".
std::string MacText(const TAdresaMAC& mac);

// One row of the converter information table: the label's id in the
// DiagSystem table and the value as shown. Converter texts keep every byte.
struct InfoRow {
    DiagSystem::TextId LabelId;
    std::string Value;
};

// Rows 0-5: firmware, loader, serial number, MAC, current IPv4 address, run time.
std::array<InfoRow, 6> InfoRows(const TTK7713T_SysBin& sys);

// One row of the master line statistics: the label's id in the DiagRS485
// table and the counter, shown unsigned without separators.
struct StatRow {
    DiagRS485::TextId LabelId;
    std::uint32_t Value;
};

// Rows 0-4: messages, erroneous messages, negative responses, messages per
// second, utilisation in percent.
std::array<StatRow, 5> StatRows(const TTK7713T_MmrdBin& mmrd);

// The 180 utilisation samples as CSV, oldest first: a header line
// "seconds_back,percent", then one line per sample with its age in seconds
// (179 for the oldest, 0 for the newest) and its value. Lines end in "\n".
std::string HistoryCsv(const TTK7713T_MmrgvBin& mmrgv);
