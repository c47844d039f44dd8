// A scan's progress on standard error: on a terminal one line redrawn in
// place; in a log or a pipe plain lines, one per tenth of the work done and
// one per find.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

namespace tkcli {

class ProgressLine {
  public:
    ProgressLine(std::ostream& err, bool terminal) : err_(err), terminal_(terminal) {}

    void show(const std::string& line, std::size_t done, std::size_t total, std::size_t found) {
        if (terminal_) {
            err_ << "\r" << line << "\x1b[K" << std::flush;
            return;
        }
        const std::size_t tenth = total == 0 ? 10 : done * 10 / total;
        if (tenth != tenth_ || found != found_) {
            err_ << line << "\n" << std::flush;
            tenth_ = tenth;
            found_ = found;
        }
    }

    // Clears the redrawn line, before results or at the end.
    void end() {
        if (terminal_) {
            err_ << "\r\x1b[K" << std::flush;
        }
    }

  private:
    std::ostream& err_;
    bool terminal_;
    std::size_t tenth_ = static_cast<std::size_t>(-1);
    std::size_t found_ = 0;
};

} // namespace tkcli
