#include "cli/commands/StatsCommand.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <ostream>

#include "cli/Cli.h"
#include "cli/commands/CommandSupport.h"
#include "cli/commands/Connect.h"
#include "platform/Clock.h"
#include "workflow/DiagnostikaLogika.h"
#include "workflow/TextyOken.h"

namespace tkcli {

namespace {

constexpr std::uint32_t kFollowPeriodMs = 100;

// Local time as 2026-01-31T13:45:30.250.
std::string localTimestamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    char text[40];
    const std::size_t n =
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", std::localtime(&seconds));
    std::snprintf(text + n, sizeof text - n, ".%03d", static_cast<int>(ms));
    return text;
}

void printFollowLine(Context& ctx, const TTK7713T_MmrdBin& m, const std::string& time) {
    if (ctx.json) {
        json::Value o = json::Value::object();
        o.add("Cas", json::Value::string(time));
        for (auto& member : MmrdJson(m).members) {
            o.add(member.first, member.second);
        }
        ctx.out << json::oneLine(json::write(o)) << std::endl;
        return;
    }
    ctx.out << time;
    const char* separator = " ";
    for (const StatRow& row : StatRows(m)) {
        ctx.out << separator << DiagRS485::Text(row.LabelId, ctx.lang) << ": " << row.Value;
        separator = "; ";
    }
    ctx.out << std::endl;
}

// One line per read, like the diagnostics window: the next read starts
// 100 ms after the previous one ended. Ends when interrupted or when a
// write fails.
int follow(Context& ctx) {
    // Ctrl+C ends the loop after the current read, not the program in the
    // middle of a transfer.
    const InterruptScope interrupt;
    int writeError = 0;
    while (!InterruptScope::interrupted() && ctx.out) {
        TTK7713T_MmrdBin m;
        const bool ok = TK7713T_PrectiMmrd(ctx.tk, m);
        const std::string time = localTimestamp();
        errno = 0;
        if (ok) {
            printFollowLine(ctx, m, time);
        } else {
            ctx.err << time << " tk7713t: " << ConnectionError(ctx.lang) << std::endl;
        }
        writeError = errno;
        if (!InterruptScope::interrupted() && ctx.out) {
            platform::pauseMs(kFollowPeriodMs);
        }
    }
    // A reader that went away (stats --follow | head) is how a followed run
    // ends; any other failed write, a full disk say, is a failure.
    ctx.readerClosedOutput = !ctx.out && writeError == EPIPE;
    return EXIT_OK;
}

int run(Context& ctx, const Arguments& a) {
    if (a.follow) {
        const int status = Connect(ctx);
        return status == EXIT_OK ? follow(ctx) : status;
    }
    TTK7713T_MmrdBin m;
    if (const int status = ConnectAndRead(ctx, TK7713T_PrectiMmrd, m); status != EXIT_OK) {
        return status;
    }
    if (ctx.json) {
        PrintJson(ctx, MmrdJson(m));
        return EXIT_OK;
    }
    for (const StatRow& row : StatRows(m)) {
        ctx.out << DiagRS485::Text(row.LabelId, ctx.lang) << ": " << row.Value << "\n";
    }
    return EXIT_OK;
}

} // namespace

extern const Command kStatsCommand{"stats", T_HELP_STATS, nullptr, Operand::None, 0, 0,
                                   kFollow, true,         run};

} // namespace tkcli
