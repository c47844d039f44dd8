// A real pseudo-terminal pair for tests: the program opens the slave path
// as its serial port, the test plays the device on the master side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace support {

class PtyPair {
  public:
    // Opens the pair and puts the slave into raw mode, so bytes written on
    // the master before the program opens the slave are neither echoed nor
    // translated. Keeps one slave descriptor open for its whole life, so
    // the master never sees a hang-up while the program's port is closed.
    PtyPair();
    ~PtyPair(); // closes both sides and clears a COM mapping it made

    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0 && slave_ >= 0; }
    int masterFd() const { return master_; }
    // The pair's own slave descriptor, e.g. to inspect the line settings
    // the program applied (the program's open makes new opens fail).
    int slaveFd() const { return slave_; }
    const std::string& slavePath() const { return slavePath_; }

    // Makes COM port comNumber of the program open this pair's slave.
    void mapAsCom(int comNumber);

    // Writes all bytes on the master side; false on failure.
    bool writeMaster(const std::vector<std::uint8_t>& bytes);
    // Reads on the master side until want bytes came or timeoutMs passed
    // without a byte.
    std::vector<std::uint8_t> readMaster(std::size_t want, int timeoutMs);
    // Simulates a device that disappears: the program's port hangs up.
    void closeMaster();

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    bool mapped_ = false;
};

} // namespace support
