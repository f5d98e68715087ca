#pragma once
// The program lists and grabs X11 windows only. In a Wayland session the windows of Wayland-native
// programs are invisible to it, so it says so once at start; under XWayland it still runs.

#include <optional>
#include <string>

namespace skorva {

// The parts of the environment that tell which kind of session the program runs in. An unset
// variable is an empty text.
struct SessionEnvironment {
    std::string sessionType;     // XDG_SESSION_TYPE
    std::string display;         // DISPLAY
    std::string waylandDisplay;  // WAYLAND_DISPLAY
};

SessionEnvironment sessionEnvironmentOfProcess();

// True in a Wayland session: the session type says so, or there is no X display but a Wayland one.
bool isWaylandSession(const SessionEnvironment& environment);

// The text of the start-up notice, or nothing outside a Wayland session.
std::optional<std::string> sessionNotice(const SessionEnvironment& environment);

// Shows the start-up notice in a message box when the session needs one.
void noticeSession(const SessionEnvironment& environment);

}  // namespace skorva
