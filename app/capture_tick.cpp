// One tick of a recording: bring the viewer window into view, grab its video picture, show it and store
// it as the next numbered frame.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "app/capture_geometry.h"
#include "app/form1.h"
#include "app/keep_on_top.h"
#include "app/recording_names.h"
#include "core/types.h"
#include "imaging/capture_window.h"
#include "imaging/dib_section.h"
#include "imaging/picture_files.h"
#include "imaging/save_jpg.h"
#include "platform/services.h"

namespace skorva {
namespace {

constexpr std::int32_t kJpegQuality = 70;
// Frame numbers have seven digits.
constexpr std::int32_t kLastFrameNumber = 9'999'999;

// While a tick runs, every message box stops the capture timer before it opens, so that no tick's box
// is ever stacked on another (a modal box keeps the timer's events coming).
class TimerStoppingMessages final : public MessageBoxes {
  public:
    TimerStoppingMessages(VbTimer& timer, MessageBoxes& shown) : timer_(timer), shown_(shown) {}
    void show(const std::string& text, MessageIcon icon) override {
        timer_.setEnabled(false);
        shown_.show(text, icon);
    }

  private:
    VbTimer& timer_;
    MessageBoxes& shown_;
};

std::string describeWindow(const std::string& entryText, WindowHandle window) {
    char handle[16];
    std::snprintf(handle, sizeof handle, "0x%x", window);
    std::string text = "\"";
    text += shortenedForBox(entryText);
    return text + "\" (" + handle + ")";
}

std::string sizeText(std::int64_t width, std::int64_t height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace

void Form1::Timer1_Timer() {
    TimerStoppingMessages stopping(*Timer1, *services().messages);
    ScopedServices scope(Services{.messages = &stopping});

    std::string entryText;
    WindowHandle window = 0;
    if (!selectedEntryOrHalt(entryText, window)) {
        return;
    }
    if (frameCounter > kLastFrameNumber) {
        stopAtLastFrameNumber();
        return;
    }

    Desktop& desktop = *services().desktop;
    if (desktop.isIconic(window)) {
        desktop.restoreWindow(window);
    }
    if (windowtop->isChecked()) {
        KeepOnTop(window);
    }
    Rect outer{0, 0, 0, 0};
    (void)desktop.windowRect(window, outer);
    const SizeClass sizeClass = sizeClassOf(outer);
    Label5->setText(
        QString::fromUtf8(sizeClass.caption.data(), static_cast<qsizetype>(sizeClass.caption.size())));
    const GrabRect grab = grabRectOf(outer, sizeClass);
    const std::string windowSize =
        sizeText(std::int64_t{outer.right} - outer.left, std::int64_t{outer.bottom} - outer.top);
    if (grab.width > kMovieFrameSideLimit || grab.height > kMovieFrameSideLimit) {
        MsgBox("The webcam window " + describeWindow(entryText, window) + " is " + windowSize +
                   " pixels: its frames of " + sizeText(grab.width, grab.height) +
                   " pixels would be larger than a movie can hold (" + std::to_string(kMovieFrameSideLimit) +
                   " pixels a side). The recording stops.",
               MessageIcon::Exclamation);
        pause_Click();
        return;
    }
    // Memory for a frame may still run out; that ends the recording too, never the program.
    try {
        storeFrame(entryText, window, grab);
    } catch (const std::bad_alloc&) {
        MsgBox("There is not enough memory for a frame of the webcam window " +
                   describeWindow(entryText, window) + " (" + windowSize + " pixels). The recording stops.",
               MessageIcon::Exclamation);
        pause_Click();
    } catch (const std::exception& error) {
        MsgBox("A frame of the webcam window " + describeWindow(entryText, window) + " (" + windowSize +
                   " pixels) could not be made: " + error.what() + ". The recording stops.",
               MessageIcon::Exclamation);
        pause_Click();
    }
}

void Form1::storeFrame(const std::string& entryText, WindowHandle window, const GrabRect& grab) {
    const Picture picture = CaptureWindow(0, grab.left, grab.top, grab.width, grab.height);
    if (picture.isEmpty()) {
        MsgBox("The webcam window " + describeWindow(entryText, window) +
                   " gave no picture: it seems to be closed or too small. The recording stops.",
               MessageIcon::Exclamation);
        pause_Click();
        return;
    }

    const std::string basePath =
        frameBasePath(recording_.outputFolder(), recordingFolder, entryText, frameCounter);
    const Status bmpSaved = cbbmp->isChecked() ? SavePicture(picture, basePath + ".bmp") : Status();
    if (!bmpSaved) {
        MsgBox("Failed to save the frame " + shortenedForBox(basePath + ".bmp") + ": " + bmpSaved.text() +
                   ". The recording stops.",
               MessageIcon::Exclamation);
        pause_Click();
        return;
    }

    Picture1->setPicture(picture);
    Image1->setPicture(picture);

    if (cbjpg->isChecked()) {
        cDIBSection section;
        section.CreateFromPicture(Image1->picture());
        // The writer replaces an existing frame of this name only with a complete new file.
        // The preview is painted on this core while the frame is encoded on the other.
        if (!SaveJPG(section, basePath + ".jpg", kJpegQuality, [this] { Image1->repaint(); })) {
            pause_Click();
            return;
        }
    }
    Text1->setText(QString::number(frameCounter));
    ++frameCounter;
    if (frameCounter > kLastFrameNumber) {
        stopAtLastFrameNumber();
    }
}

void Form1::stopAtLastFrameNumber() {
    MsgBox("The recording has reached frame " + frameNumberText(kLastFrameNumber) +
               ", the last frame number, and stops here. Reset starts the numbering at 0000000 again.",
           MessageIcon::Information);
    pause_Click();
}

}  // namespace skorva
