// A recording while the screen changes size (a monitor added or removed, xrandr). Xvfb cannot change
// its size at run time; Xvnc can, so these tests run on a private Xvnc of their own, without a window
// manager.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QCheckBox>

#include <cstdlib>
#include <optional>
#include <string>

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
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        xvnc_ = ::fork();
        ASSERT_GE(xvnc_, 0);
        if (xvnc_ == 0) {
            ::close(fds[0]);
            // Its banner and its log are of no use here.
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, 1);
            ::dup2(quiet, 2);
            const std::string fd = std::to_string(fds[1]);
            ::execlp("Xvnc", "Xvnc", "-displayfd", fd.c_str(), "-geometry", "1280x1024", "-depth", "24",
                     "-SecurityTypes", "None", "-rfbport", "-1", "-nolisten", "tcp",
                     static_cast<char*>(nullptr));
            _exit(127);
        }
        ::close(fds[1]);
        std::string number;
        char c;
        while (::read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        ::close(fds[0]);
        ASSERT_FALSE(number.empty()) << "Xvnc did not start";
        if (const char* old = std::getenv("DISPLAY")) {
            oldDisplay_ = old;
        }
        ::setenv("DISPLAY", (":" + number).c_str(), 1);
        RecordingTest::SetUp();
    }

    void TearDown() override {
        RecordingTest::TearDown();
        if (oldDisplay_) {
            ::setenv("DISPLAY", oldDisplay_->c_str(), 1);
        }
        if (xvnc_ > 0) {
            ::kill(xvnc_, SIGTERM);
            ::waitpid(xvnc_, nullptr, 0);
        }
    }

    static void xrandr(const std::string& arguments) {
        ASSERT_EQ(std::system(("xrandr " + arguments + " 2>&1").c_str()), 0) << arguments;
    }

    pid_t xvnc_ = -1;
    std::optional<std::string> oldDisplay_;
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
