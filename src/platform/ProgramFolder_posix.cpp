#include "platform/ProgramFolder.h"

#include <filesystem>
#include <system_error>

namespace platform {

std::string programFolder() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && exe.has_parent_path()) {
        return exe.parent_path().string();
    }
    const std::filesystem::path cwd = std::filesystem::current_path(ec);
    return ec ? std::string(".") : cwd.string();
}

}  // namespace platform
