// "skorva list" and "skorva record": the window's list and its recording, without the window.

#include <chrono>
#include <cstdio>
#include <optional>
#include <string_view>

#include "app/cli_commands.h"
#include "app/cli_output.h"
#include "app/system_locale.h"
#include "platform/services.h"
#include "platform/termination.h"
#include "recording/discovery.h"
#include "recording/recording.h"
#include "recording/recording_messages.h"
#include "recording/tick_schedule.h"

namespace skorva {
namespace {

// A title on one line: whatever another program put in it, a control character never breaks the list.
std::string oneLine(std::string_view title) {
    std::string line(title);
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = ' ';
        }
    }
    return line;
}

// The window as the recording sees it: the chosen viewer selected, the options as the check boxes, and the
// frames told on standard output instead of shown.
class CommandLineRecordingView final : public RecordingView {
  public:
    CommandLineRecordingView(ViewerEntry entry, const RecordOptions& options)
        : entry_(std::move(entry)), options_(options) {}

    std::optional<ViewerEntry> selectedEntry() override { return entry_; }
    std::string outputFolder() override { return options_.outputFolder; }
    bool saveAsJpg() override { return options_.jpg; }
    bool saveAsBmp() override { return options_.bmp; }
    bool keepWindowOnTop() override { return options_.keepOnTop; }
    void showFrame(const Picture&) override {}
    void paintPreview() override {}
    bool hasPreview() override { return false; }
    void setFrameCountText(const std::string& text) override {
        ++stored_;
        progressLine(stdout, "frame " + text);
    }
    void setSizeClassCaption(std::string_view) override {}
    void setTimerInterval(std::int32_t) override {}
    void setTimerEnabled(bool enabled) override { timerEnabled_ = enabled; }
    void setStartEnabled(bool) override {}
    void setStopEnabled(bool) override {}
    void setResetEnabled(bool) override {}
    LocaleNames localeNames() override { return systemLocaleNames(); }

    bool timerEnabled() const { return timerEnabled_; }
    std::int64_t stored() const { return stored_; }

  private:
    ViewerEntry entry_;
    const RecordOptions& options_;
    bool timerEnabled_ = false;
    std::int64_t stored_ = 0;
};

std::optional<ViewerEntry> chosenViewer(const RecordOptions& options) {
    for (const ViewerEntry& entry : findViewerWindows()) {
        if ((options.title && entry.text.find(*options.title) != std::string::npos) ||
            (options.windowId && entry.window == *options.windowId)) {
            return entry;
        }
    }
    return std::nullopt;
}

}  // namespace

int listViewers() {
    const std::unique_ptr<Desktop> desktop = connectDesktop();
    if (!desktop) {
        return 1;
    }
    const ScopedServices installed(Services{.desktop = desktop.get()});
    for (const ViewerEntry& entry : findViewerWindows()) {
        std::printf("0x%08x\t%s\n", entry.window, oneLine(entry.text).c_str());
    }
    return 0;
}

int recordViewer(const RecordOptions& options) {
    const std::unique_ptr<Desktop> desktop = connectDesktop();
    if (!desktop) {
        return 1;
    }
    const ScopedServices installed(Services{.desktop = desktop.get()});
    const std::optional<ViewerEntry> entry = chosenViewer(options);
    if (!entry) {
        char id[16] = {};
        std::snprintf(id, sizeof id, "0x%08x", options.windowId.value_or(0));
        sayError(options.title ? "no webcam window's title holds \"" + oneLine(*options.title) + "\""
                               : "window " + std::string(id) + " is not a webcam window of the list");
        return 1;
    }
    CommandLineRecordingView view(*entry, options);
    StandardErrorSink messages;
    Recording recording(view, messages);
    recording.start();
    if (!view.timerEnabled()) {
        return 1;
    }
    std::printf("%s/%s\n", options.outputFolder.c_str(), recording.recordingFolder.c_str());
    std::fflush(stdout);
    using Clock = std::chrono::steady_clock;
    const Clock::time_point begun = Clock::now();
    // The first tick sets up what the recording needs of the viewer (its own pixels, keeping it on top)
    // and may wait for the viewer to repaint: the others keep time from its end.
    std::optional<TickSchedule> schedule;
    for (;;) {
        recording.tick();
        // The recording stops itself, with its message, when a frame cannot be had or stored.
        if (!view.timerEnabled()) {
            return 1;
        }
        if ((options.frames && view.stored() >= *options.frames) || terminationRequested()) {
            break;
        }
        const Clock::time_point now = Clock::now();
        if (!schedule) {
            schedule.emplace(now, std::chrono::milliseconds(options.intervalMs));
        }
        const Clock::time_point next = schedule->next(now);
        if (options.durationMs && next - begun >= std::chrono::milliseconds(*options.durationMs)) {
            break;
        }
        waitForTermination(next);
        if (terminationRequested()) {
            break;
        }
    }
    recording.stop();
    endProgress();
    if (schedule && schedule->skipped() > 0) {
        messages.note(leftOutLateFrames(schedule->skipped()));
    }
    return 0;
}

}  // namespace skorva
