#include "imaging/save_jpg.h"

#include <optional>
#include <span>

#include "imaging/replace_file.h"
#include "platform/jpeg/jpeg_encoder.h"
#include "platform/jpeg/striped_jpeg_encoder.h"

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

}  // namespace

Status SaveJPG(const cDIBSection& section, const std::string& fileName, std::int32_t quality) {
    // Kept for the thread's life: the encoder keeps its compressor and worst-case buffer between frames.
    thread_local JpegEncoder encoder;
    if (!encoder.ready()) {
        return notInitialised();
    }
    const std::optional<JpegInput> input = encoderInput(section, fileName);
    if (!input) {
        return writeFailed(kNoPixels);
    }
    if (const Status encoded = encoder.encode(*input, kSubsampling, quality); !encoded) {
        return writeFailed(encoded.text());
    }
    return writeJpeg(fileName, encoder.output());
}

Status SaveJPG(const cDIBSection& section, const std::string& fileName, std::int32_t quality,
               const std::function<void()>& meanwhile) {
    thread_local StripedJpegEncoder encoder;
    if (!encoder.ready()) {
        meanwhile();
        return notInitialised();
    }
    const std::optional<JpegInput> input = encoderInput(section, fileName);
    if (!input) {
        meanwhile();
        return writeFailed(kNoPixels);
    }
    if (const Status encoded = encoder.encode(*input, kSubsampling, quality, meanwhile); !encoded) {
        return writeFailed(encoded.text());
    }
    return writeJpeg(fileName, encoder.output());
}

}  // namespace skorva
