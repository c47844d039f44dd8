#include "ui/ProgramTrace.h"

#include <ostream>

ProgramTrace::ProgramTrace(const std::vector<std::string>& arguments, std::ostream& warnings) {
    const std::string option = "--trace";
    std::string path;
    bool asked = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == option) {
            asked = true;
            path = i + 1 < arguments.size() ? arguments[++i] : std::string();
        } else if (arguments[i].rfind(option + "=", 0) == 0) {
            asked = true;
            path = arguments[i].substr(option.size() + 1);
        }
    }
    if (!asked) {
        return;
    }
    if (path.empty()) {
        warnings << "W_tk7713t: --trace needs a file name; running without a trace\n";
        return;
    }
    file_ = std::make_unique<linktrace::TraceFile>(std::filesystem::path(path), [&warnings, path] {
        warnings << "W_tk7713t: cannot write the trace file " << path
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
