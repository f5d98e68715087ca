// The X11 desktop against a real server with a window manager (scripts/with-xvfb.sh), using the viewer
// fixture's windows.

#include <dirent.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <string>

#include "platform/platform_error.h"
#include "platform/x11/x11_desktop.h"
#include "tests/fakes/process_figures.h"
#include "tests/x11/fixture/fixture_picture.h"
#include "tests/x11/x11_test_support.h"

namespace skorva::testing {
namespace {

// Where openbox puts a client asked for at (100, 100): inside a frame of 1, 1, 20, 5 pixels.
constexpr int kClientX = 101;
constexpr int kClientY = 120;

std::map<WindowHandle, std::string> listed(Desktop& desktop) {
    std::map<WindowHandle, std::string> windows;
    desktop.enumWindows([&](WindowHandle window) {
        windows[window] = desktop.windowTitle(window);
        return true;
    });
    return windows;
}

// How many pixels of the picture differ from the fixture's picture at (originX, originY) in the
// window's own coordinates.
int fixtureMismatches(const Picture& picture, int originX, int originY, std::uint32_t seed) {
    int mismatches = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            mismatches += rgbAt(picture, x, y) != fixture::pixel(originX + x, originY + y, seed) ? 1 : 0;
        }
    }
    return mismatches;
}

TEST(X11DesktopFactory, NoServerGivesNoDesktop) {
    EXPECT_EQ(makeX11Desktop(":32759"), nullptr);
}

TEST_F(X11Test, ListsEveryClientWindowWithItsOwnIdAndTitle) {
    FixtureProcess fixture(
        {"x=20 y=20 w=200 h=150 title=Webcam for bob", "x=300 y=20 w=200 h=150 title=Webcam for alice",
         "x=20 y=400 w=200 h=150 title=My webcam for carol", "x=300 y=400 w=200 h=150 name=none"});
    ASSERT_EQ(fixture.windows().size(), 4u);
    std::map<WindowHandle, std::string> windows;
    ASSERT_TRUE(eventually([&] {
        windows = listed(*desktop_);
        return std::all_of(fixture.windows().begin(), fixture.windows().end(),
                           [&](WindowHandle w) { return windows.count(w) == 1; });
    }));
    EXPECT_EQ(windows[fixture.windows()[0]], "Webcam for bob");
    EXPECT_EQ(windows[fixture.windows()[1]], "Webcam for alice");
    EXPECT_NE(fixture.windows()[0], fixture.windows()[1]);
    // Listed, but not a viewer: the test text is case-sensitive; an untitled window has no title.
    EXPECT_EQ(windows[fixture.windows()[2]], "My webcam for carol");
    EXPECT_EQ(windows[fixture.windows()[3]].find("Webcam for"), std::string::npos);
    EXPECT_EQ(windows[fixture.windows()[3]], "");
    // The handle is the client window (the one with the title), not the manager's frame.
    for (const WindowHandle window : fixture.windows()) {
        int x, y, w, h;
        ASSERT_TRUE(server_->clientGeometry(window, x, y, w, h));
        EXPECT_EQ(w, 200);
    }

    // Stopping early stops the visits.
    int visits = 0;
    desktop_->enumWindows([&](WindowHandle) { return ++visits < 2; });
    EXPECT_EQ(visits, 2);
}

TEST_F(X11Test, ReadsTitlesInEveryEncodingAndRepairsBrokenOnes) {
    FixtureProcess fixture({
        "x=20 y=20 w=100 h=80 name=wm enc=latin1 title=Webcam for Zo\xC3\xAB",
        "x=140 y=20 w=100 h=80 name=wm enc=utf8 title=Webcam for \xE6\x97\xA5\xE6\x9C\xAC",
        "x=260 y=20 w=100 h=80 name=net title=Webcam for Zo\xC3\xAB \xE6\x97\xA5\xE6\x9C\xAC "
        "\xF0\x9F\x93\xB7",
        "x=380 y=20 w=100 h=80 name=net hex title=57656263616d20666f722062ff6f62",
        "x=500 y=20 w=100 h=80 name=wm enc=compound hex title=5765626361f6201b2547e697a51b2540",
        // A title far longer than any window shows: only its first 4 KiB are read.
        "x=620 y=20 w=100 h=80 title=Webcam for " + std::string(100000, 'b'),
    });
    ASSERT_EQ(fixture.windows().size(), 6u);
    EXPECT_EQ(desktop_->windowTitle(fixture.windows()[5]), "Webcam for " + std::string(4096 - 11, 'b'));
    EXPECT_EQ(desktop_->windowTitle(fixture.windows()[0]), "Webcam for Zo\xC3\xAB");
    EXPECT_EQ(desktop_->windowTitle(fixture.windows()[1]), "Webcam for \xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_EQ(desktop_->windowTitle(fixture.windows()[2]),
              "Webcam for Zo\xC3\xAB \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x93\xB7");
    EXPECT_EQ(desktop_->windowTitle(fixture.windows()[3]), "Webcam for b\xEF\xBF\xBDob");
    EXPECT_EQ(desktop_->windowTitle(fixture.windows()[4]), "Webca\xC3\xB6 \xE6\x97\xA5");
    EXPECT_EQ(desktop_->windowTitle(0), "");
}

TEST_F(X11Test, OuterRectangleIncludesTheFrame) {
    FixtureProcess fixture({"x=100 y=100 w=320 h=240 title=Webcam for bob"});
    ASSERT_EQ(fixture.windows().size(), 1u);
    const WindowHandle window = fixture.windows()[0];
    // What the manager says about its frame, read independently.
    ASSERT_TRUE(eventually([&] { return server_->cardinals(window, "_NET_FRAME_EXTENTS").size() == 4; }));
    EXPECT_EQ(server_->cardinals(window, "_NET_FRAME_EXTENTS"), (std::vector<std::uint32_t>{1, 1, 20, 5}));
    Rect rect{-1, -1, -1, -1};
    ASSERT_TRUE(desktop_->windowRect(window, rect));
    EXPECT_EQ(rect, (Rect{100, 100, 422, 365}));
    int x, y, w, h;
    ASSERT_TRUE(server_->clientGeometry(window, x, y, w, h));
    EXPECT_EQ(x, kClientX);
    EXPECT_EQ(y, kClientY);
}

TEST_F(X11Test, GrabGivesTheScreenPixelsOpaque) {
    FixtureProcess fixture({"x=100 y=100 w=320 h=240 title=Webcam for bob"});
    ASSERT_EQ(fixture.windows().size(), 1u);
    const std::uint32_t seed = fixture::seedOf(0);

    // The viewer's picture, grabbed at its place on the screen: every pixel is the fixture's.
    const Picture inside = desktop_->grabScreen(kClientX + 10, kClientY + 5, 300, 200);
    ASSERT_EQ(inside.width(), 300);
    ASSERT_EQ(inside.height(), 200);
    EXPECT_EQ(inside.format(), PixelFormat::Bgrx32);
    EXPECT_EQ(fixtureMismatches(inside, 10, 5, seed), 0);

    // A rectangle across the frame and the desktop: what an independent GetImage sees. The window
    // manager may still be repainting the frame (focus), so the two reads are compared until it is done.
    int differences = 0;
    int transparent = 0;
    const bool same = eventually([&] {
        const Picture across = desktop_->grabScreen(50, 60, 200, 150);
        const std::vector<std::uint32_t> expected = server_->rootPixels(50, 60, 200, 150);
        if (expected.size() != 200u * 150u) {
            return false;
        }
        differences = 0;
        transparent = 0;
        for (int y = 0; y < 150; ++y) {
            for (int x = 0; x < 200; ++x) {
                differences += rgbAt(across, x, y) != expected[static_cast<std::size_t>(y * 200 + x)] ? 1 : 0;
                transparent += padAt(across, x, y) != 0xFF ? 1 : 0;
            }
        }
        return differences == 0;
    });
    EXPECT_TRUE(same) << differences << " pixels differ";
    EXPECT_EQ(transparent, 0);
}

TEST_F(X11Test, GrabOffTheScreenIsBlackThereAndKeepsItsSize) {
    const int width = server_->width();
    const int height = server_->height();
    struct Case {
        int left, top, width, height;
    };
    for (const Case c :
         {Case{-10, -20, 50, 40}, Case{width - 30, height - 10, 64, 32}, Case{-5, 100, width + 10, 3},
          Case{width + 100, 0, 16, 16}, Case{-100, -100, 50, 50}}) {
        SCOPED_TRACE(::testing::Message() << c.left << "," << c.top << " " << c.width << "x" << c.height);
        const Picture picture = desktop_->grabScreen(c.left, c.top, c.width, c.height);
        ASSERT_EQ(picture.width(), c.width);
        ASSERT_EQ(picture.height(), c.height);
        const int x0 = std::max(c.left, 0);
        const int y0 = std::max(c.top, 0);
        const int x1 = std::min(c.left + c.width, width);
        const int y1 = std::min(c.top + c.height, height);
        const std::vector<std::uint32_t> screen =
            x1 > x0 && y1 > y0 ? server_->rootPixels(x0, y0, x1 - x0, y1 - y0) : std::vector<std::uint32_t>{};
        int wrong = 0;
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                const int sx = c.left + x;
                const int sy = c.top + y;
                const bool onScreen = sx >= 0 && sy >= 0 && sx < width && sy < height;
                const std::uint32_t want =
                    onScreen ? screen[static_cast<std::size_t>((sy - y0) * (x1 - x0) + (sx - x0))] : 0u;
                wrong += (rgbAt(picture, x, y) != want || padAt(picture, x, y) != 0xFF) ? 1 : 0;
            }
        }
        EXPECT_EQ(wrong, 0);
    }

    // No size: an empty picture, not an error and not "no picture".
    for (const Case c : {Case{0, 0, 0, 10}, Case{0, 0, 10, 0}, Case{25, 44, -50, -164}, Case{0, 0, -1, 5}}) {
        const Picture picture = desktop_->grabScreen(c.left, c.top, c.width, c.height);
        EXPECT_FALSE(picture.isNull());
        EXPECT_TRUE(picture.isEmpty());
        EXPECT_EQ(picture.width(), 0);
        EXPECT_EQ(picture.height(), 0);
    }

    // A size no memory holds is an error the caller can report, not a crash.
    try {
        desktop_->grabScreen(0, 0, 0x7FFFFFFF, 0x7FFFFFFF);
        ADD_FAILURE() << "a grab of 2^31 x 2^31 pixels succeeded";
    } catch (const PlatformError& error) {
        EXPECT_GT(error.number(), 0);
        EXPECT_NE(std::string(error.what()), "");
    }
}

TEST_F(X11Test, MinimisedWindowIsReportedAndRestoredWithItsPicture) {
    FixtureProcess fixture({"x=100 y=100 w=320 h=240 iconic title=Webcam for bob"});
    ASSERT_EQ(fixture.windows().size(), 1u);
    const WindowHandle window = fixture.windows()[0];
    EXPECT_TRUE(desktop_->isIconic(window));
    EXPECT_TRUE(server_->hasNetWmState(window, "_NET_WM_STATE_HIDDEN"));

    EXPECT_TRUE(desktop_->restoreWindow(window));
    EXPECT_FALSE(desktop_->isIconic(window));
    EXPECT_FALSE(server_->hasNetWmState(window, "_NET_WM_STATE_HIDDEN"));
    Rect rect;
    ASSERT_TRUE(desktop_->windowRect(window, rect));
    EXPECT_EQ(rect, (Rect{100, 100, 422, 365}));
    // Restored and repainted before the call returned: the grab shows the viewer's picture.
    const Picture picture = desktop_->grabScreen(kClientX, kClientY, 320, 240);
    EXPECT_EQ(fixtureMismatches(picture, 0, 0, fixture::seedOf(0)), 0);

    // Restoring a window that is shown already changes nothing.
    EXPECT_TRUE(desktop_->restoreWindow(window));
    EXPECT_FALSE(desktop_->isIconic(window));
}

TEST_F(X11Test, KeepOnTopSetsAboveWithoutMovingTheWindow) {
    FixtureProcess fixture(
        {"x=100 y=100 w=320 h=240 title=Webcam for bob", "x=200 y=150 w=320 h=240 title=Something in front"});
    ASSERT_EQ(fixture.windows().size(), 2u);
    const WindowHandle viewer = fixture.windows()[0];
    EXPECT_FALSE(server_->hasNetWmState(viewer, "_NET_WM_STATE_ABOVE"));
    Rect before;
    ASSERT_TRUE(desktop_->windowRect(viewer, before));

    EXPECT_TRUE(desktop_->keepOnTop(viewer));
    EXPECT_TRUE(server_->hasNetWmState(viewer, "_NET_WM_STATE_ABOVE"));
    Rect after;
    ASSERT_TRUE(desktop_->windowRect(viewer, after));
    EXPECT_EQ(after, before);
    // On top of the window that covered part of it: the whole picture is the viewer's.
    ASSERT_TRUE(eventually([&] {
        return fixtureMismatches(desktop_->grabScreen(kClientX, kClientY, 320, 240), 0, 0,
                                 fixture::seedOf(0)) == 0;
    }));
    EXPECT_TRUE(desktop_->keepOnTop(viewer));
}

TEST_F(X11Test, WindowThatIsGoneFailsCleanly) {
    FixtureProcess fixture({"x=100 y=100 w=320 h=240 title=Webcam for bob"});
    ASSERT_EQ(fixture.windows().size(), 1u);
    const WindowHandle window = fixture.windows()[0];
    fixture.stop();
    ASSERT_TRUE(eventually([&] { return !server_->exists(window); }));

    Rect rect{1, 2, 3, 4};
    EXPECT_FALSE(desktop_->windowRect(window, rect));
    EXPECT_EQ(rect, (Rect{1, 2, 3, 4}));
    EXPECT_FALSE(desktop_->isIconic(window));
    EXPECT_FALSE(desktop_->restoreWindow(window));
    EXPECT_FALSE(desktop_->keepOnTop(window));
    EXPECT_EQ(desktop_->windowTitle(window), "");
    EXPECT_TRUE(eventually([&] { return listed(*desktop_).count(window) == 0; }));
    // The same for a handle that never named a window.
    EXPECT_FALSE(desktop_->windowRect(0, rect));
    EXPECT_FALSE(desktop_->restoreWindow(0));
    EXPECT_FALSE(desktop_->keepOnTop(0));
}

TEST_F(X11Test, ThousandGrabsKeepOneSegmentAndNoNewDescriptors) {
    FixtureProcess fixture({"x=100 y=100 w=320 h=240 moving title=Webcam for demo"});
    ASSERT_EQ(fixture.windows().size(), 1u);
    // The first grab makes the segment; the larger one grows it once.
    desktop_->grabScreen(kClientX, kClientY, 320, 240);
    desktop_->grabScreen(0, 0, 640, 480);
    const int descriptors = openDescriptors();
    const int segments = sharedMemoryMappings();
    EXPECT_EQ(segments, server_->hasShm() ? 1 : 0);
    for (int i = 0; i < 1000; ++i) {
        const Picture picture = i % 2 == 0 ? desktop_->grabScreen(kClientX, kClientY, 320, 240)
                                           : desktop_->grabScreen(0, 0, 640, 480);
        ASSERT_EQ(picture.width(), i % 2 == 0 ? 320 : 640);
    }
    EXPECT_EQ(openDescriptors(), descriptors);
    EXPECT_EQ(sharedMemoryMappings(), segments);
    // The segment goes with the desktop.
    desktop_.reset();
    EXPECT_EQ(sharedMemoryMappings(), 0);
}

}  // namespace
}  // namespace skorva::testing
