#pragma once
// SIGINT and SIGTERM (on Windows Ctrl-C, Ctrl-Break and the console closing) ask the program to end instead
// of ending it at once, so that a movie being written is finished first; a second one ends it at once,
// abandoning the movie, and says so on standard error. SIGXFSZ is ignored: a file size limit then fails the
// write that would pass it (EFBIG), which the program reports, instead of killing it.

#include <chrono>

namespace skorva {

// Installs the handlers; call once, early in main().
void installTerminationHandlers();

// True once SIGINT or SIGTERM has come.
bool terminationRequested();

// Waits until `until`, or less when a request comes in. To the microsecond where the system can: a wait
// cut to whole milliseconds would start a tick up to one early.
void waitForTermination(std::chrono::steady_clock::time_point until);

// Becomes readable when a request comes in, for an event loop to watch; -1 before the handlers are
// installed, and always on Windows, where waitForTermination is the way to wait.
int terminationRequestFd();

}  // namespace skorva
