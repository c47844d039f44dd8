// The connection of a command: the connection dialog's controls from the
// options, the dialog's connection attempt without its pause, and closing
// the port at the end.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/Cli.h"
#include "cli/commands/Command.h"

namespace tkcli {

// The connection dialog's controls from the program's default settings and
// the options given. --device is mapped to its COM port number here
// (ctx.deviceMapped); PortScope undoes it.
std::optional<Failure> ReadConnectionOptions(const Arguments& a, Context& ctx,
                                             ConnectionControls& c);

// One attempt of the connection dialog, with the tool's language and
// without the pause that lets a window show its status line.
ConnectionResult OpenConnection(const ConnectionControls& c, TData& dat, TTK7713T& tk,
                                std::int32_t lang);

// Connects with ctx.controls; EXIT_OK, or the status after the message.
int Connect(Context& ctx);

// The message after a failed read; EXIT_FAILED.
int ReadFailed(const Context& ctx);

// Connects and reads one converter file into record; EXIT_OK, or the
// status after the message.
template <class Record>
int ConnectAndRead(Context& ctx, bool (*read)(TTK7713T&, Record&), Record& record) {
    if (const int status = Connect(ctx); status != EXIT_OK) {
        return status;
    }
    return read(ctx.tk, record) ? EXIT_OK : ReadFailed(ctx);
}

// A connection text of the table followed by the converter's type and
// version, shown byte by byte.
std::string WithTypeAndVersion(const Context& ctx, const std::string& tableText);

// Closes the converter's serial port and forgets the --device mapping when
// the command ends.
class PortScope {
  public:
    explicit PortScope(Context& ctx) : ctx_(ctx) {}
    ~PortScope();
    PortScope(const PortScope&) = delete;
    PortScope& operator=(const PortScope&) = delete;

  private:
    Context& ctx_;
};

} // namespace tkcli
