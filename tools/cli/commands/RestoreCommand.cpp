#include "cli/commands/RestoreCommand.h"

#include <filesystem>
#include <fstream>
#include <iostream>

#include "cli/Cli.h"
#include "cli/commands/CommandSupport.h"
#include "cli/commands/Connect.h"
#include "platform/NativePath.h"

namespace tkcli {

namespace {

// A backup is about a kilobyte.
constexpr std::size_t kMaxBackupBytes = 1024 * 1024;

struct RestoreItem {
    ConfigDialog dialog;
    TCFGTK cfg;
};

// A backup is a regular file or standard input ("-"), read up to its cap: a
// device, a FIFO or an endless stream is refused, not waited for.
std::optional<Failure> readBackup(const std::string& path, std::string& text, std::int32_t lang) {
    std::ifstream file;
    std::istream* in = &std::cin;
    if (path != "-") {
        const std::filesystem::path p = platform::nativePath(path);
        std::error_code ec;
        if (!std::filesystem::is_regular_file(p, ec)) {
            return Failure{Format(T_CANNOT_READ_FILE, lang, {path})};
        }
        file.open(p, std::ios::binary);
        in = &file;
    }
    text.resize(kMaxBackupBytes + 1);
    in->read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in->gcount()));
    if (in->bad() || (path != "-" && !file.is_open())) {
        return Failure{Format(T_CANNOT_READ_FILE, lang, {path})};
    }
    if (text.size() > kMaxBackupBytes) {
        return Failure{Format(T_BAD_BACKUP, lang, {path, "larger than 1 MiB"})};
    }
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
        return Failure{Format(T_EMPTY_BACKUP, lang, {path})};
    }
    return std::nullopt;
}

// Every member is a settings file or one of the identity texts backup writes.
std::optional<Failure> checkMembers(const json::Value& doc, const std::string& path,
                                    std::int32_t lang) {
    if (!doc.isObject()) {
        return Failure{Format(T_BAD_BACKUP, lang, {path, "{ }"})};
    }
    for (const auto& member : doc.members) {
        const std::string& key = member.first;
        ConfigDialog d{};
        if (key == "TypVerze" || key == "VyrCislo") {
            continue;
        }
        if (key.find('.') == std::string::npos || !ConfigByName(key, d)) {
            return Failure{Format(T_BAD_BACKUP, lang, {path, key})};
        }
    }
    return std::nullopt;
}

// One settings file of the backup, judged as its dialog would.
std::optional<Failure> readItem(const json::Value& part, const std::string& path, RestoreItem& item,
                                std::int32_t lang) {
    const ConfigDialog d = item.dialog;
    const std::string file(FileName(d));
    if (!part.isObject()) {
        return Failure{Format(T_BAD_BACKUP, lang, {path, file})};
    }
    for (const auto& member : part.members) {
        if (FindField(d, member.first) == nullptr) {
            return Failure{file + ": " +
                           Format(T_UNKNOWN_FIELD, lang, {member.first, FieldList(d)})};
        }
    }
    AllControls c = ControlsOf(item.cfg);
    for (const FieldSpec& field : Fields(d)) {
        const json::Value* v = part.find(field.name);
        if (v == nullptr || !(v->isNumber() || v->isString())) {
            return Failure{Format(T_MISSING_FIELD, lang, {file, field.name})};
        }
        std::string message;
        if (!ApplyField(field, false, v->text, c, lang, message)) {
            return Failure{file + ": " + message};
        }
    }
    const Verdict verdict = Validate(d, c, item.cfg, lang);
    if (!verdict.Accepted) {
        return Failure{file + ": " + Bare(verdict.StatusLine), true};
    }
    return std::nullopt;
}

std::optional<Failure> prepare(const std::string& path, std::vector<RestoreItem>& items,
                               std::int32_t lang) {
    std::string text;
    if (auto failure = readBackup(path, text, lang)) {
        return failure;
    }
    // A backup is one object of a few settings objects, each of a few
    // fields: anything larger is refused while it is read.
    json::ReadLimits limits;
    limits.maxDepth = 2;
    limits.maxMembers = 16;
    limits.arrays = false;
    json::Value doc;
    std::string error;
    if (!json::read(text, doc, error, limits)) {
        return Failure{Format(T_BAD_BACKUP, lang, {path, error})};
    }
    if (auto failure = checkMembers(doc, path, lang)) {
        return failure;
    }
    // Written in this order: the LAN settings last, so a converter that
    // took them over at once would not cut the link before the others.
    for (ConfigDialog d :
         {ConfigDialog::Mbtcp, ConfigDialog::Uartm, ConfigDialog::Uarts, ConfigDialog::Lan4}) {
        if (const json::Value* part = doc.find(FileName(d))) {
            RestoreItem item{d, VychoziCFGTK()};
            if (auto failure = readItem(*part, path, item, lang)) {
                return failure;
            }
            items.push_back(item);
        }
    }
    if (items.empty()) {
        return Failure{Format(T_NO_FILES_IN_BACKUP, lang, {path})};
    }
    return std::nullopt;
}

int run(Context& ctx, const Arguments& a) {
    std::vector<RestoreItem> items;
    if (auto failure = prepare(a.operands[0], items, ctx.lang)) {
        return Refuse(ctx, *failure);
    }
    if (const int status = Connect(ctx); status != EXIT_OK) {
        return status;
    }
    json::Value report = json::Value::object();
    for (const RestoreItem& item : items) {
        const std::string file(FileName(item.dialog));
        const WriteResult w =
            ZapisData(item.dialog, item.cfg, &ctx.dat, ctx.tk, ctx.lang, NoPause());
        if (w.Outcome != WriteOutcome::Written) {
            if (ctx.json) {
                PrintJson(ctx, report);
            }
            const int status = WriteFailed(ctx, item.dialog, w, item.cfg, file + ": ");
            ctx.err << "tk7713t: " << Format(T_RESTORE_STOPPED, ctx.lang, {file}) << "\n";
            return status;
        }
        const std::string done = Bare(w.StatusLines.back());
        if (ctx.json) {
            report.add(file, json::Value::string(done));
        } else {
            ctx.out << file << ": " << done << "\n";
        }
    }
    if (ctx.json) {
        PrintJson(ctx, report);
    }
    return EXIT_OK;
}

} // namespace

extern const Command kRestoreCommand{"restore",  T_HELP_RESTORE, nullptr, Operand::File, 1, 1,
                                     kNoOptions, true,           run};

} // namespace tkcli
