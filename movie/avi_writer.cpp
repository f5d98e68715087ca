#include "movie/avi_writer.h"

#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <system_error>
#include <utility>
#include <vector>

#include "core/pixel_buffer_pool.h"
#include "dialogs/cfile_dlg.h"
#include "imaging/picture_files.h"
#include "movie/cdib.h"
#include "movie/frame_file.h"
#include "movie/frame_rate.h"
#include "movie/frame_read_ahead.h"
#include "movie/frame_resample.h"
#include "movie/jpeg_frame_copy.h"
#include "movie/movie_name.h"
#include "movie/temporary_bitmap.h"
#include "platform/avi/avifile.h"
#include "platform/avi/codecs.h"
#include "platform/avi/container.h"
#include "platform/file_list.h"
#include "platform/message_box.h"

namespace skorva {
namespace {

using namespace avi;

constexpr const char* kPattern = "*.jpg";
constexpr const char* kLineBreak = "\r\n";

// Decodes a frame and lays out the bytes of its temporary bitmap beside it; with `cover`, a larger frame at
// the smallest scale that still covers the movie. A frame that cannot be had, for want of memory too, comes
// back without a picture and with the reason.
void decodeFrame(PreparedFrame& frame, PixelBufferPool& pixels, const std::optional<JpegSize>& cover) {
    std::string failure;
    try {
        frame.picture = LoadPicture(frame.path, &failure, &pixels, cover);
    } catch (const std::bad_alloc&) {
        frame.picture = Picture();
        failure = "Not enough memory";
    }
    if (frame.picture.isEmpty()) {
        frame.status = Status::failure(failure);
        frame.bytes.clear();
        return;
    }
    // Laid out when it is written instead, should this fail.
    if (!BitmapFileBytes(frame.picture, frame.bytes)) {
        frame.bytes.clear();
    }
}

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
          temporary_(folder_),
          outputPath_(std::move(outputPath)),
          container_(container),
          frames_(std::move(frames)) {}

    void run() {
        // Nothing may leave the write; the movie is still closed after a failed one, with what it holds.
        if (!guarded([this] { writeMovie(); }) && lastResult_ == AVIERR_OK) {
            lastResult_ = AVIERR_ERROR;
        }
        guarded([this] { close(); });
    }

  private:
    void writeMovie() {
        // The library takes the container from the name's extension unless another was chosen.
        const bool named = containerOfExtension(outputPath_) == container_;
        lastResult_ = AVIFileOpen(&file_, outputPath_, OF_WRITE | OF_CREATE, named ? nullptr : &container_);
        if (lastResult_ != AVIERR_OK) {
            // Found out before the first frame: why the name cannot be written to, in the system's words.
            const std::string reason = AVIFileOpenErrorText();
            say("Can't open File to write, try to use different name to save." +
                (reason.empty() ? std::string() : kLineBreak + outputPath_ + kLineBreak + reason));
            return;
        }
        if (!convertFrame(0, true)) {
            // A folder held by another write has been said; nothing of this one was read.
            if (!temporary_.inUse()) {
                say("Could not load first bitmap file in list!", MessageIcon::Exclamation);
            }
            return;
        }
        firstSizeImage_ = dib_.SizeImage();

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
        lastResult_ = AVIStreamSetFormat(compressed_, 0, dib_.PointerToBitmapInfo(), dib_.SizeBitmapInfo());
        if (lastResult_ != AVIERR_OK) {
            say("Error setting Avi stream format");
            return;
        }
        startReadAhead(copiesJpegFiles(options.fccHandler));

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
                const std::string reason = AVIStreamErrorText(compressed_);
                say("Error writing Avi stream" + (reason.empty() ? std::string() : kLineBreak + reason));
                return;
            }
            written_ = i + 1;
        }
    }

    // The frames after the first are made ready ahead: decoded for the codecs that encode them, read as
    // they are for the copying entry, which takes the first one again as a file.
    void startReadAhead(bool copying) {
        std::vector<std::string> expected;
        for (std::size_t i = copying ? 0 : 1; i < frames_.size(); ++i) {
            expected.push_back(pathOf(frames_[i]));
        }
        if (copying) {
            first_.reset();
            copy_ = std::make_unique<JpegFrameCopy>(width_, height_);
            // The first frame is on show since the movie took its format from it: not decoded again.
            copy_->previewShown();
            readAhead_ = std::make_unique<FrameReadAhead>(
                std::move(expected), [limit = copy_->largestFile()](PreparedFrame& frame) {
                    frame.status = readFrameFile(frame.path, limit, frame.bytes);
                });
        } else {
            readAhead_ = std::make_unique<FrameReadAhead>(std::move(expected), [this](PreparedFrame& frame) {
                decodeFrame(frame, pixels_, JpegSize{width_, height_});
            });
        }
    }

    std::string pathOf(const std::string& name) const { return folder_ + "/" + name; }

    void say(std::string text, MessageIcon icon = MessageIcon::None) {
        messages_.show({std::move(text), icon});
    }

    // False when the step threw, which is said.
    template <typename Step>
    bool guarded(Step step) {
        try {
            step();
            return true;
        } catch (const std::bad_alloc&) {
            say("Not enough memory to go on writing the movie.", MessageIcon::Critical);
        } catch (const std::exception& error) {
            say(error.what(), MessageIcon::Critical);
        }
        return false;
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
        PreparedFrame file = readAhead_->take(pathOf(list_.fileName()));
        const Status taken = copy_->take(file.status, file.bytes);
        const std::string framePath = file.path;
        readAhead_->giveBack(std::move(file));
        if (!taken) {
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

    // The decoded frame at `framePath`: the first one is decoded here, before the codec is chosen, and
    // serves the loop's first frame too; the others come from the read-ahead.
    PreparedFrame decodedFrame(std::int32_t index, const std::string& framePath) {
        if (index == 0 && first_ && first_->path == framePath) {
            PreparedFrame frame = std::move(*first_);
            first_.reset();
            return frame;
        }
        if (readAhead_) {
            return readAhead_->take(framePath);
        }
        // The first frame decides the movie's size, at its own.
        PreparedFrame frame;
        frame.path = framePath;
        decodeFrame(frame, pixels_, index == 0 ? std::nullopt : std::optional(JpegSize{width_, height_}));
        return frame;
    }

    // Selects entry `index`, decodes it into the preview, saves the preview as the temporary bitmap and
    // reads that back into the frame model.
    bool convertFrame(std::int32_t index, bool first) {
        list_.setListIndex(index);
        const std::string framePath = pathOf(list_.fileName());
        PreparedFrame frame = decodedFrame(index, framePath);
        Picture picture = frame.picture;
        if (picture.isEmpty()) {
            say("Could not decode frame:" + std::string(kLineBreak) + framePath +
                    (frame.status.ok() || frame.status.text().empty() ? std::string()
                                                                      : kLineBreak + frame.status.text()),
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
        // The bytes laid out beside the decoding are the preview's own picture when it holds the decoded
        // frame unchanged.
        const Picture shown = view_.shownPicture();
        if (!(shown == frame.picture && !frame.bytes.empty())) {
            if (const Status laidOut = BitmapFileBytes(shown, frame.bytes); !laidOut) {
                return temporaryNotSaved(laidOut);
            }
        }
        if (const Status saved = temporary_.write(frame.bytes); !saved) {
            return temporaryNotSaved(saved);
        }
        if (first) {
            // The loop's first frame is this one: kept, but for the bytes, which the frame model takes to
            // read the file back into, no earlier frame having left memory for it.
            dib_.ReusePixelMemory(std::exchange(frame.bytes, {}));
            first_ = std::move(frame);
        } else if (readAhead_) {
            readAhead_->giveBack(std::move(frame));
        }
        if (const Status read = dib_.CreateFromFile(temporary_.path()); !read) {
            messages_.show(read.message());
            // What was wrong with the temporary file is told; for the first frame the caller says more.
            if (!first) {
                say("Could not read back the temporary bitmap:" + std::string(kLineBreak) + temporary_.path(),
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

    bool temporaryNotSaved(const Status& why) {
        if (temporary_.inUse()) {
            say("This folder is in use by another movie write:" + std::string(kLineBreak) + folder_ +
                    kLineBreak + "Try again once that movie is finished.",
                MessageIcon::Exclamation);
            return false;
        }
        say("Could not save the temporary bitmap:" + std::string(kLineBreak) + temporary_.path() +
                std::string(kLineBreak) + why.text(),
            MessageIcon::Exclamation);
        return false;
    }

    void close() {
        // No frame is made ready for a movie that is over.
        readAhead_.reset();
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
            } else if (written_ > 0 && !end.savedAs.empty()) {
                // A frame failed on its way into the movie: the frames before it make a playable movie.
                text += kLineBreak + whatIsLeft(end);
            }
            say(text, MessageIcon::Information);
        } else if (stoppedAfter_ > 0) {
            say("Writing was cancelled: the movie holds the first " + std::to_string(stoppedAfter_) + " of " +
                    std::to_string(frameCount_) + " frames." + kLineBreak + end.savedAs,
                MessageIcon::Information);
        }
        if (copy_ && copy_->encodedAnew().total() > 0 && !end.savedAs.empty()) {
            messages_.note({copiedAnewNote(copy_->encodedAnew()), MessageIcon::Information});
        }
    }

    // Which of the movie's frames the copying entry encoded anew, and why.
    std::string copiedAnewNote(const JpegFrameCopy::EncodedAnew& anew) const {
        std::string why;
        const auto add = [&why](int count, const char* reason) {
            if (count > 0) {
                why += (why.empty() ? "" : ", ") + std::to_string(count) + " " + reason;
            }
        };
        add(anew.damaged, "damaged or cut short");
        add(anew.otherSize, "of another size than the first frame");
        add(anew.otherKind,
            "of a kind not every player reads (progressive, arithmetic-coded, 12-bit, CMYK or RGB) or "
            "sampled "
            "otherwise than the first frame");
        return std::to_string(anew.total()) + " of the movie's " + std::to_string(written_) +
               " frames were encoded anew, not copied as they are: " + why + ".";
    }

    // After a failed write: which frames the movie kept and where it is.
    std::string whatIsLeft(const MovieFileEnd& end) const {
        // Whatever stands at the name counts, a link too, not what it points at.
        std::error_code unknown;
        const bool targetStands =
            std::filesystem::exists(std::filesystem::symlink_status(outputPath_, unknown));
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
    TemporaryBitmap temporary_;
    const std::string outputPath_;
    const Container container_;
    const std::vector<std::string> frames_;
    // The decoded pictures' memory: those ahead, the one at hand and the preview's.
    PixelBufferPool pixels_{FrameReadAhead::kAhead + 3};
    std::optional<PreparedFrame> first_;  // the first frame, decoded for the movie's format
    std::unique_ptr<FrameReadAhead> readAhead_;
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
    std::int32_t written_ = 0;       // frames the movie took
    std::int32_t stoppedAfter_ = 0;  // frames written when a stop was asked for; 0: not stopped
};

}  // namespace

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
    if (namesAnInput(outputPath, view.outputFolder(), TemporaryBitmap::kName, frames)) {
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
