#include "app/session_check.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "platform/message_box.h"

namespace skorva {

namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

SessionEnvironment sessionEnvironmentOfProcess() {
    return SessionEnvironment{.sessionType = variable("XDG_SESSION_TYPE"),
                              .display = variable("DISPLAY"),
                              .waylandDisplay = variable("WAYLAND_DISPLAY")};
}

bool isWaylandSession(const SessionEnvironment& environment) {
    if (lowered(environment.sessionType) == "wayland") {
        return true;
    }
    return environment.display.empty() && !environment.waylandDisplay.empty();
}

std::optional<std::string> sessionNotice(const SessionEnvironment& environment) {
    if (!isWaylandSession(environment)) {
        return std::nullopt;
    }
    return std::string(
        "This is a Wayland session. Skorva webcam capture records X11 windows only: viewer windows of "
        "Wayland-native programs are not listed. Viewer windows of programs that run under XWayland are "
        "listed and recorded as usual.");
}

void noticeSession(const SessionEnvironment& environment) {
    if (const std::optional<std::string> notice = sessionNotice(environment)) {
        MsgBox(*notice, MessageIcon::Information);
    }
}

}  // namespace skorva
