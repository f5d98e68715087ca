// The X11 desktop sends the tick's questions about a window (minimised? keep it on top, outer rectangle,
// and the grab's own before it reads the pixels) together with the first. The answers must be those the
// questions get one by one, whatever happens to the window between them and whichever of them the tick
// leaves out.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/x11/x11_desktop.h"
#include "tests/x11/x11_test_support.h"

namespace skorva::testing {
namespace {

class TickQuestionsTest : public X11Test {};

Rect rectOf(Desktop& desktop, WindowHandle window) {
    Rect rect{-1, -1, -1, -1};
    EXPECT_TRUE(desktop.windowRect(window, rect));
    return rect;
}

bool sameRect(const Rect& a, const Rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST_F(TickQuestionsTest, AnswersAskedAheadMatchTheQuestionsAskedAlone) {
    FixtureProcess fixture({"x=100 y=100 w=368 h=385 title=Webcam for bob",
                            "x=600 y=100 w=368 h=385 iconic title=Webcam for eve"});
    ASSERT_EQ(fixture.windows().size(), 2u);
    const WindowHandle bob = fixture.windows()[0];
    const WindowHandle eve = fixture.windows()[1];
    ASSERT_TRUE(eventually([&] { return desktop_->isIconic(eve); }));
    const Rect bobAlone = rectOf(*desktop_, bob);

    // The tick's order: the first keepOnTop raises the window, every later one finds it above.
    for (int tick = 0; tick < 3; ++tick) {
        SCOPED_TRACE(tick);
        EXPECT_FALSE(desktop_->isIconic(bob));
        EXPECT_TRUE(desktop_->keepOnTop(bob));
        EXPECT_TRUE(server_->hasNetWmState(bob, "_NET_WM_STATE_ABOVE"));
        EXPECT_TRUE(sameRect(rectOf(*desktop_, bob), bobAlone));
    }

    // Without keeping on top, and with other questions in between: the answers stay right, and the
    // replies given up do not disturb the ones that follow.
    for (int tick = 0; tick < 200; ++tick) {
        ASSERT_FALSE(desktop_->isIconic(bob));
        if (tick % 3 == 1) {
            ASSERT_EQ(desktop_->windowTitle(bob), "Webcam for bob");
        }
        if (tick % 3 == 2) {
            ASSERT_TRUE(desktop_->isIconic(eve));
        }
        ASSERT_TRUE(sameRect(rectOf(*desktop_, bob), bobAlone)) << tick;
    }

    // A minimised window: restoring it drops what was asked ahead, the rectangle is read afresh.
    EXPECT_TRUE(desktop_->isIconic(eve));
    EXPECT_TRUE(desktop_->restoreWindow(eve));
    EXPECT_TRUE(desktop_->keepOnTop(eve));
    Rect eveRect{0, 0, 0, 0};
    EXPECT_TRUE(desktop_->windowRect(eve, eveRect));
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    ASSERT_TRUE(server_->clientGeometry(eve, x, y, width, height));
    EXPECT_LT(eveRect.left, x);
    EXPECT_LT(eveRect.top, y);
    EXPECT_GT(eveRect.right, x + width - 1);
    EXPECT_GT(eveRect.bottom, y + height - 1);

    // A window that has gone: every answer of the next tick is a failure, the rectangle is left alone.
    // (The answers are the server's as of the first question: a window that closes while the three are
    // on their way is found gone by the grab or the next tick, as one closing just after them is.)
    fixture.stop();
    EXPECT_FALSE(desktop_->isIconic(bob));
    EXPECT_FALSE(desktop_->keepOnTop(bob));
    Rect untouched{1, 2, 3, 4};
    EXPECT_FALSE(desktop_->windowRect(bob, untouched));
    EXPECT_TRUE(sameRect(untouched, Rect{1, 2, 3, 4}));
    EXPECT_FALSE(desktop_->isIconic(bob));
    EXPECT_FALSE(desktop_->windowRect(bob, untouched));
}

// The same pixels, and a picture with pixels at all.
bool samePicture(const Picture& a, const Picture& b) {
    if (a.isNull() || b.isNull() || a.width() <= 0 || a.height() <= 0 || a.width() != b.width() ||
        a.height() != b.height()) {
        return false;
    }
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (rgbAt(a, x, y) != rgbAt(b, x, y)) {
                return false;
            }
        }
    }
    return true;
}

TEST_F(TickQuestionsTest, GrabsAfterTheQuestionsAskedAheadShowWhatAGrabAskedAloneShows) {
    FixtureProcess fixture(
        {"x=100 y=100 w=368 h=385 title=Webcam for bob", "x=520 y=100 w=368 h=385 title=Webcam for eve"});
    ASSERT_EQ(fixture.windows().size(), 2u);
    const WindowHandle bob = fixture.windows()[0];
    const WindowHandle eve = fixture.windows()[1];
    // The video area of a large viewer, counted from the outer rectangle.
    const auto grab = [&](WindowHandle window) {
        bool notRepainted = false;
        Picture picture = desktop_->grabWindow(window, 25, 50, 320, 240, &notRepainted);
        EXPECT_FALSE(notRepainted);
        return picture;
    };
    // Asked alone: each grab asks its own questions.
    const Picture bobAlone = grab(bob);
    const Picture eveAlone = grab(eve);
    ASSERT_FALSE(bobAlone.isNull());
    ASSERT_FALSE(eveAlone.isNull());

    // The tick's orders, each with the window the grab then reads; every grab must show what a grab
    // asked alone showed, whichever window the grabber followed before.
    Rect rect{0, 0, 0, 0};
    struct Order {
        const char* what;
        std::function<void()> questions;
        WindowHandle grabbed;
    };
    const std::vector<Order> orders = {
        {"the whole tick",
         [&] {
             (void)desktop_->isIconic(bob);
             (void)desktop_->keepOnTop(bob);
             (void)desktop_->windowRect(bob, rect);
         },
         bob},
        {"without keeping on top",
         [&] {
             (void)desktop_->isIconic(bob);
             (void)desktop_->windowRect(bob, rect);
         },
         bob},
        {"straight after the first question", [&] { (void)desktop_->isIconic(bob); }, bob},
        {"another question in between",
         [&] {
             (void)desktop_->isIconic(bob);
             (void)desktop_->windowTitle(eve);
             (void)desktop_->windowRect(bob, rect);
         },
         bob},
        {"the other window grabbed after the questions",
         [&] {
             (void)desktop_->isIconic(bob);
             (void)desktop_->windowRect(bob, rect);
         },
         eve},
        {"the other window's whole tick",
         [&] {
             (void)desktop_->isIconic(eve);
             (void)desktop_->keepOnTop(eve);
             (void)desktop_->windowRect(eve, rect);
         },
         eve},
    };
    for (int round = 0; round < 20; ++round) {
        for (const Order& order : orders) {
            SCOPED_TRACE(std::string(order.what) + ", round " + std::to_string(round));
            order.questions();
            ASSERT_TRUE(samePicture(grab(order.grabbed), order.grabbed == bob ? bobAlone : eveAlone));
        }
    }
    // The replies given up have not disturbed the answers that follow them.
    EXPECT_EQ(desktop_->windowTitle(bob), "Webcam for bob");
    EXPECT_TRUE(samePicture(grab(bob), bobAlone));

    // A window that has gone: the grab after the questions gives no picture, and fails no later grab.
    fixture.stop();
    EXPECT_FALSE(desktop_->isIconic(bob));
    EXPECT_FALSE(desktop_->windowRect(bob, rect));
    EXPECT_TRUE(grab(bob).isNull());
    EXPECT_FALSE(desktop_->isIconic(eve));
    EXPECT_TRUE(grab(eve).isNull());
}

}  // namespace
}  // namespace skorva::testing
