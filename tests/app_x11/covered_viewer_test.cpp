// The viewer's own pixels are recorded, not the screen's: covered by another window, partly off the
// screen, moved, resized, withdrawn, animated while covered, with a compositing manager coming and going;
// and on a server without Composite the screen is recorded, as it is seen, and says so.

#include <gmock/gmock.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/composite.h>

#include <QCheckBox>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/app_x11/recording_fixture.h"
#include "tests/x11/fixture/fixture_picture.h"

namespace skorva::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A viewer whose video area is 320 x 240 with openbox's frame, and a window over all of that area.
constexpr const char* kBob = "x=100 y=100 w=368 h=385 title=Webcam for bob";
constexpr const char* kCover = "x=110 y=130 w=340 h=270 title=Chat with bob";

// Whether the window manager's frame around `client` is redirected (Composite) by anyone: only then can
// its pixmap be named.
bool frameRedirected(const XServer& server, WindowHandle client) {
    xcb_window_t frame = client;
    for (;;) {
        xcb_query_tree_reply_t* tree =
            xcb_query_tree_reply(server.get(), xcb_query_tree(server.get(), frame), nullptr);
        if (tree == nullptr) {
            return false;
        }
        const xcb_window_t parent = tree->parent;
        std::free(tree);
        if (parent == server.root()) {
            break;
        }
        frame = parent;
    }
    const xcb_pixmap_t pixmap = xcb_generate_id(server.get());
    xcb_generic_error_t* error = xcb_request_check(
        server.get(), xcb_composite_name_window_pixmap_checked(server.get(), frame, pixmap));
    const bool named = error == nullptr;
    std::free(error);
    if (named) {
        xcb_free_pixmap(server.get(), pixmap);
        xcb_flush(server.get());
    }
    return named;
}

// Whether the screen shows the fixture window `window` painted with `seed` at its client pixel (x, y).
bool screenShows(const XServer& server, WindowHandle window, int x, int y, std::uint32_t seed) {
    int left = 0, top = 0, width = 0, height = 0;
    if (!server.clientGeometry(window, left, top, width, height)) {
        return false;
    }
    const std::vector<std::uint32_t> pixel = server.rootPixels(left + x, top + y, 1, 1);
    return pixel.size() == 1 && pixel[0] == fixture::pixel(x, y, seed);
}

class CoveredViewerTest : public RecordingTest {
  protected:
    // Starts recording the fixture's first window, "Webcam for bob", covered by its second, with keep on
    // top cleared.
    void recordCoveredViewer(const FixtureProcess& fixture) {
        ASSERT_EQ(fixture.windows().size(), 2u);
        ASSERT_TRUE(listed(fixture.windows()));
        load();
        form->windowtop->setChecked(false);
        startRecording("Webcam for bob");
    }

    // The frame is the viewer's picture painted with `seed`, as close as quality 70 allows.
    void expectViewersPicture(const std::string& name, WindowHandle viewer, std::uint32_t seed) {
        SCOPED_TRACE(name);
        const DecodedFrame frame = decodeJpeg(folder / name);
        const ExpectedGrab grab = expectedGrab(viewer);
        ASSERT_EQ(frame.width, grab.width);
        ASSERT_EQ(frame.height, grab.height);
        EXPECT_GT(psnrAgainstFixture(frame, grab, seed), referencePsnr(grab, seed) - 0.5);
    }
};

TEST_F(CoveredViewerTest, ACoveredViewerIsRecordedAsItselfAndLeftWhereItIs) {
    FixtureProcess fixture({kBob, kCover});
    recordCoveredViewer(fixture);
    ASSERT_FALSE(HasFatalFailure());
    const WindowHandle bob = fixture.windows()[0];
    const ExpectedGrab grab = expectedGrab(bob);
    const int middleX = grab.clientX + grab.width / 2;
    const int middleY = grab.clientY + grab.height / 2;
    // The screen shows the cover where the video is.
    ASSERT_FALSE(screenShows(*server, bob, middleX, middleY, fixture::seedOf(0)));
    ASSERT_FALSE(frameRedirected(*server, bob));
    for (int tick = 0; tick < 2; ++tick) {
        form->Timer1_Timer();
    }
    EXPECT_THAT(messages->messages, IsEmpty());
    ASSERT_THAT(filesInRecording(), ElementsAre("bob0000000.jpg", "bob0000001.jpg"));
    expectViewersPicture("bob0000000.jpg", bob, fixture::seedOf(0));
    expectViewersPicture("bob0000001.jpg", bob, fixture::seedOf(0));
    // Nothing was raised to get there: the cover still covers it, during the recording and after. The
    // viewer's pixels are kept aside while the recording runs, and no longer once it stops.
    EXPECT_FALSE(screenShows(*server, bob, middleX, middleY, fixture::seedOf(0)));
    EXPECT_TRUE(frameRedirected(*server, bob));
    form->btstop_Click();
    EXPECT_FALSE(screenShows(*server, bob, middleX, middleY, fixture::seedOf(0)));
    EXPECT_FALSE(frameRedirected(*server, bob));
}

TEST_F(CoveredViewerTest, APartlyOffScreenViewerIsRecordedWhole) {
    const int screenWidth = server->width();
    for (const int x : {-300, screenWidth - 200}) {
        SCOPED_TRACE(x);
        FixtureProcess fixture({"x=" + std::to_string(x) + " y=100 w=368 h=385 title=Webcam for bob"});
        ASSERT_EQ(fixture.windows().size(), 1u);
        ASSERT_TRUE(listed(fixture.windows()));
        const WindowHandle bob = fixture.windows()[0];
        const ExpectedGrab grab = expectedGrab(bob);
        ASSERT_TRUE(grab.left < 0 || grab.left + grab.width > screenWidth) << "the window manager moved it";
        load();
        startRecording("Webcam for bob");
        form->Timer1_Timer();
        EXPECT_THAT(messages->messages, IsEmpty());
        expectViewersPicture("bob0000000.jpg", bob, fixture::seedOf(0));
        form.reset();
    }
}

TEST_F(CoveredViewerTest, AViewerMovedResizedOrWithdrawnDuringARecordingIsRecordedWhereItIsNow) {
    FixtureProcess fixture({kBob});
    ASSERT_EQ(fixture.windows().size(), 1u);
    ASSERT_TRUE(listed(fixture.windows()));
    const WindowHandle bob = fixture.windows()[0];
    load();
    startRecording("Webcam for bob");
    form->Timer1_Timer();

    // Moved and made larger: the video area is 420 x 300 at its new place.
    const std::uint32_t place[] = {400, 150, 468, 445};
    xcb_configure_window(
        server->get(), bob,
        XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
        place);
    xcb_flush(server->get());
    // Until the viewer has painted its new lower right corner.
    ASSERT_TRUE(eventually([&] { return screenShows(*server, bob, 460, 440, fixture::seedOf(0)); }));
    form->Timer1_Timer();

    // Withdrawn by its owner (hidden to a tray): the tick shows it again and records it.
    xcb_unmap_window(server->get(), bob);
    xcb_unmap_notify_event_t withdraw{};
    withdraw.response_type = XCB_UNMAP_NOTIFY;
    withdraw.event = server->root();
    withdraw.window = bob;
    xcb_send_event(server->get(), 0, server->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&withdraw));
    xcb_flush(server->get());
    ASSERT_TRUE(eventually([&] { return server->cardinals(server->root(), "_NET_CLIENT_LIST").empty(); }));
    form->Timer1_Timer();

    EXPECT_THAT(messages->messages, IsEmpty());
    ASSERT_THAT(filesInRecording(), ElementsAre("bob0000000.jpg", "bob0000001.jpg", "bob0000002.jpg"));
    EXPECT_EQ(decodeJpeg(folder / "bob0000000.jpg").width, 320);
    const ExpectedGrab moved = expectedGrab(bob);
    ASSERT_EQ(moved.width, 420);
    ASSERT_EQ(moved.height, 300);
    expectViewersPicture("bob0000001.jpg", bob, fixture::seedOf(0));
    expectViewersPicture("bob0000002.jpg", bob, fixture::seedOf(0));
}

TEST_F(CoveredViewerTest, AnAnimatedViewerKeepsMovingInItsFramesWhileCovered) {
    FixtureProcess fixture({"x=100 y=100 w=368 h=385 moving title=Webcam for bob", kCover});
    recordCoveredViewer(fixture);
    ASSERT_FALSE(HasFatalFailure());
    const WindowHandle bob = fixture.windows()[0];
    // Each tick once the picture has moved on: a part of the viewer below the cover shows it painting anew.
    for (int tick = 0; tick < 3; ++tick) {
        form->Timer1_Timer();
        int left = 0, top = 0, width = 0, height = 0;
        ASSERT_TRUE(server->clientGeometry(bob, left, top, width, height));
        const std::vector<std::uint32_t> before = server->rootPixels(left + 2, top + 350, 1, 1);
        ASSERT_TRUE(eventually([&] { return server->rootPixels(left + 2, top + 350, 1, 1) != before; }));
    }
    EXPECT_THAT(messages->messages, IsEmpty());
    ASSERT_EQ(filesInRecording().size(), 3u);

    // Each frame is the whole picture of one moment, and no two are the same moment.
    const ExpectedGrab grab = expectedGrab(bob);
    std::set<std::uint32_t> moments;
    for (const std::string& name : filesInRecording()) {
        SCOPED_TRACE(name);
        const DecodedFrame frame = decodeJpeg(folder / name);
        std::uint32_t best = 0;
        double bestPsnr = 0;
        for (std::uint32_t seed = fixture::seedOf(0); seed < fixture::seedOf(0) + 400; ++seed) {
            const double psnr = psnrAgainstFixture(frame, grab, seed);
            if (psnr > bestPsnr) {
                bestPsnr = psnr;
                best = seed;
            }
        }
        EXPECT_GT(bestPsnr, referencePsnr(grab, best) - 0.5);
        moments.insert(best);
    }
    EXPECT_EQ(moments.size(), 3u);
}

TEST_F(CoveredViewerTest, ACompositingManagerMayComeAndGoDuringARecording) {
    if (std::system("command -v xcompmgr >/dev/null") != 0) {
        GTEST_SKIP() << "xcompmgr is not installed";
    }
    FixtureProcess fixture({kBob, kCover});
    recordCoveredViewer(fixture);
    ASSERT_FALSE(HasFatalFailure());
    const WindowHandle bob = fixture.windows()[0];
    form->Timer1_Timer();

    // A compositing manager redirects every window for itself while it runs, and claims this selection.
    const xcb_atom_t managerSelection = server->atom("_NET_WM_CM_S0");
    const auto managerRuns = [&] {
        xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
            server->get(), xcb_get_selection_owner(server->get(), managerSelection), nullptr);
        const bool runs = owner != nullptr && owner->owner != XCB_WINDOW_NONE;
        std::free(owner);
        return runs;
    };
    const pid_t manager = fork();
    ASSERT_GE(manager, 0);
    if (manager == 0) {
        execlp("xcompmgr", "xcompmgr", static_cast<char*>(nullptr));
        _exit(127);
    }
    const bool started = eventually(managerRuns);
    form->Timer1_Timer();
    kill(manager, SIGTERM);
    waitpid(manager, nullptr, 0);
    ASSERT_TRUE(started) << "xcompmgr did not start";
    ASSERT_TRUE(eventually([&] { return !managerRuns(); }));
    form->Timer1_Timer();

    EXPECT_THAT(messages->messages, IsEmpty());
    ASSERT_THAT(filesInRecording(), ElementsAre("bob0000000.jpg", "bob0000001.jpg", "bob0000002.jpg"));
    for (const std::string& name : filesInRecording()) {
        expectViewersPicture(name, bob, fixture::seedOf(0));
    }
}

// A busy viewer answers each Expose late and paints only what it exposed. Moved 200 px past the left edge
// just after a recording of it while covered, it has still to answer the move's Expose when the next
// recording keeps its pixels aside and exposes what is off the screen: its answer to the move is no answer
// to that. Later than the wait allows, the frame is left out and the log says so; the next tick asks again.
TEST_F(CoveredViewerTest, NoFrameShowsWhatTheViewerHasNotPaintedSinceItsPixelsWereKeptAside) {
    struct Case {
        int slowMs;
        bool earlierRecordingWhileCovered;
        bool firstFrameLeftOut;
    };
    for (const Case& c : {Case{150, true, false}, Case{600, false, true}}) {
        SCOPED_TRACE(c.slowMs);
        const std::string slow = " slow=" + std::to_string(c.slowMs);
        FixtureProcess fixture({c.earlierRecordingWhileCovered
                                    ? "x=100 y=100 w=368 h=385" + slow + " title=Webcam for bob"
                                    : "x=-200 y=100 w=368 h=385" + slow + " title=Webcam for bob",
                                kCover});
        recordCoveredViewer(fixture);
        ASSERT_FALSE(HasFatalFailure());
        const WindowHandle bob = fixture.windows()[0];
        if (c.earlierRecordingWhileCovered) {
            form->Timer1_Timer();
            form->btstop_Click();
            const std::int32_t place[] = {-200, 100};
            xcb_configure_window(server->get(), bob, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, place);
            xcb_flush(server->get());
            ASSERT_TRUE(eventually([&] { return expectedGrab(bob).left < 0; }));
            startRecording("Webcam for bob");
        }
        const std::size_t stored = filesInRecording().size();
        const std::int32_t counted = form->recording.frameCounter;
        ::testing::internal::CaptureStderr();
        form->Timer1_Timer();
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.find("A frame is left out") != std::string::npos, c.firstFrameLeftOut) << said;
        EXPECT_EQ(filesInRecording().size(), stored + (c.firstFrameLeftOut ? 0 : 1));
        EXPECT_EQ(form->recording.frameCounter, counted + (c.firstFrameLeftOut ? 0 : 1));
        // Asked again each tick, the viewer's answer comes within a few.
        for (int tick = 0; tick < 4 && filesInRecording().size() == stored; ++tick) {
            form->Timer1_Timer();
        }
        EXPECT_THAT(messages->messages, IsEmpty());
        ASSERT_EQ(filesInRecording().size(), stored + 1);
        const ExpectedGrab grab = expectedGrab(bob);
        ASSERT_LT(grab.left, 0) << "the window manager moved it";
        expectViewersPicture(filesInRecording().back(), bob, fixture::seedOf(0));
        form.reset();
        messages->messages.clear();
    }
}

// On a private Xvfb started without Composite and without a window manager.
class WithoutCompositeTest : public CoveredViewerTest {
  protected:
    void SetUp() override {
        xvfb_.emplace(std::vector<std::string>{"Xvfb", "-screen", "0", "800x600x24", "-nolisten", "tcp",
                                               "-extension", "Composite"});
        if (!xvfb_->running()) {
            GTEST_SKIP() << "Xvfb cannot be started here";
        }
        CoveredViewerTest::SetUp();
    }
    void TearDown() override {
        CoveredViewerTest::TearDown();
        xvfb_.reset();
    }
    std::optional<PrivateServer> xvfb_;
};

TEST_F(WithoutCompositeTest, TheScreenIsRecordedAsItIsSeenAndTheLogSaysSoOnce) {
    // No frame around the windows: the video area is 320 x 240 of a 370 x 410 window.
    FixtureProcess fixture(
        {"x=100 y=100 w=370 h=410 title=Webcam for bob", "x=110 y=130 w=340 h=270 title=Chat with bob"});
    ASSERT_EQ(fixture.windows().size(), 2u);
    const WindowHandle bob = fixture.windows()[0];
    load();
    form->windowtop->setChecked(false);
    startRecording("Webcam for bob");
    ::testing::internal::CaptureStderr();
    form->Timer1_Timer();
    form->Timer1_Timer();
    // Kept on top: the first frame after the raise is the viewer's, repainted, not the cover.
    form->windowtop->setChecked(true);
    form->Timer1_Timer();
    const std::string said = ::testing::internal::GetCapturedStderr();

    EXPECT_THAT(messages->messages, IsEmpty());
    const std::string line =
        "skorva: x11: Recording from the screen: covered parts of the viewer are recorded as they are "
        "seen.\n";
    EXPECT_NE(said.find(line), std::string::npos) << said;
    EXPECT_EQ(said.find(line), said.rfind(line)) << said;
    ASSERT_THAT(filesInRecording(), ElementsAre("bob0000000.jpg", "bob0000001.jpg", "bob0000002.jpg"));
    const ExpectedGrab grab = expectedGrab(bob);
    // What covered the viewer is what was recorded.
    EXPECT_LT(psnrAgainstFixture(decodeJpeg(folder / "bob0000000.jpg"), grab, fixture::seedOf(0)),
              referencePsnr(grab, fixture::seedOf(0)) - 10);
    expectViewersPicture("bob0000002.jpg", bob, fixture::seedOf(0));
}

}  // namespace
}  // namespace skorva::testing
