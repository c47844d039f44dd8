#include "platform/ProfileFile.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::atomic<unsigned> tempCounter{0};

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Makes the rename itself durable; a failure here does not undo the save.
void syncFolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool replaceFileContents(const std::string& path, std::string_view bytes) {
    // A symbolic link stays a link: the file it leads to is the one replaced.
    std::string target = path;
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char* real = ::realpath(path.c_str(), nullptr);
        if (real == nullptr) {
            return false;
        }
        target = real;
        std::free(real);
    }
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists) {
        // FIFOs, devices and folders are not files to replace; a file made
        // read-only stays as it is, even for a superuser.
        if (!S_ISREG(old.st_mode) || (old.st_mode & 0222) == 0 ||
            ::access(target.c_str(), W_OK) != 0) {
            return false;
        }
    }
    const std::string temp = target + ".tmp-" + std::to_string(::getpid()) + "-" +
                             std::to_string(tempCounter.fetch_add(1));
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    bool ok = true;
    if (exists) {
        // The new file keeps the permissions of the one it replaces.
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    }
    ok = ok && writeAll(fd, bytes) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    syncFolderOf(target);
    return true;
}

bool folderAcceptsNewFiles(const std::string& folder) {
    // A superuser may write anywhere but on a read-only file system, so only
    // a real attempt answers for every account.
    const std::string probe = (folder.empty() ? std::string(".") : folder) + "/.W_tk7713t-probe-" +
                              std::to_string(::getpid()) + "-" +
                              std::to_string(tempCounter.fetch_add(1));
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

const char* nativeLineBreak() {
    return "\n";
}

} // namespace platform
