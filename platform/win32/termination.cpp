// Ctrl-C, Ctrl-Break and a closing console on Windows, as SIGINT and SIGTERM on Linux: the first asks the
// program to end, the second ends it at once. The console calls the handler on a thread of its own.

#include "platform/termination.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

namespace skorva {
namespace {

std::atomic<bool> requested{false};
HANDLE requestEvent = nullptr;

// What a process ended by Ctrl-C returns on Windows.
constexpr UINT kEndedByControlC = 0xC000013Au;

BOOL WINAPI onConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
        return FALSE;
    }
    if (requested.exchange(true)) {
        // Asked twice: the user means it. A movie being written has no name yet, so nothing of it is left.
        std::fputs(
            "skorva: asked again to end: ending at once; a movie being written is abandoned, and nothing "
            "of it is kept\n",
            stderr);
        std::fflush(stderr);
        ::ExitProcess(kEndedByControlC);
    }
    ::SetEvent(requestEvent);
    // A closing console ends the process when the handler returns: wait for the program to finish.
    if (event == CTRL_CLOSE_EVENT) {
        ::Sleep(INFINITE);
    }
    return TRUE;
}

}  // namespace

void installTerminationHandlers() {
    if (requestEvent == nullptr) {
        requestEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ::SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

bool terminationRequested() {
    return requested.load();
}

int terminationRequestFd() {
    return -1;
}

void waitForTermination(std::chrono::steady_clock::time_point until) {
    for (;;) {
        const auto left = until - std::chrono::steady_clock::now();
        if (left.count() <= 0 || terminationRequested()) {
            return;
        }
        // Whole milliseconds, rounded up: never a tick early.
        const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        if (requestEvent != nullptr) {
            ::WaitForSingleObject(requestEvent, static_cast<DWORD>(milliseconds));
        } else {
            ::Sleep(static_cast<DWORD>(milliseconds));
        }
    }
}

}  // namespace skorva
