// "skorva write-movie": the window's "Write Avi" on a folder, with the save and codec dialogs answered by
// the command's options.

#include <chrono>
#include <cstdio>
#include <utility>
#include <vector>

#include "app/cli_commands.h"
#include "app/cli_output.h"
#include "movie/avi_writer.h"
#include "movie/folder_frame_list.h"
#include "platform/path_names.h"
#include "platform/services.h"
#include "platform/termination.h"

namespace skorva {
namespace {

// The window as the writer sees it: the folder and the frame rate from the options, the frame at hand told
// on standard error.
class CommandLineWriterView final : public AviWriterView {
  public:
    explicit CommandLineWriterView(const WriteMovieOptions& options) : options_(options) {}
    std::string outputFolder() override { return options_.folder; }
    std::string frameRateText() override { return options_.frameRate; }
    FrameListControl& frameList() override { return list_; }
    void showPicture(const Picture& picture) override { shown_ = picture; }
    Picture shownPicture() override { return shown_; }
    WindowHandle ownerHandle() override { return 0; }
    void writingFrame(std::int32_t index, std::int32_t count) override {
        // Once a stop has come the writer ends before this frame: it is not told. A person reads a few lines
        // a second: the first frame, the last, and ten a second between them.
        const auto now = std::chrono::steady_clock::now();
        if (stopRequested() || (index > 0 && index + 1 < count && now - lastLine_ < kLineEvery)) {
            return;
        }
        lastLine_ = now;
        progressLine(stderr, "frame " + std::to_string(index + 1) + " of " + std::to_string(count));
    }
    bool stopRequested() override { return terminationRequested(); }

  private:
    static constexpr std::chrono::milliseconds kLineEvery{100};

    const WriteMovieOptions& options_;
    FolderFrameList list_;
    Picture shown_;
    std::chrono::steady_clock::time_point lastLine_;
};

// The save dialog, answered with the movie's name.
class NamedMovie final : public FileDialogs {
  public:
    explicit NamedMovie(std::string movie) : movie_(std::move(movie)) {}
    bool run(FileDialogKind, OpenFileName& record) override {
        record.file = movie_;
        record.fileTitle = movie_.substr(fileNameStart(movie_));
        return true;
    }

  private:
    std::string movie_;
};

// The codec dialog, answered with the options' compressor and settings.
class ChosenCodec final : public CodecChooser {
  public:
    explicit ChosenCodec(const WriteMovieOptions& options) : options_(options) {}
    bool choose(WindowHandle, std::uint32_t, const std::vector<OfferedCodec>&,
                CompressOptions& chosen) override {
        chosen.fccType = kStreamTypeVideo;
        chosen.fccHandler = options_.fourcc;
        chosen.quality = options_.quality;
        chosen.keyFrameEvery = options_.keyFrameEvery;
        chosen.bytesPerSecond = options_.bytesPerSecond;
        return true;
    }

  private:
    const WriteMovieOptions& options_;
};

}  // namespace

int writeMovie(const WriteMovieOptions& options) {
    NamedMovie saveDialog(options.movie);
    ChosenCodec codecDialog(options);
    StandardErrorSink messages;
    const ScopedServices installed(Services{.fileDialogs = &saveDialog, .codecChooser = &codecDialog});
    CommandLineWriterView view(options);
    aviwrite_Click(view, messages);
    endProgress();
    return messages.said() ? 1 : 0;
}

}  // namespace skorva
