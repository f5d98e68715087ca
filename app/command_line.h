#pragma once
// The program's jobs from a command line, for scripts and servers: list the viewer windows, record one,
// write a movie of a folder of frames. The window stays the program's face: without a command it opens.

#include <optional>

namespace skorva {

// Exit codes of the commands.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitBadArguments = 2;

// Runs the command that argv names ("list", "record", "write-movie", or --help / --version) and gives its
// exit code; nothing when argv names no command, so that the window opens (Qt's own options start with a
// dash too).
std::optional<int> runCommandLine(int argc, char** argv);

}  // namespace skorva
