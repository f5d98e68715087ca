// A recording from end to end on a real X server: the viewer fixture's window is listed, recorded once a
// tick into numbered JPEG frames that decode to the picture it shows, restored when minimised, and a
// recording whose window closes stops with a message.

#include <gmock/gmock.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <utility>

#include "tests/app_x11/recording_fixture.h"
#include "tests/fakes/process_figures.h"
#include "tests/fakes/scripted_dialogs.h"
#include "tests/x11/fixture/fixture_picture.h"

namespace skorva::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A viewer whose video area is 320 x 240 with openbox's frame: outer 370 x 410, so "Large".
constexpr const char* kBob = "x=100 y=100 w=368 h=385 title=Webcam for bob";

TEST_F(RecordingTest, RecordsTheListedViewerIntoNumberedFramesOfItsVideoArea) {
    FixtureProcess fixture({kBob, "x=600 y=100 w=200 h=150 title=Chat with bob"});
    ASSERT_EQ(fixture.windows().size(), 2u);
    ASSERT_TRUE(listed(fixture.windows()));
    const WindowHandle bob = fixture.windows()[0];
    load();
    form->Command1_Click();
    ASSERT_EQ(form->List1->count(), 1);
    EXPECT_EQ(form->List1->item(0)->text(), "Webcam for bob");
    EXPECT_EQ(form->List1->item(0)->data(Qt::UserRole).value<WindowHandle>(), bob);

    startRecording("Webcam for bob");
    for (int tick = 0; tick < 3; ++tick) {
        form->Timer1_Timer();
    }
    EXPECT_TRUE(messages->messages.empty()) << messages->messages.front().text;
    // Three frames and nothing else: no temporary file is left behind.
    EXPECT_THAT(filesInRecording(), ElementsAre("bob0000000.jpg", "bob0000001.jpg", "bob0000002.jpg"));
    EXPECT_EQ(form->Text1->text(), "2");
    EXPECT_EQ(form->recording.frameCounter, 3);
    EXPECT_EQ(form->Label5->text(), "Large");
    EXPECT_TRUE(server->hasNetWmState(bob, "_NET_WM_STATE_ABOVE"));

    const ExpectedGrab grab = expectedGrab(bob);
    ASSERT_EQ(grab.width, 320);
    ASSERT_EQ(grab.height, 240);
    const double reference = referencePsnr(grab, fixture::seedOf(0));
    ASSERT_GT(reference, 20.0);
    for (const char* name : {"bob0000000.jpg", "bob0000002.jpg"}) {
        SCOPED_TRACE(name);
        const DecodedFrame frame = decodeJpeg(folder / name);
        ASSERT_EQ(frame.width, 320);
        ASSERT_EQ(frame.height, 240);
        // The video area itself, upright, as close to the picture as quality 70 allows; any shift of the
        // grab by a pixel or two matches clearly worse.
        const double aligned = psnrAgainstFixture(frame, grab, fixture::seedOf(0));
        EXPECT_GT(aligned, reference - 0.5);
        for (int dy = -2; dy <= 2; ++dy) {
            for (int dx = -2; dx <= 2; ++dx) {
                if (dx != 0 || dy != 0) {
                    EXPECT_LT(psnrAgainstFixture(frame, grab, fixture::seedOf(0), dx, dy), aligned - 3.0)
                        << "shifted by " << dx << ", " << dy;
                }
            }
        }
    }
    // The previews hold the last grab.
    EXPECT_EQ(form->Image1->picture().width(), 320);
    EXPECT_EQ(form->Image1->picture(), form->Picture1->picture());
}

// "Keep webcam window on top" lasts as long as the recording: however the recording ends, a viewer it put
// on top is put back, and one that its user keeps on top stays so.
TEST_F(RecordingTest, AViewerKeptOnTopIsPutBackAsItWasWhenTheRecordingEnds) {
    FixtureProcess fixture({kBob, "x=500 y=100 w=368 h=385 title=Webcam for eve"});
    ASSERT_EQ(fixture.windows().size(), 2u);
    ASSERT_TRUE(listed(fixture.windows()));
    const WindowHandle bob = fixture.windows()[0];
    const WindowHandle eve = fixture.windows()[1];
    xcb_client_message_event_t above{};
    above.response_type = XCB_CLIENT_MESSAGE;
    above.format = 32;
    above.window = eve;
    above.type = server->atom("_NET_WM_STATE");
    above.data.data32[0] = 1;  // add
    above.data.data32[1] = server->atom("_NET_WM_STATE_ABOVE");
    xcb_send_event(server->get(), 0, server->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&above));
    xcb_flush(server->get());
    ASSERT_TRUE(eventually([&] { return server->hasNetWmState(eve, "_NET_WM_STATE_ABOVE"); }));

    const std::pair<const char*, std::function<void()>> ends[] = {
        {"Stop", [this] { form->btstop_Click(); }},
        {"Pause", [this] { form->pause_Click(); }},
        // As main() ends: the window first, then the desktop.
        {"the program ends",
         [this] {
             form.reset();
             installed.reset();
             desktop.reset();
         }},
    };
    for (const auto& [name, end] : ends) {
        SCOPED_TRACE(name);
        load();
        startRecording("Webcam for bob");
        form->Timer1_Timer();
        form->List1->setCurrentItem(form->List1->findItems("Webcam for eve", Qt::MatchExactly).front());
        form->Timer1_Timer();
        EXPECT_THAT(messages->messages, ::testing::IsEmpty());
        ASSERT_TRUE(server->hasNetWmState(bob, "_NET_WM_STATE_ABOVE"));
        end();
        EXPECT_FALSE(server->hasNetWmState(bob, "_NET_WM_STATE_ABOVE"));
        EXPECT_TRUE(server->hasNetWmState(eve, "_NET_WM_STATE_ABOVE"));
    }
}

TEST_F(RecordingTest, MinimisedViewerIsRestoredByTheTickAndRecorded) {
    FixtureProcess fixture({"x=600 y=100 w=368 h=385 iconic title=Webcam for eve"});
    ASSERT_EQ(fixture.windows().size(), 1u);
    const WindowHandle eve = fixture.windows()[0];
    ASSERT_TRUE(listed(fixture.windows()));
    ASSERT_TRUE(eventually([&] { return desktop->isIconic(eve); }));
    load();
    startRecording("Webcam for eve");
    form->Timer1_Timer();

    EXPECT_TRUE(messages->messages.empty());
    EXPECT_FALSE(desktop->isIconic(eve));
    EXPECT_FALSE(server->hasNetWmState(eve, "_NET_WM_STATE_HIDDEN"));
    EXPECT_THAT(filesInRecording(), ElementsAre("eve0000000.jpg"));
    // The frame shows the window's own picture, not what lay on the screen while it was minimised.
    const DecodedFrame frame = decodeJpeg(folder / "eve0000000.jpg");
    ASSERT_EQ(frame.width, 320);
    const ExpectedGrab grab = expectedGrab(eve);
    EXPECT_GT(psnrAgainstFixture(frame, grab, fixture::seedOf(0)),
              referencePsnr(grab, fixture::seedOf(0)) - 0.5);
}

TEST_F(RecordingTest, ClosedViewerStopsTheNextTickWithAMessage) {
    FixtureProcess fixture({kBob});
    ASSERT_EQ(fixture.windows().size(), 1u);
    ASSERT_TRUE(listed(fixture.windows()));
    load();
    startRecording("Webcam for bob");
    form->Timer1->setEnabled(true);
    form->Timer1_Timer();
    ASSERT_THAT(filesInRecording(), ElementsAre("bob0000000.jpg"));
    ASSERT_TRUE(messages->messages.empty());

    fixture.stop();
    form->Timer1_Timer();
    ASSERT_EQ(messages->messages.size(), 1u);
    EXPECT_THAT(messages->messages[0].text, HasSubstr("\"Webcam for bob\""));
    EXPECT_THAT(messages->messages[0].text, HasSubstr("seems to be closed"));
    // Stopped as by Pause: the frame is not counted, nothing is written, Start is offered again.
    EXPECT_FALSE(form->Timer1->ticking());
    EXPECT_EQ(buttons(), "1001");
    EXPECT_EQ(form->recording.frameCounter, 1);
    EXPECT_EQ(form->Text1->text(), "0");
    EXPECT_EQ(form->Label5->text(), "Small");
    EXPECT_THAT(filesInRecording(), ElementsAre("bob0000000.jpg"));
}

TEST_F(RecordingTest, AViewerOfThirtyThousandPixelsASideEndsTheRecordingInTheMemoryOfAFullScreenOne) {
    FixtureProcess fixture({kBob});
    ASSERT_EQ(fixture.windows().size(), 1u);
    const WindowHandle bob = fixture.windows()[0];
    ASSERT_TRUE(listed(fixture.windows()));
    // Any client may resize the viewer; the window manager lets it. The recording keeps the viewer's
    // pixels in a pixmap of the server's, as a compositing manager does: the server takes seconds to make
    // one of 30000 x 30000, on a busy machine a minute, so the test waits for the server's word that the
    // viewer has its new size, however long that takes.
    const std::uint32_t structure[] = {XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_change_window_attributes(server->get(), bob, XCB_CW_EVENT_MASK, structure);
    const auto resize = [&](int width, int height) {
        const std::uint32_t size[] = {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
        xcb_configure_window(server->get(), bob, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
        xcb_flush(server->get());
        while (xcb_generic_event_t* event = xcb_wait_for_event(server->get())) {
            const std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> held(event, &std::free);
            const auto* configured = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
            if ((event->response_type & 0x7F) == XCB_CONFIGURE_NOTIFY && configured->window == bob &&
                configured->width == width && configured->height == height) {
                return true;
            }
        }
        return false;
    };
    load();
    startRecording("Webcam for bob");

    // The reference: a viewer as large as the screen.
    ASSERT_TRUE(resize(server->width(), server->height()));
    resetPeakResident();
    form->Timer1_Timer();
    form->Timer1_Timer();
    const long fullScreen = peakResidentKib();
    ASSERT_TRUE(messages->messages.empty()) << messages->messages.front().text;

    ASSERT_TRUE(resize(30000, 30000));
    resetPeakResident();
    form->Timer1_Timer();
    const long refused = peakResidentKib();
    std::cout << "peak resident KiB: full screen " << fullScreen << ", 30000 x 30000 refused " << refused
              << "\n";
    EXPECT_LE(refused, 2 * fullScreen);
    ASSERT_EQ(messages->messages.size(), 1u);
    EXPECT_THAT(messages->messages[0].text, HasSubstr("\"Webcam for bob\""));
    EXPECT_THAT(messages->messages[0].text, HasSubstr("30002 x 30025 pixels"));
    EXPECT_EQ(buttons(), "1001");
    EXPECT_FALSE(form->Timer1->ticking());
    EXPECT_EQ(filesInRecording().size(), 2u);
}

TEST_F(RecordingTest, TheRecordingKeepsItsFolderWhileTheFolderChooserIsOpen) {
    FixtureProcess fixture({kBob});
    ASSERT_EQ(fixture.windows().size(), 1u);
    ASSERT_TRUE(listed(fixture.windows()));
    load();
    startRecording("Webcam for bob");
    form->Timer1_Timer();
    // The chooser's dialog runs its own event loop: a tick comes while it is open, with the path box empty.
    const std::filesystem::path other = output / "other";
    std::filesystem::create_directory(other);
    ScriptedFolderBrowser browser;
    browser.script = {other.string()};
    browser.whileOpen = [&] {
        EXPECT_EQ(form->txtPath->text(), "");
        form->Timer1_Timer();
    };
    form->opendir_Click();
    EXPECT_EQ(form->txtPath->text().toStdString(), other.string());
    form->Timer1_Timer();
    EXPECT_TRUE(messages->messages.empty()) << messages->messages.front().text;
    EXPECT_THAT(filesInRecording(), ElementsAre("bob0000000.jpg", "bob0000001.jpg", "bob0000002.jpg"));

    // The next Start records where the chooser pointed.
    form->btstop_Click();
    form->Start_Click();
    EXPECT_TRUE(std::filesystem::is_directory(other / form->recording.recordingFolder));
}

}  // namespace
}  // namespace skorva::testing
