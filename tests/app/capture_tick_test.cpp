// The capture tick through the main window, over a fake desktop.

#include <gmock/gmock.h>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <functional>
#include <utility>
#include <vector>

#include "imaging/picture_files.h"
#include "recording/recording_names.h"
#include "tests/app/form1_fixture.h"

namespace skorva::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class CaptureTickTest : public Form1Test {
  protected:
    // Loads the window, selects entry `row` and starts a recording.
    void startRecording(int row = 0) {
        load();
        select(row);
        form->Start_Click();
        ASSERT_TRUE(form->Timer1->ticking());
        folder = output / form->recording.recordingFolder;
    }
    std::vector<std::string> framesInFolder() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path folder;
};

TEST_F(CaptureTickTest, FirstFramesAreNumberedJpegsOfTheVideoArea) {
    desktop.add("Webcam for bob", Rect{100, 100, 500, 450});
    startRecording();
    form->Timer1_Timer();
    form->Timer1_Timer();

    EXPECT_THAT(framesInFolder(), ElementsAre("bob0000000.jpg", "bob0000001.jpg"));
    EXPECT_EQ(form->Text1->text(), "1");
    EXPECT_EQ(form->recording.frameCounter, 2);
    EXPECT_EQ(form->Label5->text(), "Large");
    ASSERT_EQ(desktop.grabs.size(), 2u);
    EXPECT_EQ(desktop.grabs[0].left, 125);
    EXPECT_EQ(desktop.grabs[0].top, 150);
    EXPECT_EQ(desktop.grabs[0].width, 350);
    EXPECT_EQ(desktop.grabs[0].height, 180);
    EXPECT_TRUE(desktop.windows.begin()->second.onTop);

    // The frame is the grabbed picture.
    expectGrabOfScreen(folder / "bob0000000.jpg", 350, 180, 125, 150);
    // Both previews show the last frame.
    EXPECT_EQ(form->Image1->picture().width(), 350);
    EXPECT_EQ(form->Image1->picture(), form->Picture1->picture());
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(CaptureTickTest, SizeClassChangesBetween250And251PixelsWide) {
    const WindowHandle small = desktop.add("Webcam for small", Rect{10, 20, 260, 400});
    desktop.add("Webcam for large", Rect{10, 20, 261, 400});
    startRecording(0);
    form->Timer1_Timer();
    EXPECT_EQ(form->Label5->text(), "Small");
    select(1);
    form->Timer1_Timer();
    EXPECT_EQ(form->Label5->text(), "Large");
    ASSERT_EQ(desktop.grabs.size(), 2u);
    EXPECT_EQ(desktop.grabs[0].top, 64);
    EXPECT_EQ(desktop.grabs[0].width, 200);
    EXPECT_EQ(desktop.grabs[0].height, 380 - 164);
    EXPECT_EQ(desktop.grabs[1].top, 70);
    EXPECT_EQ(desktop.grabs[1].width, 201);
    EXPECT_EQ(desktop.grabs[1].height, 380 - 170);
    // A selection change switches the source window and the file-name prefix, not the folder.
    EXPECT_THAT(framesInFolder(), ElementsAre("large0000001.jpg", "small0000000.jpg"));
    (void)small;
}

TEST_F(CaptureTickTest, CheckBoxesChooseTheFilesAndTheCounterAlwaysAdvances) {
    desktop.add("Webcam for bob");
    startRecording();
    form->cbbmp->setChecked(true);
    form->Timer1_Timer();
    form->cbjpg->setChecked(false);
    form->Timer1_Timer();
    form->cbbmp->setChecked(false);
    form->Timer1_Timer();
    EXPECT_THAT(framesInFolder(), ElementsAre("bob0000000.bmp", "bob0000000.jpg", "bob0000001.bmp"));
    EXPECT_EQ(form->recording.frameCounter, 3);
    EXPECT_EQ(form->Text1->text(), "2");
    EXPECT_EQ(desktop.grabs.size(), 3u);
}

TEST_F(CaptureTickTest, ResetRewritesFrameZeroInTheSameFolder) {
    desktop.add("Webcam for bob");
    startRecording();
    form->cbbmp->setChecked(true);
    form->Timer1_Timer();
    form->Timer1_Timer();
    const auto firstSize = fs::file_size(folder / "bob0000000.jpg");
    desktop.screenPixel = [](std::int32_t, std::int32_t) { return 0x00FF0000u; };
    form->reset_Click();
    form->Timer1_Timer();
    EXPECT_THAT(framesInFolder(),
                ElementsAre("bob0000000.bmp", "bob0000000.jpg", "bob0000001.bmp", "bob0000001.jpg"));
    EXPECT_NE(fs::file_size(folder / "bob0000000.jpg"), firstSize);
    const Picture red = LoadPicture((folder / "bob0000000.jpg").string());
    ASSERT_FALSE(red.isEmpty());
    EXPECT_GT(red.row(10)[4 * 10 + 2], 240);
    EXPECT_EQ(form->recording.frameCounter, 1);
}

TEST_F(CaptureTickTest, MinimisedWindowIsRestoredAndTopmostOnlyWhenTicked) {
    const WindowHandle bob = desktop.add("Webcam for bob");
    desktop.windows[bob].iconic = true;
    startRecording();
    form->windowtop->setChecked(false);
    form->Timer1_Timer();
    EXPECT_THAT(desktop.restored, ElementsAre(bob));
    EXPECT_FALSE(desktop.windows[bob].onTop);
    form->Timer1_Timer();
    EXPECT_EQ(desktop.restored.size(), 1u);  // restored once, not every tick
}

TEST_F(CaptureTickTest, EveryEndOfARecordingPutsTheViewersItKeptOnTopBack) {
    const std::vector<std::pair<const char*, std::function<void(WindowHandle)>>> ends = {
        {"Stop", [this](WindowHandle) { form->btstop_Click(); }},
        {"Pause", [this](WindowHandle) { form->pause_Click(); }},
        {"closed viewer",
         [this](WindowHandle viewer) {
             desktop.close(viewer);
             form->Timer1_Timer();
         }},
        {"no selection",
         [this](WindowHandle) {
             form->List1->setCurrentRow(-1);
             form->Timer1_Timer();
         }},
    };
    for (const auto& [name, end] : ends) {
        SCOPED_TRACE(name);
        for (const WindowHandle window : std::vector<WindowHandle>(desktop.order)) {
            desktop.close(window);
        }
        const WindowHandle bob = desktop.add("Webcam for bob");
        const WindowHandle eve = desktop.add("Webcam for eve");
        const WindowHandle carl = desktop.add("Webcam for carl");
        // Eve's viewer is kept on top by its user already.
        desktop.windows[eve].onTop = true;
        startRecording(0);
        for (const int row : {0, 1, 2}) {
            select(row);
            form->Timer1_Timer();
        }
        ASSERT_TRUE(desktop.windows[bob].onTop && desktop.windows[carl].onTop);
        end(carl);
        EXPECT_FALSE(desktop.windows[bob].onTop);
        EXPECT_TRUE(desktop.windows[eve].onTop);
        EXPECT_FALSE(desktop.windows.contains(carl) && desktop.windows[carl].onTop);
        form.reset();
        messages.messages.clear();
    }
}

// The recording's sink, which sees whether the capture timer was stopped before each box; the boxes go
// on to the recorder.
class TimerCheckingSink final : public MessageSink {
  public:
    TimerCheckingSink(MessageRecorder& recorder, const std::unique_ptr<Form1>& form)
        : recorder_(recorder), form_(form) {}
    void show(const Message& message) override {
        timerWasStopped.push_back(!form_->Timer1->ticking());
        recorder_.show(message);
    }
    std::vector<bool> timerWasStopped;

  private:
    MessageRecorder& recorder_;
    const std::unique_ptr<Form1>& form_;
};

TEST_F(CaptureTickTest, AClosedViewerWindowStopsTheRecordingWithoutCountingTheFrame) {
    const WindowHandle bob = desktop.add("Webcam for bob");
    TimerCheckingSink checking(messages, form);
    sink = &checking;
    startRecording();
    form->Timer1_Timer();
    desktop.close(bob);
    form->Timer1_Timer();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_THAT(messages.messages[0].text, HasSubstr("\"Webcam for bob\""));
    EXPECT_THAT(messages.messages[0].text, HasSubstr("closed"));
    EXPECT_THAT(checking.timerWasStopped, ElementsAre(true));
    EXPECT_EQ(buttons(), "1001");  // stopped as by Pause
    EXPECT_EQ(form->recording.frameCounter, 1);
    EXPECT_EQ(form->Label5->text(), "Small");  // the failed query left 0, 0, 0, 0
    EXPECT_THAT(framesInFolder(), ElementsAre("bob0000000.jpg"));
}

TEST_F(CaptureTickTest, AnErrorRaisedByTheGrabIsShownBeforeTheTicksOwnBox) {
    desktop.add("Webcam for bob");
    TimerCheckingSink checking(messages, form);
    sink = &checking;
    startRecording();
    desktop.grabError = PlatformError(9, "BadDrawable (invalid Pixmap or Window parameter)");
    form->Timer1_Timer();
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_EQ(messages.messages[0].text, "CaptureWindow9BadDrawable (invalid Pixmap or Window parameter)");
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::None);
    EXPECT_THAT(messages.messages[1].text, HasSubstr("gave no picture"));
    EXPECT_EQ(messages.messages[1].icon, MessageIcon::Exclamation);
    EXPECT_THAT(checking.timerWasStopped, ElementsAre(true, true));
    EXPECT_EQ(buttons(), "1001");
    EXPECT_EQ(form->recording.frameCounter, 0);
    EXPECT_TRUE(framesInFolder().empty());
}

TEST_F(CaptureTickTest, AFrameThatCannotBeWrittenStopsTheRecordingAndNamesTheFile) {
    desktop.add("Webcam for bob");
    TimerCheckingSink checking(messages, form);
    sink = &checking;
    startRecording();
    form->cbbmp->setChecked(true);
    fs::remove_all(folder);  // the folder vanished under the recording
    form->Timer1_Timer();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_THAT(messages.messages[0].text, HasSubstr((folder / "bob0000000.bmp").string()));
    EXPECT_EQ(buttons(), "1001");
    EXPECT_EQ(form->recording.frameCounter, 0);

    // JPEG only: the writer's own warning, then the recording stops.
    form->Start_Click();
    form->cbbmp->setChecked(false);
    fs::remove_all(output / form->recording.recordingFolder);
    form->Timer1_Timer();
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_EQ(messages.messages[1].text,
              "Failed to save to JPG, seems webcam window is closed or no space left. Reason: No such file "
              "or directory.");
    EXPECT_EQ(messages.messages[1].icon, MessageIcon::Exclamation);
    EXPECT_EQ(buttons(), "1001");
    EXPECT_EQ(form->recording.frameCounter, 0);
    EXPECT_EQ(form->Text1->text(), "");
    EXPECT_THAT(checking.timerWasStopped, ElementsAre(true, true));
}

TEST_F(CaptureTickTest, TheLastSevenDigitFrameEndsTheRecording) {
    desktop.add("Webcam for bob");
    startRecording();
    form->recording.frameCounter = 9'999'999;
    form->Timer1_Timer();
    EXPECT_THAT(framesInFolder(), ElementsAre("bob9999999.jpg"));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_THAT(messages.messages[0].text, HasSubstr("9999999"));
    EXPECT_EQ(buttons(), "1001");

    // Starting again without Reset writes nothing more.
    form->Start_Click();
    form->Timer1_Timer();
    EXPECT_EQ(messages.messages.size(), 2u);
    EXPECT_EQ(buttons(), "1001");
    EXPECT_EQ(desktop.grabs.size(), 1u);
    form->reset_Click();
    form->Start_Click();
    form->Timer1_Timer();
    EXPECT_EQ(form->recording.frameCounter, 1);
}

TEST_F(CaptureTickTest, AWindowTooLargeForAMovieEndsTheRecordingBeforeItIsGrabbed) {
    // Frames of 16384 pixels a side are the most a movie holds; the grab is 50 narrower than the window.
    struct Case {
        Rect outer;
        bool refused;
        const char* size;
    };
    for (const Case& c :
         {Case{{0, 0, 16434, 300}, false, ""},
          Case{{0, 0, 16435, 300}, true, "16435 x 300 pixels: its frames of 16385 x 130"},
          Case{{-5, -5, 29995, 29995}, true, "30000 x 30000 pixels: its frames of 29950 x 29830"}}) {
        SCOPED_TRACE(c.size);
        desktop.windows.clear();
        desktop.order.clear();
        desktop.grabs.clear();
        messages.messages.clear();
        desktop.add("Webcam for bob", c.outer);
        startRecording();
        form->Timer1_Timer();
        if (!c.refused) {
            EXPECT_TRUE(messages.messages.empty());
            EXPECT_EQ(desktop.grabs.size(), 1u);
            continue;
        }
        EXPECT_TRUE(desktop.grabs.empty());
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_THAT(messages.messages[0].text, HasSubstr("\"Webcam for bob\""));
        EXPECT_THAT(messages.messages[0].text, HasSubstr(c.size));
        EXPECT_EQ(buttons(), "1001");
        EXPECT_FALSE(form->Timer1->ticking());
    }
}

TEST_F(CaptureTickTest, ABoxShowsAtMostTwoHundredCharactersOfATitle) {
    // A title too long for a folder name: Start says so in a box of a few lines.
    desktop.add("Webcam for " + std::string(100000, 'b'));
    load();
    select(0);
    form->Start_Click();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_THAT(messages.messages[0].text, HasSubstr("File name too long"));
    EXPECT_LT(messages.messages[0].text.size(), 400u);

    // A recording whose window closes: the tick's box quotes the title's first 199 characters and "…".
    messages.messages.clear();
    const WindowHandle window = desktop.add("Webcam for " + std::string(200, 'b') + "\xc3\xa4");
    form->Command1_Click();
    select(1);
    form->Start_Click();
    ASSERT_TRUE(form->Timer1->ticking());
    desktop.close(window);
    form->Timer1_Timer();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_THAT(messages.messages[0].text,
                HasSubstr("\"Webcam for " + std::string(188, 'b') + "\xe2\x80\xa6\""));
    // 200 characters are shown whole, a multi-byte last character included.
    EXPECT_EQ(shortenedForBox(std::string(199, 'x') + "\xc3\xa4"), std::string(199, 'x') + "\xc3\xa4");
    EXPECT_EQ(shortenedForBox(std::string(200, 'x') + "\xc3\xa4"), std::string(199, 'x') + "\xe2\x80\xa6");
}

}  // namespace
}  // namespace skorva::testing
