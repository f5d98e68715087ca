#include "recording/recording.h"

#include <ctime>
#include <exception>
#include <new>
#include <vector>

#include "core/types.h"
#include "imaging/capture_window.h"
#include "imaging/dib_section.h"
#include "imaging/picture_files.h"
#include "imaging/save_jpg.h"
#include "platform/local_time.h"
#include "platform/services.h"
#include "recording/capture_geometry.h"
#include "recording/keep_on_top.h"
#include "recording/recording_messages.h"
#include "recording/recording_names.h"

namespace skorva {
namespace {

constexpr std::int32_t kCaptureIntervalMs = 1000;
constexpr std::int32_t kJpegQuality = 70;
// Frame numbers have seven digits.
constexpr std::int32_t kLastFrameNumber = 9'999'999;

// The sink of one tick: the capture timer stops before a box opens.
class TimerStoppingSink final : public MessageSink {
  public:
    TimerStoppingSink(RecordingView& view, MessageSink& shown) : view_(view), shown_(shown) {}
    void show(const Message& message) override {
        view_.setTimerEnabled(false);
        shown_.show(message);
    }

  private:
    RecordingView& view_;
    MessageSink& shown_;
};

}  // namespace

Recording::Recording(RecordingView& view, MessageSink& messages) : view_(view), messages_(messages) {}

void Recording::start() {
    const std::optional<ViewerEntry> entry = selectedEntryOrHalt(messages_);
    if (!entry) {
        return;
    }
    // The folder is made before anything switches, so that a recording that cannot be stored never
    // starts: the timer and the buttons stay as they were.
    // The output folder is read here only: the ticks write where Start put them, whatever the path box
    // or the folder chooser show meanwhile.
    const std::string output = view_.outputFolder();
    const std::string wanted = recordingFolderName(entry->text, localTimeNow(), view_.localeNames());
    std::string reason;
    const std::string folderName = folder_.claim(output, wanted, reason);
    if (folderName.empty()) {
        messages_.show(folderNotMade(output, wanted, reason));
        return;
    }
    view_.setTimerInterval(kCaptureIntervalMs);
    view_.setTimerEnabled(true);
    view_.setStartEnabled(false);
    view_.setStopEnabled(true);
    view_.setResetEnabled(true);
    recordingFolder = folderName;
}

void Recording::stop() {
    releaseViewers();
    view_.setTimerEnabled(false);
    view_.setStopEnabled(false);
    view_.setStartEnabled(true);
}

void Recording::reset() {
    frameCounter = 0;
}

std::optional<ViewerEntry> Recording::selectedEntryOrHalt(MessageSink& messages) {
    std::optional<ViewerEntry> entry = view_.selectedEntry();
    if (!entry) {
        messages.show(noWebcamChosen());
        view_.setTimerEnabled(false);
        releaseViewers();
    }
    return entry;
}

void Recording::releaseViewers() {
    // The viewers are left as they were before the recording: their pixels no longer kept aside, and
    // "always on top" only where it was so before.
    Desktop& desktop = *services().desktop;
    desktop.endWindowGrabs();
    desktop.endKeepOnTop();
}

void Recording::stopWith(const Message& message, MessageSink& messages) {
    messages.show(message);
    stop();
}

void Recording::tick() {
    TimerStoppingSink messages(view_, messages_);
    const std::optional<ViewerEntry> entry = selectedEntryOrHalt(messages);
    if (!entry) {
        return;
    }
    if (frameCounter > kLastFrameNumber) {
        stopWith(lastFrameNumberReached(kLastFrameNumber), messages);
        return;
    }

    Desktop& desktop = *services().desktop;
    if (desktop.isIconic(entry->window)) {
        desktop.restoreWindow(entry->window);
    }
    if (view_.keepWindowOnTop()) {
        KeepOnTop(entry->window);
    }
    Rect outer{0, 0, 0, 0};
    (void)desktop.windowRect(entry->window, outer);
    const SizeClass sizeClass = sizeClassOf(outer);
    view_.setSizeClassCaption(sizeClass.caption);
    const GrabRect grab = grabRectOf(outer, sizeClass);
    if (grab.width > kMovieFrameSideLimit || grab.height > kMovieFrameSideLimit) {
        stopWith(frameTooLarge(entry->text, entry->window, outer, grab), messages);
        return;
    }
    // Memory for a frame may still run out; that ends the recording too, never the program.
    try {
        storeFrame(*entry, outer, grab, messages);
    } catch (const std::bad_alloc&) {
        stopWith(noMemoryForFrame(entry->text, entry->window, outer), messages);
    } catch (const std::exception& error) {
        stopWith(frameNotMade(entry->text, entry->window, outer, error.what()), messages);
    }
}

void Recording::storeFrame(const ViewerEntry& entry, const Rect& outer, const GrabRect& grab,
                           MessageSink& messages) {
    std::vector<Message> raised;
    bool notRepainted = false;
    // From the viewer's own pixels where the desktop can read them: a window that covers it, or the edge
    // of the screen, is then not recorded.
    const Picture picture = CaptureWindow(entry.window, grab.left - outer.left, grab.top - outer.top,
                                          grab.width, grab.height, raised, &notRepainted);
    for (const Message& message : raised) {
        messages.show(message);
    }
    if (notRepainted) {
        // Left out rather than stored with parts the viewer has not painted; the desktop has said so in
        // the log, and the next tick tries again. Nothing is stored or counted.
        return;
    }
    if (picture.isEmpty()) {
        stopWith(noPicture(entry.text, entry.window), messages);
        return;
    }

    const std::string basePath =
        frameBasePath(folder_.outputFolder(), recordingFolder, entry.text, frameCounter);
    if (view_.saveAsBmp()) {
        if (const Status saved = SavePicture(picture, basePath + ".bmp"); !saved) {
            stopWith(bitmapNotSaved(basePath + ".bmp", saved.text()), messages);
            return;
        }
    }

    view_.showFrame(picture);

    if (view_.saveAsJpg()) {
        // The picture grabbed, not the preview's: during a movie's write the preview shows the movie.
        cDIBSection section;
        section.CreateFromPicture(picture);
        // The writer replaces an existing frame of this name only with a complete new file.
        // The preview is painted on this core while the frame is encoded on the other.
        const Status saved = view_.hasPreview() ? SaveJPG(section, basePath + ".jpg", kJpegQuality,
                                                          [this] { view_.paintPreview(); })
                                                : SaveJPG(section, basePath + ".jpg", kJpegQuality);
        if (!saved) {
            stopWith(saved.message(), messages);
            return;
        }
    }
    view_.setFrameCountText(std::to_string(frameCounter));
    ++frameCounter;
    if (frameCounter > kLastFrameNumber) {
        stopWith(lastFrameNumberReached(kLastFrameNumber), messages);
    }
}

}  // namespace skorva
