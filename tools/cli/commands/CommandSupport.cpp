#include "cli/commands/CommandSupport.h"

#include <ostream>
#include <type_traits>

#include "cli/Cli.h"
#include "cli/Scan.h"

namespace tkcli {

int Refuse(const Context& ctx, const Failure& failure) {
    ctx.err << "tk7713t: " << failure.message << "\n";
    if (!failure.refusedValue) {
        ctx.err << Text(failure.hint, ctx.lang) << "\n";
    }
    return EXIT_USAGE;
}

int Fail(const Context& ctx, int status, const std::string& message) {
    ctx.err << "tk7713t: " << message << "\n";
    return status;
}

std::string Bare(const std::string& statusLine) {
    return !statusLine.empty() && statusLine.front() == ' ' ? statusLine.substr(1) : statusLine;
}

std::string ConnectionError(std::int32_t lang) {
    return Dekl::Text(Dekl::TEXT_CONNECTION_ERROR, lang);
}

void PrintJson(const Context& ctx, const json::Value& v) {
    ctx.out << json::write(v);
}

json::Value Boolean(bool b) {
    json::Value v;
    v.kind = json::Value::Kind::Bool;
    v.boolean = b;
    return v;
}

std::string ParityName(std::int32_t code) {
    return code >= 0 && code < 3 ? std::string(kParityWords[code]) : "?";
}

DialogHooks NoPause() {
    DialogHooks hooks;
    hooks.pause = [](std::uint32_t) {};
    return hooks;
}

std::optional<Failure> ApplyAll(const std::vector<Assignment>& assignments, AllControls& c,
                                std::int32_t lang) {
    for (const Assignment& a : assignments) {
        std::string message;
        if (!ApplyField(*a.field.field, a.field.alias, a.value, c, lang, message)) {
            return Failure{message};
        }
    }
    return std::nullopt;
}

int WriteFailed(const Context& ctx, ConfigDialog dialog, const WriteResult& w,
                const TCFGTK& written, const std::string& prefix) {
    std::string message = prefix + Bare(w.StatusLines.back());
    if (w.ReadBackDone) {
        const json::Value a = ConfigJson(dialog, written);
        const json::Value b = ConfigJson(dialog, w.ReadBack);
        for (std::size_t i = 0; i < a.members.size(); ++i) {
            if (a.members[i].second.text != b.members[i].second.text) {
                message += "\n  " + Format(T_WRITTEN_READ_BACK, ctx.lang,
                                           {a.members[i].first, ScalarText(a.members[i].second),
                                            ScalarText(b.members[i].second)});
            }
        }
    }
    return Fail(ctx, EXIT_FAILED, message);
}

int RunControl(Context& ctx, bool (*send)(TTK7713T&, std::int32_t&), const std::string& done) {
    std::int32_t status = 0;
    if (!send(ctx.tk, status)) {
        return Fail(ctx, EXIT_FAILED, ConnectionError(ctx.lang));
    }
    if (ctx.json) {
        json::Value o = json::Value::object();
        o.add("Status", json::Value::number(status));
        PrintJson(ctx, o);
    } else {
        ctx.out << done << "\n";
    }
    return EXIT_OK;
}

namespace {

volatile std::sig_atomic_t interruptedFlag = 0;

extern "C" void onInterruptSignal(int) {
    interruptedFlag = 1;
}

// The scans poll the flag through their StopFlag.
static_assert(std::is_convertible_v<const volatile std::sig_atomic_t*, StopFlag>);

} // namespace

InterruptScope::InterruptScope() {
    interruptedFlag = 0;
    previous_ = std::signal(SIGINT, onInterruptSignal);
}

InterruptScope::~InterruptScope() {
    std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_);
}

bool InterruptScope::interrupted() {
    return interruptedFlag != 0;
}

const volatile std::sig_atomic_t* InterruptScope::flag() {
    return &interruptedFlag;
}

} // namespace tkcli
