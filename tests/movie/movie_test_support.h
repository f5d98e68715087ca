#pragma once
// Helpers for the movie tests: JPEG frames with known content, a view that stands in for the main
// window, a scripted codec dialog, and a reader that demuxes and decodes a movie with FFmpeg.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/picture.h"
#include "movie/avi_writer_view.h"
#include "movie/folder_frame_list.h"
#include "platform/services.h"
#include "platform/termination.h"
#include "tests/fakes/message_recorder.h"
#include "tests/fakes/scratch_folder.h"
#include "tests/fakes/scripted_dialogs.h"
#include "tests/fakes/shell.h"

#include "platform/avi/avifile.h"

namespace skorva::testing {

// Writes a JPEG (quality 70 unless told) whose content varies smoothly with the seed.
void writeJpeg(const std::string& path, int width, int height, int seed, int quality = 70);
// Top-down rows of 3 bytes per pixel, blue first: what the movie must show.
std::vector<std::uint8_t> bgrRows(const Picture& picture);
// The rows a JPEG file's frame must show in a movie.
std::vector<std::uint8_t> expectedFrame(const std::string& jpeg);
// The frame checksums FFmpeg gives for what it decodes from `input`, in order.
std::vector<std::string> frameChecksums(const std::string& input);

// The window's frame list, with every selection recorded and, where a test wants it, its own order.
class FakeFrameList final : public FolderFrameList {
  public:
    void setListIndex(std::int32_t index) override {
        FolderFrameList::setListIndex(index);
        selections.push_back(index);
    }
    std::string fileName() const override;

    std::vector<std::int32_t> selections;
    // The entries as this permutation of the folder's name order; empty: name order.
    std::vector<std::size_t> order;
};

class FakeWriterView final : public AviWriterView {
  public:
    explicit FakeWriterView(std::string folder, std::string frameRate = "3")
        : folder_(std::move(folder)), frameRate_(std::move(frameRate)) {}
    std::string outputFolder() override { return folder_; }
    std::string frameRateText() override { return frameRate_; }
    FrameListControl& frameList() override { return list; }
    void showPicture(const Picture& picture) override {
        shown_ = picture;
        ++shownCount;
        if (onShow) {
            onShow(shownCount, shown_);
        }
    }
    Picture shownPicture() override { return shown_; }
    WindowHandle ownerHandle() override { return 0x2A; }
    void writingFrame(std::int32_t index, std::int32_t count) override {
        progress.emplace_back(index, count);
        if (onFrame) {
            onFrame(index);
        }
    }
    // As the main window does: Cancel (here `cancelled`), SIGINT or SIGTERM ends the write.
    bool stopRequested() override { return cancelled || terminationRequested(); }

    FakeFrameList list;
    int shownCount = 0;
    // Every (index, count) the writer announced, in order.
    std::vector<std::pair<std::int32_t, std::int32_t>> progress;
    // Called as the writer announces each frame; may set `cancelled`, as the user's Cancel would.
    std::function<void(std::int32_t index)> onFrame;
    bool cancelled = false;
    // Called with every picture shown, counted from 1 (the first frame is shown once more for the format);
    // may change what the preview holds, as a control that converts pictures would.
    std::function<void(int shownCount, Picture& preview)> onShow;

  private:
    std::string folder_;
    std::string frameRate_;
    Picture shown_;
};

class ScriptedCodecChooser final : public CodecChooser {
  public:
    ScriptedCodecChooser() : scope_(Services{.codecChooser = this}) {}
    // Unset: the user cancels.
    std::optional<CompressOptions> answer;
    int calls = 0;
    WindowHandle owner = 0;
    std::uint32_t flags = 0;

    // What the last call offered, and its line on what was left out.
    std::vector<std::uint32_t> offered;
    std::string notOffered;

    bool choose(WindowHandle hwnd, std::uint32_t icmfFlags, const std::vector<OfferedCodec>& codecs,
                CompressOptions& options) override;
    bool choose(WindowHandle hwnd, std::uint32_t icmfFlags, const std::vector<OfferedCodec>& codecs,
                const std::string& notOfferedLine, CompressOptions& options) override;

  private:
    ScopedServices scope_;
};

// The user of one write: saves under `output` and picks the compressor `handler` with its quality and
// key-frame interval; every message box is recorded.
struct ScriptedUser {
    ScriptedUser(const std::string& output, std::uint32_t handler, std::uint32_t quality = 10000,
                 std::uint32_t keyFrameEvery = 0);
    MessageRecorder messages;
    ScriptedFileDialogs dialogs;
    ScriptedCodecChooser chooser;
};

struct DecodedMovie {
    bool opened = false;
    std::string codec;  // FFmpeg's decoder name
    std::uint32_t codecTag = 0;
    int width = 0;
    int height = 0;
    int rateNum = 0;  // the stream's frame rate
    int rateDen = 0;
    std::int64_t containerFrames = 0;               // what the header says
    std::vector<std::vector<std::uint8_t>> frames;  // top-down BGR rows, 3 bytes a pixel, no padding
    std::int64_t keyPackets = 0;
};

// Demuxes and decodes every frame. `keepFrames` false counts them without keeping the pixels.
DecodedMovie decodeMovie(const std::string& path, bool keepFrames = true);

// The video stream's header and format as the file holds them.
struct AviHeaders {
    bool found = false;
    std::uint32_t fccType = 0, fccHandler = 0, dwScale = 0, dwRate = 0, dwLength = 0,
                  dwSuggestedBufferSize = 0;
    std::int16_t rcLeft = 0, rcTop = 0, rcRight = 0, rcBottom = 0;
    std::int32_t biWidth = 0, biHeight = 0;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = 0, biSizeImage = 0;
};
AviHeaders readAviHeaders(const std::string& path);

// The save dialog's answer: the user chose `path`.
FileDialogAnswer savedAs(const std::string& path);

double psnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b);
std::uint32_t fourcc(const char (&code)[5]);

// One use of the AVI library for a test's lifetime.
struct LibraryUse {
    LibraryUse() { avi::AVIFileInit(); }
    ~LibraryUse() { avi::AVIFileExit(); }
};

// Every byte of a file; empty when it cannot be read.
std::vector<char> fileBytes(const std::string& path);
// Whether the file holds `text` anywhere.
bool fileContains(const std::string& path, const std::string& text);

// A forked child's end: its exit code (-1 when a signal ended it), what its body returned, and its peak
// resident memory.
struct ChildEnd {
    int exitCode = -1;
    std::string report;
    long peakKiB = 0;
};
// Runs `body` in a child process and waits for it. The body may call `ready()` once; the parent then calls
// `whenReady` with the child's id.
ChildEnd runInChild(const std::function<std::string(const std::function<void()>& ready)>& body,
                    const std::function<void(pid_t)>& whenReady = {});

// A 40-byte BITMAPINFOHEADER laid out field by field: width, height, one plane, the bit count.
std::vector<std::uint8_t> bitmapInfo(std::int32_t width, std::int32_t height, std::uint16_t bitCount);

}  // namespace skorva::testing
