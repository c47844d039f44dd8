// Steps the commands share: their messages, results as JSON, the dialogs'
// hooks without pauses and Ctrl-C while a command waits.
#pragma once

#include <csignal>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliZaznamy.h"
#include "cli/Json.h"
#include "cli/commands/Command.h"
#include "workflow/NastaveniLogika.h"

namespace tkcli {

// Refused input: the message and, unless the value itself was refused, the
// hint; EXIT_USAGE.
int Refuse(const Context& ctx, const Failure& failure);
// A message on standard error; returns status.
int Fail(const Context& ctx, int status, const std::string& message);

// A dialog's status line without its leading blank.
std::string Bare(const std::string& statusLine);
// The shared "connection error" text.
std::string ConnectionError(std::int32_t lang);
void PrintJson(const Context& ctx, const json::Value& v);
json::Value Boolean(bool b);
// Parity code 0, 1, 2 as --parity takes it; "?" for any other.
std::string ParityName(std::int32_t code);

// The dialogs pause before each transfer so that their status line is
// painted; there is no window here to paint.
DialogHooks NoPause();

// A NAME=VALUE argument of set.
struct Assignment {
    NamedField field;
    std::string value;
};
// Puts each value into its control; the first refused value's message.
std::optional<Failure> ApplyAll(const std::vector<Assignment>& assignments, AllControls& c,
                                std::int32_t lang);

// Reports a write that did not verify, with the fields that differ.
int WriteFailed(const Context& ctx, ConfigDialog dialog, const WriteResult& w,
                const TCFGTK& written, const std::string& prefix);

// One ctrl.bin command: its status with --json, else the message done.
int RunControl(Context& ctx, bool (*send)(TTK7713T&, std::int32_t&), const std::string& done);

// While it lives, Ctrl-C sets a flag instead of ending the program, so a
// transfer in progress ends cleanly; the handler before it comes back after.
class InterruptScope {
  public:
    InterruptScope();
    ~InterruptScope();
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

    static bool interrupted();
    // For loops that poll the flag themselves.
    static const volatile std::sig_atomic_t* flag();

  private:
    void (*previous_)(int) = nullptr;
};

} // namespace tkcli
