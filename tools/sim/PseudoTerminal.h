// A pseudo-terminal the simulator creates for a serial line, with an
// optional symbolic link to it, and the serial line settings of a terminal.
#pragma once

#include <string>

namespace tksim {

// Raw 8-bit line at a baud code (0-8) and parity code; a pseudo-terminal
// that refuses the parity bit counts as set.
bool configureLine(int fd, int baudCode, int parityCode);

class PseudoTerminal {
  public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // The new terminal starts raw at the given settings; linkPath (may be
    // empty) becomes a symbolic link to it, replacing an older link.
    bool open(int baudCode, int parityCode, const std::string& linkPath, std::string& error);
    // Removes the link while it still points here.
    void close();

    int fd() const { return fd_; } // our end, non-blocking
    const std::string& path() const { return path_; }

    // The baud code the program at the far end set, -1 when not one of ours.
    // A pseudo-terminal carries no bits, so the speed is all that tells a
    // client at another rate.
    int farBaudCode() const;
    // Drops what the far end wrote and nobody read yet, so a program that
    // opens the terminal next starts clean.
    void discardUnread() const;

  private:
    int fd_ = -1;
    std::string path_;
    std::string linkPath_;
};

} // namespace tksim
