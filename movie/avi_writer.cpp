#include "movie/avi_writer.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>
#include <exception>
#include <filesystem>
#include <future>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <system_error>
#include <utility>
#include <vector>

#include "dialogs/cfile_dlg.h"
#include "imaging/picture_files.h"
#include "movie/cdib.h"
#include "movie/frame_resample.h"
#include "movie/jpeg_frame_copy.h"
#include "movie/movie_name.h"
#include "platform/avi/avifile.h"
#include "platform/avi/codecs.h"
#include "platform/avi/container.h"
#include "platform/file_list.h"
#include "platform/message_box.h"

namespace skorva {
namespace {

using namespace avi;

constexpr const char* kPattern = "*.jpg";
constexpr const char* kTemporaryName = "tmp.bmp";
constexpr const char* kLineBreak = "\r\n";

// A decoded frame and, made beside it, the bytes of its temporary bitmap.
struct PreparedFrame {
    Picture picture;
    std::string failure;  // why the picture is null
    std::vector<std::uint8_t> bitmap;
    bool bitmapReady = false;
};

// Never throws: a frame that cannot be had, for want of memory too, comes back without a picture.
PreparedFrame prepareFrame(const std::string& path, std::vector<std::uint8_t> buffer,
                           PixelBufferPool& pixels) noexcept {
    PreparedFrame frame;
    frame.bitmap = std::move(buffer);
    try {
        frame.picture = LoadPicture(path, &frame.failure, &pixels);
        frame.bitmapReady = !frame.picture.isEmpty() && BitmapFileBytes(frame.picture, frame.bitmap).ok();
    } catch (const std::bad_alloc&) {
        frame.picture = Picture();
        frame.failure = "Not enough memory";
    }
    return frame;
}

// Decodes the next frames and lays out their bitmap files on the other cores while the current one is
// shown, saved, read back and written. Decoding is the larger part of a frame's work, so two frames are
// under way at once. The names are a snapshot of the folder taken with the list; a frame whose name the
// list does not confirm is prepared on the spot instead. Three frames at most are held, and their buffers
// are handed round, whatever the number of frames.
class FrameDecoder {
  public:
    static constexpr std::size_t kAhead = 2;

    FrameDecoder(std::string folder, std::vector<std::string> names)
        : folder_(std::move(folder)), names_(std::move(names)) {}
    FrameDecoder(const FrameDecoder&) = delete;
    FrameDecoder& operator=(const FrameDecoder&) = delete;
    ~FrameDecoder() {
        for (Pending& each : pending_) {
            if (each.frame.valid()) {
                each.frame.wait();
            }
        }
    }

    // Valid until the next call.
    const PreparedFrame& take(std::int32_t index, const std::string& framePath) {
        if (index == lastIndex_ && framePath == lastPath_) {
            return last_;
        }
        PreparedFrame frame;
        if (!pending_.empty() && pending_.front().index == index && pending_.front().path == framePath) {
            frame = pending_.front().frame.get();
            pending_.pop_front();
        } else {
            // Off the expected road: what was decoded ahead is of no use.
            for (Pending& each : pending_) {
                spares_.push_back(each.frame.get().bitmap);
            }
            pending_.clear();
            frame = prepareFrame(framePath, takeSpare(), pixels_);
        }
        spares_.push_back(std::move(last_.bitmap));
        last_ = std::move(frame);
        lastIndex_ = index;
        lastPath_ = framePath;
        // The first frame is taken for the movie's format before the codec is known: frames are decoded
        // ahead only once the loop runs, since the copying entry decodes none.
        const std::int32_t next = pending_.empty() ? index + 1 : pending_.back().index + 1;
        for (std::int32_t ahead = next; index > 0 && pending_.size() < kAhead; ++ahead) {
            if (!start(ahead)) {
                break;
            }
        }
        return last_;
    }

    // The bytes of the frame at hand's bitmap file, given up: taken again, the frame is laid out anew.
    std::vector<std::uint8_t> releaseBitmap() {
        last_.bitmapReady = false;
        return std::exchange(last_.bitmap, {});
    }

    std::string pathOf(const std::string& name) const { return folder_ + "/" + name; }
    // Every frame's path, as the folder was listed.
    std::vector<std::string> paths() const {
        std::vector<std::string> all;
        all.reserve(names_.size());
        for (const std::string& name : names_) {
            all.push_back(pathOf(name));
        }
        return all;
    }

  private:
    struct Pending {
        std::int32_t index;
        std::string path;
        std::future<PreparedFrame> frame;
    };

    std::vector<std::uint8_t> takeSpare() {
        if (spares_.empty()) {
            return {};
        }
        std::vector<std::uint8_t> spare = std::move(spares_.back());
        spares_.pop_back();
        return spare;
    }

    bool start(std::int32_t index) {
        if (index < 0 || static_cast<std::size_t>(index) >= names_.size()) {
            return false;
        }
        std::string path = pathOf(names_[static_cast<std::size_t>(index)]);
        std::future<PreparedFrame> frame;
        try {
            frame = std::async(std::launch::async, [this, path, buffer = takeSpare()]() mutable {
                return prepareFrame(path, std::move(buffer), pixels_);
            });
        } catch (const std::system_error&) {
            // No thread to be had: the frame is prepared when it is needed instead.
            return false;
        }
        pending_.push_back(Pending{index, std::move(path), std::move(frame)});
        return true;
    }

    std::string folder_;
    std::vector<std::string> names_;
    // The decoded pictures' memory: those under way, the one at hand and the preview's.
    PixelBufferPool pixels_{kAhead + 2};
    std::deque<Pending> pending_;
    std::vector<std::vector<std::uint8_t>> spares_;
    std::int32_t lastIndex_ = -1;
    std::string lastPath_;
    PreparedFrame last_;
};

// One write, from the save dialog's answer to the closing sequence.
class AviWrite {
  public:
    // `frames`: the folder's frame names as listed once the movie's name was chosen.
    AviWrite(AviWriterView& view, MessageSink& messages, std::string outputPath, Container container,
             std::vector<std::string> frames)
        : view_(view),
          messages_(messages),
          list_(view.frameList()),
          folder_(view.outputFolder()),
          temporaryPath_(folder_ + "/" + kTemporaryName),
          outputPath_(std::move(outputPath)),
          container_(container),
          decoder_(folder_, std::move(frames)) {}

    void run() {
        // Nothing may leave the click; the movie is still closed after a failed write.
        guarded([this] { writeMovie(); });
        guarded([this] { close(); });
    }

  private:
    void writeMovie() {
        // The library takes the container from the name's extension unless another was chosen.
        const bool named = containerOfExtension(outputPath_) == container_;
        lastResult_ = AVIFileOpen(&file_, outputPath_, OF_WRITE | OF_CREATE, named ? nullptr : &container_);
        if (lastResult_ != AVIERR_OK) {
            say("Can't open File to write, try to use different name to save.");
            return;
        }
        // A compressor that holds frames back hands them all over at the close, which can take a while.
        AVIFileSetSampleCallback(file_, [this] { view_.sampleWritten(); });
        if (!convertFrame(0, true)) {
            say("Could not load first bitmap file in list!", MessageIcon::Exclamation);
            return;
        }
        firstSizeImage_ = dib_.SizeImage();
        view_.stepDone();

        AVISTREAMINFO header;
        header.fccType = mmioStringToFOURCC("vids", 0);
        header.fccHandler = 0;
        header.dwScale = 1;
        header.dwRate = static_cast<std::uint32_t>(frameRateFromText(view_.frameRateText()));
        header.dwSuggestedBufferSize = static_cast<std::uint32_t>(dib_.SizeImage());
        header.rcFrame = Rect{0, 0, dib_.Width(), dib_.Height()};
        lastResult_ = AVIFileCreateStream(file_, &source_, &header);
        if (lastResult_ != AVIERR_OK) {
            say("Error in Creating  Avi file Stream");
            return;
        }

        AVICOMPRESSOPTIONS options;
        AVICOMPRESSOPTIONS* optionsList[1] = {&options};
        lastResult_ = AVISaveOptions(view_.ownerHandle(), icmf::kChooseKeyFrame | icmf::kChooseDataRate, 1,
                                     &source_, optionsList);
        if (lastResult_ != 1) {
            AVISaveOptionsFree(1, optionsList);
            say("Error in getting Avi Save options");
            return;
        }
        lastResult_ = AVIMakeCompressedStream(&compressed_, source_, &options, nullptr);
        if (lastResult_ != AVIERR_OK) {
            say("Error in making Compressed Avi, Try with uncompressed avi");
            return;
        }
        view_.stepDone();
        lastResult_ = AVIStreamSetFormat(compressed_, 0, dib_.PointerToBitmapInfo(), dib_.SizeBitmapInfo());
        if (lastResult_ != AVIERR_OK) {
            say("Error setting Avi stream format");
            return;
        }
        if (copiesJpegFiles(options.fccHandler)) {
            copy_ = std::make_unique<JpegFrameCopy>(width_, height_, decoder_.paths());
            // The first frame is on show since the movie took its format from it: not decoded again.
            copy_->previewShown();
        }

        const std::int32_t count = list_.listCount();
        frameCount_ = count;
        for (std::int32_t i = 0; i < count; ++i) {
            view_.writingFrame(i, count);
            // Cancelled, or the program is being closed: the movie ends here, finished and playable.
            if (i > 0 && view_.stopRequested()) {
                stoppedAfter_ = i;
                return;
            }
            // A frame that cannot be converted ends the write; the frames before it stay a playable movie.
            const std::optional<Sample> sample = nextSample(i, count);
            if (!sample) {
                return;
            }
            lastResult_ = AVIStreamWrite(compressed_, i, 1, sample->bytes, sample->size, AVIIF_KEYFRAME,
                                         nullptr, nullptr);
            if (lastResult_ != AVIERR_OK) {
                say("Error writing Avi stream");
                return;
            }
        }
    }

    void say(std::string text, MessageIcon icon = MessageIcon::None) {
        messages_.show({std::move(text), icon});
    }

    template <typename Step>
    void guarded(Step step) {
        try {
            step();
        } catch (const std::bad_alloc&) {
            say("Not enough memory to go on writing the movie.", MessageIcon::Critical);
        } catch (const std::exception& error) {
            say(error.what(), MessageIcon::Critical);
        }
    }

    struct Sample {
        const void* bytes;
        std::int32_t size;
    };

    // What frame `index` of `count` gives the stream: the recorded JPEG itself for the copying entry,
    // else the pixels of its temporary bitmap.
    std::optional<Sample> nextSample(std::int32_t index, std::int32_t count) {
        if (!copy_) {
            if (!convertFrame(index, false)) {
                return std::nullopt;
            }
            return Sample{dib_.PointerToBits(), dib_.SizeImage()};
        }
        list_.setListIndex(index);
        const std::string framePath = decoder_.pathOf(list_.fileName());
        if (const Status taken = copy_->take(framePath); !taken) {
            say("Could not decode frame:" + std::string(kLineBreak) + framePath + kLineBreak + taken.text(),
                MessageIcon::Exclamation);
            return std::nullopt;
        }
        if (copy_->previewDue(index == count - 1)) {
            if (const Picture shown = copy_->picture(); !shown.isEmpty()) {
                view_.showPicture(shown);
            }
        }
        const std::span<const std::uint8_t> sample = copy_->sample();
        return Sample{sample.data(), static_cast<std::int32_t>(sample.size())};
    }

    // Selects entry `index`, decodes it into the preview, saves the preview as the temporary bitmap and
    // reads that back into the frame model.
    bool convertFrame(std::int32_t index, bool first) {
        list_.setListIndex(index);
        const std::string framePath = decoder_.pathOf(list_.fileName());
        const PreparedFrame& frame = decoder_.take(index, framePath);
        view_.stepDone();
        Picture picture = frame.picture;
        if (picture.isEmpty()) {
            say("Could not decode frame:" + std::string(kLineBreak) + framePath +
                    (frame.failure.empty() ? std::string() : kLineBreak + frame.failure),
                MessageIcon::Exclamation);
            return false;
        }
        if (first) {
            width_ = picture.width();
            height_ = picture.height();
        } else if (picture.width() != width_ || picture.height() != height_) {
            picture = resampled(picture, width_, height_);
            if (picture.isEmpty()) {
                say("Could not resize frame:" + std::string(kLineBreak) + framePath,
                    MessageIcon::Exclamation);
                return false;
            }
        }
        view_.showPicture(picture);
        // The prepared bytes are the preview's own picture when it holds the decoded frame unchanged.
        const Picture shown = view_.shownPicture();
        const Status saved = shown == frame.picture && frame.bitmapReady
                                 ? WriteFileInPlace(temporaryPath_, frame.bitmap)
                                 : SavePictureInPlace(shown, temporaryPath_);
        if (!saved) {
            say("Could not save the temporary bitmap:" + std::string(kLineBreak) + temporaryPath_ +
                    std::string(kLineBreak) + saved.text(),
                MessageIcon::Exclamation);
            return false;
        }
        view_.stepDone();
        if (first) {
            // No earlier frame left memory to read the first one back into: its own written bytes serve.
            dib_.ReusePixelMemory(decoder_.releaseBitmap());
        }
        if (const Status read = dib_.CreateFromFile(temporaryPath_); !read) {
            messages_.show(read.message());
            // What was wrong with the temporary file is told; for the first frame the caller says more.
            if (!first) {
                say("Could not read back the temporary bitmap:" + std::string(kLineBreak) + temporaryPath_,
                    MessageIcon::Exclamation);
            }
            return false;
        }
        if (!first && dib_.SizeImage() != firstSizeImage_) {
            say("Frame does not match the movie's format:" + std::string(kLineBreak) + framePath,
                MessageIcon::Exclamation);
            return false;
        }
        return true;
    }

    void close() {
        if (source_ != 0) {
            AVIStreamRelease(source_);
        }
        if (compressed_ != 0) {
            AVIStreamRelease(compressed_);
        }
        MovieFileEnd end;
        if (file_ != 0) {
            end = AVIFileFinish(file_);
            AVIFileRelease(file_);
        }
        AVIFileExit();
        if (end.result != AVIERR_OK) {
            lastResult_ = end.result;
        }
        if (lastResult_ != AVIERR_OK) {
            std::string text = "There was an error writing the file.";
            if (!end.reason.empty()) {
                text += kLineBreak + end.reason + kLineBreak + whatIsLeft(end);
            }
            say(text, MessageIcon::Information);
        } else if (stoppedAfter_ > 0) {
            say("Writing was cancelled: the movie holds the first " + std::to_string(stoppedAfter_) + " of " +
                    std::to_string(frameCount_) + " frames." + kLineBreak + end.savedAs,
                MessageIcon::Information);
        }
    }

    // After a failed write: which frames the movie kept and where it is.
    std::string whatIsLeft(const MovieFileEnd& end) const {
        struct stat status {};
        const bool targetStands = ::lstat(outputPath_.c_str(), &status) == 0;
        const std::string unchanged = kLineBreak + outputPath_ + " is as it was.";
        if (end.savedAs.empty()) {
            // Only an AVI movie can be cut back to the frames written before the failure.
            const std::string why = container_ == Container::Avi
                                        ? std::string("No frame could be kept")
                                        : std::string(container_ == Container::Mp4 ? "An " : "A ") +
                                              containerName(container_) + " movie cannot be kept in part";
            return why + ", so no movie was saved." + (targetStands ? unchanged : "");
        }
        const std::string frames = "the first " + std::to_string(end.frames) + " of " +
                                   std::to_string(frameCount_) + (frameCount_ == 1 ? " frame" : " frames");
        if (end.savedAs == outputPath_) {
            return "The movie holds " + frames + ":" + kLineBreak + end.savedAs;
        }
        return "The movie of " + frames + " is kept as:" + kLineBreak + end.savedAs + unchanged;
    }

    AviWriterView& view_;
    MessageSink& messages_;
    FrameListControl& list_;
    const std::string folder_;
    const std::string temporaryPath_;
    const std::string outputPath_;
    const Container container_;
    FrameDecoder decoder_;
    cDib dib_;
    std::unique_ptr<JpegFrameCopy> copy_;  // set for the copying entry
    PAVIFILE file_ = 0;
    PAVISTREAM source_ = 0;
    PAVISTREAM compressed_ = 0;
    std::int32_t lastResult_ = AVIERR_OK;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::int32_t firstSizeImage_ = 0;
    std::int32_t frameCount_ = 0;
    std::int32_t stoppedAfter_ = 0;  // frames written when a stop was asked for; 0: not stopped
};

// True when `output` names the temporary bitmap or one of the frames of `folder`: the movie would take
// its place.
bool namesAnInput(const std::string& output, const std::string& folder,
                  const std::vector<std::string>& frames) {
    namespace fs = std::filesystem;
    const fs::path path(output);
    std::error_code outputError;
    std::error_code folderError;
    const fs::path parent =
        fs::weakly_canonical(path.has_parent_path() ? path.parent_path() : fs::path("."), outputError);
    const fs::path frameFolder =
        fs::weakly_canonical(folder.empty() ? fs::path(".") : fs::path(folder), folderError);
    if (outputError || folderError || parent != frameFolder) {
        return false;
    }
    const std::string name = path.filename().string();
    return name == kTemporaryName || std::find(frames.begin(), frames.end(), name) != frames.end();
}

}  // namespace

int frameRateFromText(const std::string& text) {
    // Blanks, tabs and line feeds count for nothing, wherever they stand.
    std::string number;
    for (const char c : text) {
        if (c != ' ' && c != '\t' && c != '\n') {
            number += c;
        }
    }
    // A sign, digits with at most one decimal point, then an exponent ("E" or "D") only where digits follow.
    std::string accepted;
    std::size_t i = 0;
    const auto digitAt = [&number](std::size_t at) {
        return at < number.size() && number[at] >= '0' && number[at] <= '9';
    };
    if (i < number.size() && (number[i] == '-' || number[i] == '+')) {
        if (number[i] == '-') {
            accepted += '-';
        }
        ++i;
    }
    bool digits = false;
    while (digitAt(i)) {
        accepted += number[i++];
        digits = true;
    }
    if (i < number.size() && number[i] == '.') {
        accepted += number[i++];
        while (digitAt(i)) {
            accepted += number[i++];
            digits = true;
        }
    }
    if (digits && i < number.size() && std::strchr("eEdD", number[i]) != nullptr) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < number.size() && (number[j] == '-' || number[j] == '+')) {
            exponent += number[j++];
        }
        if (digitAt(j)) {
            while (digitAt(j)) {
                exponent += number[j++];
            }
            accepted += exponent;
        }
    }
    double value = 0;
    if (digits) {
        // from_chars, unlike strtod, ignores the locale the toolkit may have set.
        const auto [end, error] = std::from_chars(accepted.data(), accepted.data() + accepted.size(), value);
        if (error == std::errc::result_out_of_range) {
            // Too small a magnitude is 0; too large is beyond either bound.
            const bool tiny = accepted.find("e-") != std::string::npos;
            value = tiny ? 0.0 : (accepted[0] == '-' ? -1.0 : 1e9);
        } else if (error != std::errc{}) {
            value = 0;
        }
    }
    const double rounded = std::nearbyint(value);  // the default rounding mode takes a half to even
    if (!(rounded >= 1)) {
        return 1;
    }
    return rounded > 30 ? 30 : static_cast<int>(rounded);
}

void aviwrite_Click(AviWriterView& view, MessageSink& messages) {
    const auto say = [&messages](std::string text, MessageIcon icon = MessageIcon::None) {
        messages.show({std::move(text), icon});
    };
    FrameListControl& list = view.frameList();
    list.setPattern(kPattern);
    list.setPath(view.outputFolder());
    if (list.listCount() <= 0) {
        say("No files to convert");
        return;
    }

    std::string outputPath = "MyAVI.avi";
    Container container = Container::Avi;
    {
        cFileDlg dialog;
        dialog.setDefaultExt("avi");
        dialog.setDlgTitle("Choose a filename to save AVI to...");
        dialog.setFilter(kMovieFilter);
        dialog.setOwnerHwnd(view.ownerHandle());
        std::string fileTitle;
        if (!dialog.VBGetSaveFileName(outputPath, fileTitle)) {
            return;
        }
        // The container follows the name's extension, else the file type chosen.
        container = movieContainer(outputPath, dialog.FilterIndex());
    }

    std::vector<std::string> frames = listMatchingFiles(view.outputFolder(), kPattern);
    // A day's recording is 86,400 names: listing them takes a tenth of a second.
    view.stepDone();
    if (namesAnInput(outputPath, view.outputFolder(), frames)) {
        say("The movie cannot be saved over a file it is made from:" + std::string(kLineBreak) + outputPath +
                kLineBreak + "Choose another name.",
            MessageIcon::Exclamation);
        return;
    }

    // The write's own use of the library, paired with the exit of its closing sequence.
    AVIFileInit();
    AviWrite(view, messages, outputPath, container, std::move(frames)).run();
}

}  // namespace skorva
