// What the tool's main() needs from the system: the command line as UTF-8
// and output streams that show UTF-8 text correctly, also in a Windows
// console; piped or redirected output stays UTF-8 bytes.
#pragma once

#include <functional>
#include <iosfwd>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace tkcli {

// The arguments without the program name, as UTF-8 (on Windows taken from
// the UTF-16 command line, not from the code-page argv).
std::vector<std::string> CommandLineUtf8(int argc, char** argv);

// A write to a pipe whose reader went away fails with EPIPE instead of
// ending the program (nothing to do where there is no such signal).
void IgnoreBrokenPipeSignal();

// Reads one line of an answer from standard input. False when the input
// ended or a signal came while waiting: the read is never restarted after
// Ctrl-C, so Ctrl-C at a question cancels it.
bool ReadAnswerLine(std::string& line);

// True when standard error is a terminal (a console on Windows).
bool ErrIsTerminal();

// Streams for results and messages.
std::ostream& ConsoleOut();
std::ostream& ConsoleErr();

// Runs body; an exception that would end the program becomes a message on
// err and status 1.
int RunGuarded(const std::function<int()>& body, std::ostream& err);

// Turns UTF-8 bytes into UTF-16 text for a console that takes wide text.
// A sequence cut between two writes is kept until its rest comes; bytes
// that are no UTF-8 become U+FFFD.
class Utf8ToUtf16Buf : public std::streambuf {
  public:
    using Sink = std::function<void(std::u16string_view)>;
    explicit Utf8ToUtf16Buf(Sink sink) : sink_(std::move(sink)) {}

  protected:
    int_type overflow(int_type ch) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

  private:
    void decode(std::string_view bytes);

    Sink sink_;
    std::string pending_; // start of a sequence whose rest has not come yet
};

} // namespace tkcli
