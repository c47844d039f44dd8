// The console of the program that started a desktop program. A Windows
// program without a console of its own has nowhere to write its answers to
// --version and --help, or a warning at start, when it runs from a command
// prompt; it borrows that prompt's console for them.
#pragma once

namespace platform {

// Points std::cout and std::cerr, where standard output and error lead
// nowhere, at the console of the parent process, when it has one. Streams
// redirected to a file or a pipe stay as they are. Does nothing where every
// program has them (POSIX).
void borrowParentConsole();

// Gives the borrowed console back before the windows open: closing that
// console must not end the program. std::cout and std::cerr lead nowhere
// again. Does nothing when none was borrowed.
void returnParentConsole();

} // namespace platform
