// A recording from the screen while it changes size (a monitor added or removed, xrandr). Xvfb cannot
// change its size at run time; Xvnc can, so these tests run on a private Xvnc of their own, without a
// window manager and without Composite, so that the frames come from the screen.

#include <gmock/gmock.h>

#include <QCheckBox>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "tests/app_x11/recording_fixture.h"
#include "tests/x11/fixture/fixture_picture.h"

namespace skorva::testing {
namespace {

using ::testing::ElementsAre;

class ScreenSizeTest : public RecordingTest {
  protected:
    void SetUp() override {
        if (std::system("command -v Xvnc >/dev/null && command -v xrandr >/dev/null") != 0) {
            GTEST_SKIP() << "Xvnc or xrandr is not installed";
        }
        // Without Composite: the frames come from the screen, whose size is what this test is about.
        xvnc_.emplace(std::vector<std::string>{"Xvnc", "-geometry", "1280x1024", "-depth", "24",
                                               "-SecurityTypes", "None", "-rfbport", "-1", "-nolisten", "tcp",
                                               "-extension", "Composite"});
        ASSERT_TRUE(xvnc_->running()) << "Xvnc did not start";
        RecordingTest::SetUp();
    }

    void TearDown() override {
        RecordingTest::TearDown();
        xvnc_.reset();
    }

    static void xrandr(const std::string& arguments) {
        ASSERT_EQ(std::system(("xrandr " + arguments + " 2>&1").c_str()), 0) << arguments;
    }

    std::optional<PrivateServer> xvnc_;
};

// How many of the frame's pixels are black.
int blackPixels(const DecodedFrame& frame, int fromX, int toX) {
    int black = 0;
    for (int y = 0; y < frame.height; ++y) {
        for (int x = fromX; x < toX; ++x) {
            const std::uint32_t p = frame.at(x, y);
            black += ((p >> 16 & 0xFF) < 8 && (p >> 8 & 0xFF) < 8 && (p & 0xFF) < 8) ? 1 : 0;
        }
    }
    return black;
}

TEST_F(ScreenSizeTest, TheGrabFollowsTheScreenAsItGrowsAndShrinks) {
    // The video area runs from x 1175 to 1495: on a 1280 pixel wide screen its first 105 columns show.
    FixtureProcess fixture({"x=1150 y=100 w=370 h=410 title=Webcam for bob"});
    ASSERT_EQ(fixture.windows().size(), 1u);
    const WindowHandle bob = fixture.windows()[0];
    load();
    form->windowtop->setChecked(false);
    startRecording("Webcam for bob");
    const ExpectedGrab grab = expectedGrab(bob);
    ASSERT_EQ(grab.left, 1175);
    ASSERT_EQ(grab.width, 320);

    form->Timer1_Timer();
    // A monitor more: the window's right part comes onto the screen and is painted there.
    xrandr("--fb 1600x1200");
    ASSERT_TRUE(eventually([&] {
        const auto right = XServer::connect();
        return right && right->width() == 1600 &&
               right->rootPixels(1490, 200, 1, 1)[0] == fixture::pixel(1490 - 1150, 100, fixture::seedOf(0));
    }));
    form->Timer1_Timer();
    // A monitor less: the window is off the screen altogether.
    xrandr("-s 1024x768");
    form->Timer1_Timer();

    EXPECT_TRUE(messages->messages.empty()) << messages->messages.front().text;
    ASSERT_THAT(filesInRecording(), ElementsAre("bob0000000.jpg", "bob0000001.jpg", "bob0000002.jpg"));
    const DecodedFrame before = decodeJpeg(folder / "bob0000000.jpg");
    const DecodedFrame grown = decodeJpeg(folder / "bob0000001.jpg");
    const DecodedFrame shrunk = decodeJpeg(folder / "bob0000002.jpg");
    ASSERT_EQ(grown.width, 320);
    // Off the first screen the frame is black; on the grown screen the whole frame is the picture.
    EXPECT_GT(blackPixels(before, 110, 320), 210 * before.height * 9 / 10);
    EXPECT_EQ(blackPixels(grown, 110, 320), 0);
    EXPECT_GT(psnrAgainstFixture(grown, grab, fixture::seedOf(0)),
              referencePsnr(grab, fixture::seedOf(0)) - 0.5);
    EXPECT_EQ(blackPixels(shrunk, 0, 320), shrunk.width * shrunk.height);
}

}  // namespace
}  // namespace skorva::testing
