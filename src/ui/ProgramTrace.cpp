#include "ui/ProgramTrace.h"

#include <ostream>

ProgramTrace::ProgramTrace(const QStringList& arguments, std::ostream& warnings) {
    const QString option = QStringLiteral("--trace");
    QString path;
    bool asked = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == option) {
            asked = true;
            path = i + 1 < arguments.size() ? arguments[++i] : QString();
        } else if (arguments[i].startsWith(option + QLatin1Char('='))) {
            asked = true;
            path = arguments[i].mid(option.size() + 1);
        }
    }
    if (!asked) {
        return;
    }
    if (path.isEmpty()) {
        warnings << "W_tk7713t: --trace needs a file name; running without a trace\n";
        return;
    }
    const std::string shown = path.toStdString();
    file_ = std::make_unique<linktrace::TraceFile>(
        std::filesystem::path(path.toStdU16String()), [&warnings, shown] {
            warnings << "W_tk7713t: cannot write the trace file " << shown
                     << "; running without a trace\n";
        });
    if (!file_->ok()) {
        file_.reset();
        return;
    }
    tracer_ = std::make_unique<linktrace::TrafficTracer>(
        [this](const std::string& line) { file_->write(line); }, false);
}

ProgramTrace::~ProgramTrace() {
    tracer_.reset(); // reports an answer still open before the file closes
}
