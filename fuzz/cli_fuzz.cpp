// The command line of tk7713t end to end, with the serial port replaced by
// a scripted one answered by the simulated converter and a fake clock. A
// COM port is always chosen, so the network is never reached. Exit statuses
// stay in their set, refused input prints nothing on standard output, every
// message is the tool's, and no port or device mapping outlives a run.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "cli/Cli.h"
#include "platform/SerialPort.h"
#include "sim/DeviceModel.h"
#include "sim/RtuProtocol.h"
#include "support/FakeClock.h"
#include "support/ScriptedSerialPort.h"

namespace {

std::istringstream noInput;
std::string scratchFolder;

void removeScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(scratchFolder, ignored);
}

// Lines on standard error: the tool's messages, their indented details,
// the help hints (general, and set's) and a scan's progress, redrawn in place on a terminal and
// plain lines elsewhere (as here).
bool toolMessages(const std::string& err) {
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("tk7713t: ", 0) != 0 && line.rfind("  ", 0) != 0 &&
            line.rfind("\r", 0) != 0 && line.rfind("scan: ", 0) != 0 &&
            line.rfind("sken: ", 0) != 0 && line.find("tk7713t --help") == std::string::npos &&
            line.find("tk7713t set --help") == std::string::npos) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Files named on the command line (backup, restore) stay in a scratch folder.
    char pattern[] = "/tmp/tk-cli-fuzz-XXXXXX";
    if (::mkdtemp(pattern) == nullptr || ::chdir(pattern) != 0) {
        std::abort();
    }
    scratchFolder = pattern;
    std::atexit(removeScratchFolder);
    std::cin.rdbuf(noInput.rdbuf());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args{"--com", "1"};
    std::string current;
    for (std::size_t i = 0; i < size && args.size() < 16; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    args.push_back(current);
    for (const std::string& a : args) {
        // Only plain names in the scratch folder; a line break in an
        // argument would be echoed into a message as a line of its own.
        if (a.find_first_of("/\r\n") != std::string::npos || a.rfind("..", 0) == 0 ||
            a.find("=..") != std::string::npos) {
            return 0;
        }
    }

    support::FakeClock clock;
    support::ScriptedSerialPort port(clock);
    tksim::DeviceModel model(tksim::ModelOptions{}, [&clock] { return clock.monotonicMs(); });
    port.setResponder([&model](const support::ScriptedSerialPort::Bytes& request) {
        support::ScriptedSerialPort::Answer answer;
        if (!request.empty()) {
            tksim::RtuProtocol converter(model, request[0]);
            tksim::RtuReply reply = converter.handle(request, tksim::Faults{});
            if (reply.send) {
                answer.push_back({2, std::move(reply.frame)});
            }
        }
        return answer;
    });

    std::ostringstream out;
    std::ostringstream err;
    const int status = tkcli::Run(args, out, err);
    if (std::getenv("TK_FUZZ_SHOW") != nullptr) { // to look at one input's run
        std::cerr << "status " << status << "\n" << out.str() << err.str();
    }
    FUZZ_CHECK(status >= 0 && status <= 3);
    FUZZ_CHECK(status != 2 || out.str().empty());
    FUZZ_CHECK(status == 0 || !err.str().empty());
    FUZZ_CHECK(toolMessages(err.str()));
    FUZZ_CHECK(!port.isOpen());
    for (int com = 1; com <= 255; ++com) {
        FUZZ_CHECK(platform::mappedSerialDevicePath(com).empty());
    }
    return 0;
}
