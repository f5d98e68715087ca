#include "imaging/save_jpg.h"

#include <optional>
#include <span>

#include "core/side_thread.h"
#include "imaging/replace_file.h"
#include "platform/jpeg/jpeg_encoder.h"

namespace skorva {
namespace {

constexpr int kTurboJpegFailure = -1;
constexpr JpegSubsampling kSubsampling = JpegSubsampling::Quarter420;

Status notInitialised() {
    return Status::failure("Failed to initialise the IJL library: " + std::to_string(kTurboJpegFailure),
                           MessageIcon::Exclamation);
}

// The fixed warning guesses at the cause; the system's own reason follows it, so that a deleted folder
// or a read-only disk is told apart from a closed window.
Status writeFailed(const std::string& reason) {
    return Status::failure(
        "Failed to save to JPG, seems webcam window is closed or no space left. Reason: " + reason + ".",
        MessageIcon::Exclamation);
}

const std::string kNoPixels = "the frame has no pixels";

// The section's rows as they are: the grabbed picture's own while the section shares them, so that no pass
// over the pixels comes between the grab and the encoder. The pitch steps over the row padding and the row
// order is the encoder's to follow. Nothing when there is nothing to encode: a closed viewer window leaves
// a section without pixels.
std::optional<JpegInput> encoderInput(const cDIBSection& section, const std::string& fileName) {
    const cDIBSection::EncoderRows rows = section.RowsToEncode();
    if (rows.first == nullptr || section.Width() <= 0 || section.Height() <= 0 || fileName.empty()) {
        return std::nullopt;
    }
    return JpegInput{.pixels = rows.first,
                     .width = section.Width(),
                     .height = section.Height(),
                     .pitch = rows.pitch,
                     .format = rows.fourBytes ? JpegPixels::Bgrx : JpegPixels::Bgr,
                     .bottomUp = rows.bottomUp};
}

// No fsync: a frame that a power cut loses is not worth a disk flush every second; what must never happen,
// a truncated frame left after a failed write, the write-and-rename already rules out.
Status writeJpeg(const std::string& fileName, std::span<const std::uint8_t> jpeg) {
    if (const Status replaced = replaceFile(fileName, jpeg); !replaced) {
        return writeFailed(replaced.text());
    }
    return {};
}

// Encodes the section whole and writes the file; with `meanwhile`, the encoding runs on a second core while
// `meanwhile` runs here. One encode either way: cut into strips for two cores, a picture's bytes would
// depend on where it was cut, and the second core bought wall time with more processor time.
Status save(const cDIBSection& section, const std::string& fileName, std::int32_t quality,
            const std::function<void()>* meanwhile) {
    // Kept for the thread's life: the encoder keeps its compressor and worst-case buffer between frames.
    thread_local JpegEncoder encoder;
    JpegEncoder& ours = encoder;  // the side thread has an encoder of its own by that name
    const std::optional<JpegInput> input = ours.ready() ? encoderInput(section, fileName) : std::nullopt;
    Status encoded;
    const auto encode = [&] {
        if (input) {
            encoded = ours.encode(*input, kSubsampling, quality);
        }
    };
    if (meanwhile == nullptr) {
        encode();
    } else {
        thread_local SideThread side;
        side.runAlongside(encode, *meanwhile);
    }
    if (!ours.ready()) {
        return notInitialised();
    }
    if (!input) {
        return writeFailed(kNoPixels);
    }
    if (!encoded) {
        return writeFailed(encoded.text());
    }
    return writeJpeg(fileName, ours.output());
}

}  // namespace

Status SaveJPG(const cDIBSection& section, const std::string& fileName, std::int32_t quality) {
    return save(section, fileName, quality, nullptr);
}

Status SaveJPG(const cDIBSection& section, const std::string& fileName, std::int32_t quality,
               const std::function<void()>& meanwhile) {
    return save(section, fileName, quality, &meanwhile);
}

}  // namespace skorva
