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
    const Verdict verdict = check();
    if (verdict != Verdict::Copy) {
        return encodeAnew(verdict);
    }
    copied_ = true;
    if (!layout_) {
        layout_ = readJpegFrameHeader(file_);
    }
    return {};
}

std::span<const std::uint8_t> JpegFrameCopy::sample() const {
    return copied_ ? std::span<const std::uint8_t>(file_) : encoder_.output();
}

namespace {

// Grey, or luma and two chroma components sampled as the encoder can sample them again.
bool encoderLayout(const JpegFrameHeader& header) {
    const std::uint8_t luma = header.sampling[0];
    return header.components == 1 ||
           (header.components == 3 && header.sampling[1] == 0x11 && header.sampling[2] == 0x11 &&
            (luma == 0x11 || luma == 0x21 || luma == 0x22));
}

JpegSubsampling subsamplingOf(const std::optional<JpegFrameHeader>& layout) {
    if (!layout) {
        return JpegSubsampling::Quarter420;
    }
    if (layout->components == 1) {
        return JpegSubsampling::Grey;
    }
    return layout->sampling[0] == 0x11   ? JpegSubsampling::Full444
           : layout->sampling[0] == 0x21 ? JpegSubsampling::Half422
                                         : JpegSubsampling::Quarter420;
}

}  // namespace

JpegFrameCopy::Verdict JpegFrameCopy::check() {
    // A truncated file lacks its end-of-image marker; one the decoder cannot read the header of is damaged.
    const std::optional<JpegFrameHeader> header = readJpegFrameHeader(file_);
    if (!isWholeJpeg(file_) || !header || !headers_.read(file_)) {
        return Verdict::Damaged;
    }
    if (header->width != width_ || header->height != height_) {
        return Verdict::OtherSize;
    }
    if (!everyReaderDecodes(*header) || !encoderLayout(*header) ||
        (layout_ && !header->sameLayout(*layout_))) {
        return Verdict::OtherKind;
    }
    return Verdict::Copy;
}

Status JpegFrameCopy::encodeAnew(Verdict why) {
    const std::optional<JpegSize> declared = headers_.read(file_);
    if (!declared) {
        return Status::failure("Not a JPEG file, or a damaged one");
    }
    if (declared->width > kMovieFrameSideLimit || declared->height > kMovieFrameSideLimit) {
        return Status::failure("The frame is larger than a movie holds");
    }
    // A larger frame at the smallest reduced scale that still covers the movie: a small file that declares
    // a huge frame costs a few of the movie's frames, not the frame it declares.
    const JpegSize size = jpegScaleCovering(*declared, {width_, height_});
    const std::int32_t stride = size.width * 4;
    std::vector<std::uint8_t> pixels;
    try {
        pixels.resize(static_cast<std::size_t>(stride) * static_cast<std::size_t>(size.height));
    } catch (const std::bad_alloc&) {
        return Status::failure(std::strerror(ENOMEM));
    }
    // A damaged frame keeps its place in the movie with what the decoder could make of it.
    bool madeUp = false;
    if (Status decoded = decodeJpegBgrx(file_, pixels.data(), size.width, stride, size.height, true, &madeUp);
        !decoded) {
        return decoded;
    }
    Picture picture =
        Picture::fromPixels(size.width, size.height, stride, PixelFormat::Bgrx32, std::move(pixels));
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
    if (Status encoded = encoder_.encode(input, subsamplingOf(layout_), kRecordingQuality); !encoded) {
        return encoded;
    }
    if (!layout_) {
        layout_ = readJpegFrameHeader(encoder_.output());
    }
    const Verdict counted = madeUp ? Verdict::Damaged : why;
    anew_.damaged += counted == Verdict::Damaged ? 1 : 0;
    anew_.otherSize += counted == Verdict::OtherSize ? 1 : 0;
    anew_.otherKind += counted == Verdict::OtherKind ? 1 : 0;
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
