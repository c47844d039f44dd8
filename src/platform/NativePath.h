// The one way a UTF-8 path reaches the system's file functions.
#pragma once

#include <filesystem>
#include <string>

namespace platform {

// The path for UTF-8 text. Never throws: on Windows bytes that are no
// UTF-8 become U+FFFD, a name no file has, so the open fails cleanly.
std::filesystem::path nativePath(const std::string& utf8);

} // namespace platform
