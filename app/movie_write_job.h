#pragma once
// One "Write Avi" of the window, written on a thread of its own so that the window paints, takes Cancel and
// goes on recording meanwhile. The writer sees the window as it was at the click (the folder, the frame
// rate, the owner of its dialogs). What it shows, the frame list's moves and the frame at hand reach the
// window by queued signals, the latest of each: a frame written between two paints is not painted. Its
// messages and dialogs run on the window's thread, and the writer waits for them as it would in the window.

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/routed_services.h"
#include "app/window_calls.h"
#include "core/message_sink.h"
#include "core/types.h"
#include "movie/avi_writer_view.h"
#include "movie/folder_frame_list.h"

namespace skorva {

class MovieWriteJob final : public QObject, private AviWriterView {
    Q_OBJECT
  public:
    // The window's part in the write, taken at the click.
    struct Window {
        std::string folder;     // txtPath
        std::string frameRate;  // txtFPS
        WindowHandle owner = 0;
    };

    // What the write showed since the window last looked; unset members did not change.
    struct Progress {
        // The frame list as the writer built it: the folder, the pattern and the names.
        std::optional<std::vector<std::string>> listing;
        std::string folder;
        std::string pattern;
        std::optional<std::int32_t> listIndex;
        std::optional<Picture> picture;
        std::optional<std::pair<std::int32_t, std::int32_t>> frame;  // index, count
    };

    // `messages`: where the writer's messages are shown, on the window's thread.
    MovieWriteJob(Window window, MessageSink& messages);
    // Stops the write and waits for its end; the window's calls are no longer run meanwhile.
    ~MovieWriteJob() override;

    void start();
    // The write stops after the frame at hand and finishes the movie with the frames so far.
    void stop() { stop_ = true; }
    Progress takeProgress();

    // Runs on the writing thread before each frame: a test holds the write there.
    std::function<void(std::int32_t index)> beforeFrame;

  signals:
    // Emitted on the writing thread; queued to the window.
    void progressed();
    void finished();

  private:
    // The frame list on the writing thread, each change told to the window.
    class ReportedFrameList final : public FolderFrameList {
      public:
        explicit ReportedFrameList(MovieWriteJob& job) : job_(job) {}
        void setPath(const std::string& folder) override;
        void setListIndex(std::int32_t index) override;

      private:
        MovieWriteJob& job_;
    };

    void write();
    template <typename Change>
    void report(Change change);

    // What the writer uses of the window.
    std::string outputFolder() override { return window_.folder; }
    std::string frameRateText() override { return window_.frameRate; }
    FrameListControl& frameList() override { return list_; }
    void showPicture(const Picture& picture) override;
    Picture shownPicture() override { return shown_; }
    WindowHandle ownerHandle() override { return window_.owner; }
    void writingFrame(std::int32_t index, std::int32_t count) override;
    bool stopRequested() override;

    const Window window_;
    WindowCalls calls_;
    RoutedServices services_;
    RoutedMessages messages_;
    ReportedFrameList list_{*this};
    Picture shown_;
    std::atomic<bool> stop_{false};
    std::mutex progressMutex_;
    Progress progress_;
    bool progressPosted_ = false;
    std::thread thread_;
};

}  // namespace skorva
