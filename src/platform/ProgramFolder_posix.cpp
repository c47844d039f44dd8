#include "platform/ProgramFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace platform {

namespace {

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// The account's home folder from the password database, for a process
// started without HOME (a service, sudo -i with a cleared environment).
std::string accountHome() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384u);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr) {
        return std::string();
    }
    return found->pw_dir;
}

} // namespace

std::string programFolder() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && exe.has_parent_path()) {
        return exe.parent_path().string();
    }
    const std::filesystem::path cwd = std::filesystem::current_path(ec);
    return ec ? std::string(".") : cwd.string();
}

std::string userConfigFolder() {
    // A relative XDG_CONFIG_HOME is invalid and is ignored.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return withoutTrailingSlashes(xdg);
    }
    const char* home = std::getenv("HOME");
    std::string base = home != nullptr && home[0] == '/' ? std::string(home) : accountHome();
    if (base.empty() || base[0] != '/') {
        return std::string();
    }
    base = withoutTrailingSlashes(base);
    return base == "/" ? "/.config" : base + "/.config";
}

} // namespace platform
