// Folder that holds the running program's executable.
#pragma once

#include <string>

namespace platform {

// UTF-8 path of the folder, without a trailing separator; the current
// working folder when the executable's path cannot be found.
std::string programFolder();

}  // namespace platform
