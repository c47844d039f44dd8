// Folder that holds the running program's executable, and the folder where
// the user's programs keep their settings.
#pragma once

#include <string>

namespace platform {

// UTF-8 path of the folder, without a trailing separator; the current
// working folder when the executable's path cannot be found.
std::string programFolder();

// UTF-8 path of the user's settings folder, without a trailing separator:
// $XDG_CONFIG_HOME when it is an absolute path, otherwise ~/.config (POSIX);
// %APPDATA%, the roaming application data folder (Windows). Empty when the
// system names none.
std::string userConfigFolder();

} // namespace platform
