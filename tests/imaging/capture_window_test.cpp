#include "imaging/capture_window.h"

#include <gtest/gtest.h>

#include <new>

#include "imaging/raised_error.h"
#include "tests/fakes/fake_desktop.h"
#include "tests/fakes/message_recorder.h"

namespace skorva {
namespace {

std::uint32_t pixelAt(const Picture& picture, int x, int y) {
    const std::uint8_t* p = picture.row(y) + 4 * x;
    return static_cast<std::uint32_t>(p[2] << 16 | p[1] << 8 | p[0]);
}

TEST(CaptureWindow, GrabsTheRectangleOfTheScreenOrOfAWindow) {
    testing::FakeDesktop desktop;
    testing::MessageRecorder messages;
    std::vector<Message> raised;

    const Picture screen = CaptureWindow(0, 125, 150, 350, 180, raised);
    ASSERT_EQ(screen.width(), 350);
    ASSERT_EQ(screen.height(), 180);
    EXPECT_EQ(pixelAt(screen, 0, 0), testing::patternPixel(125, 150));
    EXPECT_EQ(pixelAt(screen, 349, 179), testing::patternPixel(474, 329));
    EXPECT_EQ(screen.useCount(), 1);  // the caller holds the only reference

    // With a window the coordinates count from its outer top-left corner.
    const WindowHandle viewer = desktop.add("Webcam for bob", {100, 100, 500, 450});
    const Picture inWindow = CaptureWindow(viewer, 25, 50, 10, 10, raised);
    ASSERT_EQ(desktop.grabs.size(), 2u);
    EXPECT_EQ(desktop.grabs[1].left, 125);
    EXPECT_EQ(desktop.grabs[1].top, 150);
    EXPECT_EQ(pixelAt(inWindow, 3, 4), testing::patternPixel(128, 154));

    // A window that is gone has nothing to grab from.
    desktop.close(viewer);
    EXPECT_TRUE(CaptureWindow(viewer, 25, 50, 10, 10, raised).isNull());
    EXPECT_EQ(desktop.grabs.size(), 2u);

    // What the tick asks for once the viewer is closed: a rectangle of negative size, an empty picture.
    EXPECT_TRUE(CaptureWindow(0, 25, 44, -50, -164, raised).isEmpty());
    EXPECT_TRUE(raised.empty());
    EXPECT_TRUE(messages.messages.empty());
}

TEST(CaptureWindow, AnErrorRaisedByTheGrabIsHandedBackAndTheRoutineGoesOn) {
    testing::FakeDesktop desktop;
    testing::MessageRecorder messages;
    desktop.grabError = PlatformError(9, "BadDrawable (invalid Pixmap or Window parameter)");

    std::vector<Message> raised;
    const Picture picture = CaptureWindow(0, 10, 20, 30, 40, raised);
    EXPECT_TRUE(picture.isNull());
    EXPECT_EQ(raised, (std::vector<Message>{{"CaptureWindow9BadDrawable (invalid Pixmap or Window parameter)",
                                             MessageIcon::None}}));
    // The caller shows it: the routine opens no box of its own.
    EXPECT_TRUE(messages.messages.empty());

    // Once the screen can be read again, so can the next frame.
    desktop.grabError.reset();
    raised.clear();
    EXPECT_EQ(CaptureWindow(0, 10, 20, 30, 40, raised).width(), 30);
    EXPECT_TRUE(raised.empty());
}

TEST(CaptureWindow, RaisedErrorsKeepTheirNumberAndDescription) {
    const auto message = [](auto error) {
        try {
            throw error;
        } catch (...) {
            return RaisedErrorMessage("Project1.Module1.CreateBitmapPicture").text;
        }
    };
    EXPECT_EQ(message(PlatformError(11, "BadAlloc")), "Project1.Module1.CreateBitmapPicture11BadAlloc");
    EXPECT_EQ(message(std::bad_alloc()), "Project1.Module1.CreateBitmapPicture7Out of memory");
    EXPECT_EQ(message(std::runtime_error("no display")), "Project1.Module1.CreateBitmapPicture5no display");
}

}  // namespace
}  // namespace skorva
