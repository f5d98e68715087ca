// The X11 desktop on a server without a window manager: the root's children stand in for the client
// list, restoring maps the window, and there is no frame around it.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/x11/x11_desktop.h"
#include "tests/x11/fixture/fixture_picture.h"
#include "tests/x11/x11_test_support.h"

namespace skorva::testing {
namespace {

// A private Xvfb with nothing else on it.
PrivateServer bareServer(bool sharedMemory = true) {
    std::vector<std::string> command{"Xvfb", "-screen", "0", "800x600x24", "-nolisten", "tcp"};
    if (!sharedMemory) {
        command.insert(command.end(), {"-extension", "MIT-SHM"});
    }
    return PrivateServer(std::move(command));
}

xcb_window_t createWindow(const XServer& server, int x, int y, bool overrideRedirect) {
    const xcb_window_t window = xcb_generate_id(server.get());
    const std::uint32_t values[] = {overrideRedirect ? 1u : 0u};
    xcb_create_window(server.get(), XCB_COPY_FROM_PARENT, window, server.root(), static_cast<std::int16_t>(x),
                      static_cast<std::int16_t>(y), 64, 48, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT, values);
    return window;
}

TEST(X11WithoutWindowManager, RootChildrenAreTheWindowsAndRestoreMapsThem) {
    PrivateServer bare = bareServer();
    if (!bare.running()) {
        GTEST_SKIP() << "Xvfb cannot be started here";
    }
    auto desktop = makeX11Desktop();
    auto server = XServer::connect();
    ASSERT_TRUE(desktop);
    ASSERT_TRUE(server);

    FixtureProcess fixture(
        {"x=10 y=20 w=120 h=90 title=Webcam for bob", "x=200 y=20 w=120 h=90 iconic title=Webcam for eve"});
    ASSERT_EQ(fixture.windows().size(), 2u);
    const xcb_window_t menu = createWindow(*server, 300, 300, true);
    const xcb_window_t hidden = createWindow(*server, 400, 300, false);
    xcb_map_window(server->get(), menu);
    xcb_flush(server->get());
    ASSERT_TRUE(eventually([&] {
        std::vector<WindowHandle> windows;
        desktop->enumWindows([&](WindowHandle w) {
            windows.push_back(w);
            return true;
        });
        // The menu is mapped by now exactly when the listing is complete; it must not be in it.
        const bool menuShown = std::find(windows.begin(), windows.end(), menu) != windows.end();
        EXPECT_FALSE(menuShown);
        return std::find(windows.begin(), windows.end(), fixture.windows()[0]) != windows.end() &&
               std::find(windows.begin(), windows.end(), fixture.windows()[1]) != windows.end() &&
               std::find(windows.begin(), windows.end(), hidden) == windows.end();
    }));
    EXPECT_EQ(desktop->windowTitle(fixture.windows()[0]), "Webcam for bob");
    // Nobody minimises without a manager: the iconic hint is not a state.
    EXPECT_FALSE(desktop->isIconic(fixture.windows()[1]));

    // No frame: the outer rectangle is the window's own.
    Rect rect;
    ASSERT_TRUE(desktop->windowRect(fixture.windows()[0], rect));
    EXPECT_EQ(rect, (Rect{10, 20, 130, 110}));

    // Restoring an unmapped window maps it.
    EXPECT_TRUE(desktop->restoreWindow(hidden));
    struct Free {
        void operator()(void* p) const { std::free(p); }
    };
    std::unique_ptr<xcb_get_window_attributes_reply_t, Free> attributes(xcb_get_window_attributes_reply(
        server->get(), xcb_get_window_attributes(server->get(), hidden), nullptr));
    ASSERT_TRUE(attributes);
    EXPECT_EQ(attributes->map_state, XCB_MAP_STATE_VIEWABLE);
    EXPECT_TRUE(desktop->keepOnTop(fixture.windows()[0]));
    fixture.stop();
}

TEST(X11WithoutWindowManager, WithoutSharedMemoryTheGrabStillGivesTheScreen) {
    PrivateServer bare = bareServer(false);
    if (!bare.running()) {
        GTEST_SKIP() << "Xvfb cannot be started here";
    }
    auto server = XServer::connect();
    ASSERT_TRUE(server);
    ASSERT_FALSE(server->hasShm());
    FixtureProcess fixture({"x=10 y=20 w=120 h=90 title=Webcam for bob"});
    ASSERT_EQ(fixture.windows().size(), 1u);

    ::testing::internal::CaptureStderr();
    auto desktop = makeX11Desktop();
    ASSERT_TRUE(desktop);
    const Picture first = desktop->grabScreen(-5, 0, 200, 150);
    const Picture second = desktop->grabScreen(0, 0, 200, 150);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "skorva: x11: Continuing without shared memory.\n");

    const std::vector<std::uint32_t> screen = server->rootPixels(0, 0, 200, 150);
    int wrong = 0;
    for (int y = 0; y < 150; ++y) {
        for (int x = 0; x < 200; ++x) {
            const std::uint32_t want = screen[static_cast<std::size_t>(y * 200 + x)];
            wrong += rgbAt(second, x, y) != want || padAt(second, x, y) != 0xFF ? 1 : 0;
            const std::uint32_t shifted = x < 5 ? 0u : screen[static_cast<std::size_t>(y * 200 + x - 5)];
            wrong += rgbAt(first, x, y) != shifted || padAt(first, x, y) != 0xFF ? 1 : 0;
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(rgbAt(second, 10 + 3, 20 + 4), fixture::pixel(3, 4, fixture::seedOf(0)));
}

}  // namespace
}  // namespace skorva::testing
