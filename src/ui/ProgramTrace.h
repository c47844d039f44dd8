// The program's only command-line option: --trace FILE appends the traffic
// trace to FILE. The windows know nothing of it.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "link/TrafficTrace.h"

class ProgramTrace {
  public:
    // Starts the trace when the arguments (program name first, as the
    // system gave them) ask for it. The file name is taken as bytes, so a
    // name that is no UTF-8 names the same file. Problems give one line on
    // warnings each; the program runs on.
    ProgramTrace(const std::vector<std::string>& arguments, std::ostream& warnings);
    ~ProgramTrace();

    ProgramTrace(const ProgramTrace&) = delete;
    ProgramTrace& operator=(const ProgramTrace&) = delete;

    bool active() const { return tracer_ != nullptr; }

  private:
    std::unique_ptr<linktrace::TraceFile> file_;
    std::unique_ptr<linktrace::TrafficTracer> tracer_;
};
