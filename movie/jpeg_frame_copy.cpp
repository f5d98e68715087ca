#include "movie/jpeg_frame_copy.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

#include "core/frame_memory.h"
#include "core/types.h"
#include "movie/frame_resample.h"
#include "platform/jpeg/jpeg_markers.h"

namespace skorva {
namespace {

// A frame encoded anew gets the recording's own quality, so that it looks like the frames around it.
constexpr int kRecordingQuality = 70;
// What a file may hold beyond the largest JPEG of the movie's size (metadata, an embedded preview) and
// still be copied; a larger one is left to the decoder's own limits.
constexpr std::int64_t kMetadataAllowance = 8 << 20;
// The preview of a copied frame is decoded at a reduced scale down to this width.
constexpr std::int32_t kPreviewWidth = 320;

}  // namespace

JpegFrameCopy::JpegFrameCopy(std::int32_t width, std::int32_t height)
    : width_(width),
      height_(height),
      largestFile_(
          static_cast<std::int64_t>(jpegWorstCaseSize(width, height, JpegSubsampling::Full444).value_or(0)) +
          kMetadataAllowance) {}

Status JpegFrameCopy::take(const Status& read, std::vector<std::uint8_t>& file) {
    decoded_ = Picture();
    copied_ = false;
    file_.swap(file);
    if (!read) {
        file_.clear();
        return read;
    }
    copied_ = passes();
    return copied_ ? Status() : encodeAnew();
}

std::span<const std::uint8_t> JpegFrameCopy::sample() const {
    return copied_ ? std::span<const std::uint8_t>(file_) : encoder_.output();
}

bool JpegFrameCopy::passes() {
    // Start-of-image followed by a marker, and end-of-image last: a truncated file lacks the latter.
    if (file_.size() < 6 || !isWholeJpeg(file_) || file_[2] != kJpegMarker || file_[3] < 0xC0) {
        return false;
    }
    const std::optional<JpegSize> declared = headers_.read(file_);
    return declared && declared->width == width_ && declared->height == height_;
}

Status JpegFrameCopy::encodeAnew() {
    const std::optional<JpegSize> declared = headers_.read(file_);
    if (!declared) {
        return Status::failure("Not a JPEG file, or a damaged one");
    }
    if (declared->width > kMovieFrameSideLimit || declared->height > kMovieFrameSideLimit) {
        return Status::failure("The frame is larger than a movie holds");
    }
    const std::int32_t stride = declared->width * 4;
    std::vector<std::uint8_t> pixels;
    try {
        pixels.resize(static_cast<std::size_t>(stride) * static_cast<std::size_t>(declared->height));
    } catch (const std::bad_alloc&) {
        return Status::failure(std::strerror(ENOMEM));
    }
    // A damaged frame keeps its place in the movie with what the decoder could make of it.
    if (Status decoded =
            decodeJpegBgrx(file_, pixels.data(), declared->width, stride, declared->height, true);
        !decoded) {
        return decoded;
    }
    Picture picture = Picture::fromPixels(declared->width, declared->height, stride, PixelFormat::Bgrx32,
                                          std::move(pixels));
    if (picture.width() != width_ || picture.height() != height_) {
        picture = resampled(picture, width_, height_);
        if (picture.isEmpty()) {
            return Status::failure("The frame could not be resized to the movie's size");
        }
    }
    const JpegInput input{.pixels = picture.bits(),
                          .width = width_,
                          .height = height_,
                          .pitch = picture.stride(),
                          .format = JpegPixels::Bgrx,
                          .bottomUp = false};
    if (Status encoded = encoder_.encode(input, JpegSubsampling::Quarter420, kRecordingQuality); !encoded) {
        return encoded;
    }
    decoded_ = std::move(picture);
    return {};
}

bool JpegFrameCopy::previewDue(bool last) {
    const auto now = std::chrono::steady_clock::now();
    if (!last && previewed_ && now - lastPreview_ < std::chrono::milliseconds(1000) / kPreviewsPerSecond) {
        return false;
    }
    previewed_ = true;
    lastPreview_ = now;
    return true;
}

void JpegFrameCopy::previewShown() {
    previewed_ = true;
    lastPreview_ = std::chrono::steady_clock::now();
}

Picture JpegFrameCopy::picture() {
    if (!decoded_.isEmpty()) {
        return decoded_;
    }
    // The preview is stretched to its box anyway: TurboJPEG's scaled decode makes it for a fraction of a
    // full decode, halving while the picture stays at least kPreviewWidth wide.
    int scale = 1;
    while (scale < 8 && width_ / (scale * 2) >= kPreviewWidth) {
        scale *= 2;
    }
    const std::int32_t width = (width_ + scale - 1) / scale;
    const std::int32_t height = (height_ + scale - 1) / scale;
    const std::int32_t stride = width * 4;
    std::vector<std::uint8_t> pixels;
    try {
        resizeFrameBuffer(pixels, static_cast<std::size_t>(stride) * static_cast<std::size_t>(height));
    } catch (const std::bad_alloc&) {
        return {};
    }
    if (!decodeJpegBgrx(sample(), pixels.data(), width, stride, height)) {
        return {};
    }
    return Picture::fromPixels(width, height, stride, PixelFormat::Bgrx32, std::move(pixels));
}

}  // namespace skorva
