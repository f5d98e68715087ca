#pragma once
// SIGINT and SIGTERM ask the program to end instead of ending it at once, so that a movie being written
// is finished first; a second one ends it at once, abandoning the movie, and says so on standard error.
// SIGXFSZ is ignored: a file size limit then fails the write that would pass it (EFBIG), which the program
// reports, instead of killing it.

namespace skorva {

// Installs the handlers; call once, early in main().
void installTerminationHandlers();

// True once SIGINT or SIGTERM has come.
bool terminationRequested();

// Becomes readable when a request comes in, for an event loop to watch; -1 before the handlers are
// installed.
int terminationRequestFd();

}  // namespace skorva
