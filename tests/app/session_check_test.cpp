#include "app/session_check.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

#include "tests/fakes/message_recorder.h"

namespace skorva {
namespace {

SessionEnvironment session(std::string type, std::string display, std::string wayland) {
    return SessionEnvironment{
        .sessionType = std::move(type), .display = std::move(display), .waylandDisplay = std::move(wayland)};
}

TEST(SessionCheck, WaylandSessionsAreToldX11SessionsAreNot) {
    // Said by the session type, whether or not XWayland offers an X display.
    EXPECT_TRUE(isWaylandSession(session("wayland", ":0", "wayland-0")));
    EXPECT_TRUE(isWaylandSession(session("wayland", "", "")));
    EXPECT_TRUE(isWaylandSession(session("Wayland", ":0", "")));
    // No session type (a terminal, ssh, a container): no X display but a Wayland one.
    EXPECT_TRUE(isWaylandSession(session("", "", "wayland-0")));
    EXPECT_TRUE(isWaylandSession(session("tty", "", "wayland-1")));

    EXPECT_FALSE(isWaylandSession(session("x11", ":0", "")));
    // An X session that also has a nested Wayland compositor running is still an X session.
    EXPECT_FALSE(isWaylandSession(session("x11", ":0", "wayland-0")));
    EXPECT_FALSE(isWaylandSession(session("", ":99", "wayland-0")));
    // Nothing at all (a server): the program fails to find an X server, not a Wayland one.
    EXPECT_FALSE(isWaylandSession(session("", "", "")));
    EXPECT_FALSE(isWaylandSession(session("tty", "", "")));
}

TEST(SessionCheck, TheNoticeSaysX11OnlyInOneInformationBox) {
    const std::optional<std::string> notice = sessionNotice(session("wayland", ":0", "wayland-0"));
    ASSERT_TRUE(notice.has_value());
    EXPECT_NE(notice->find("X11 windows only"), std::string::npos) << *notice;
    EXPECT_NE(notice->find("Wayland-native programs are not listed"), std::string::npos) << *notice;
    EXPECT_FALSE(sessionNotice(session("x11", ":0", "")).has_value());

    {
        testing::MessageRecorder recorder;
        noticeSession(session("wayland", ":0", "wayland-0"));
        ASSERT_EQ(recorder.messages.size(), 1u);
        EXPECT_EQ(recorder.messages[0].text, *notice);
        EXPECT_EQ(recorder.messages[0].icon, MessageIcon::Information);
    }
    {
        testing::MessageRecorder recorder;
        noticeSession(session("x11", ":0", "wayland-0"));
        EXPECT_TRUE(recorder.messages.empty());
    }
}

}  // namespace
}  // namespace skorva
