#include "support/PtyPair.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "platform/SerialPort.h"

namespace support {

PtyPair::PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        return;
    }
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        closeMaster();
        return;
    }
    const char* name = ptsname(master_);
    if (name == nullptr) {
        closeMaster();
        return;
    }
    slavePath_ = name;
    slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        closeMaster();
        return;
    }
    termios t{};
    if (tcgetattr(slave_, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(slave_, TCSANOW, &t);
    }
}

PtyPair::~PtyPair() {
    if (mapped_) {
        platform::setSerialDeviceMap({});
    }
    if (slave_ >= 0) {
        ::close(slave_);
    }
    closeMaster();
}

void PtyPair::mapAsCom(int comNumber) {
    platform::setSerialDeviceMap({{comNumber, slavePath_}});
    mapped_ = true;
}

bool PtyPair::writeMaster(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::vector<std::uint8_t> PtyPair::readMaster(std::size_t want, int timeoutMs) {
    std::vector<std::uint8_t> result;
    while (result.size() < want && master_ >= 0) {
        pollfd p{};
        p.fd = master_;
        p.events = POLLIN;
        const int ready = ::poll(&p, 1, timeoutMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0 || (p.revents & POLLIN) == 0) {
            break;
        }
        std::uint8_t buffer[512];
        const std::size_t room = want - result.size();
        const ssize_t n = ::read(master_, buffer, room < sizeof(buffer) ? room : sizeof(buffer));
        if (n <= 0) {
            break;
        }
        result.insert(result.end(), buffer, buffer + n);
    }
    return result;
}

void PtyPair::closeMaster() {
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

} // namespace support
