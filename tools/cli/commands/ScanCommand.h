// `tk7713t scan`: finds a converter on a LAN address range or a serial line.
// ScanCommand.cpp checks the options and scans a LAN range,
// ScanCommand_Serial.cpp a serial line.
#pragma once

#include "cli/Json.h"
#include "cli/commands/Command.h"

namespace tkcli {

extern const Command kScanCommand;

// The two scans, under an InterruptScope; quiet: no progress lines.
int RunSerialScan(Context& ctx, const Arguments& a, bool quiet);
// The results as a JSON array, or the message that none were found; the
// exit status.
int ScanReport(const Context& ctx, const json::Value& list, bool anyFound);

} // namespace tkcli
