#include "platform/avi/jpeg_stream_encoder.h"

#include <turbojpeg.h>

#include <algorithm>
#include <climits>
#include <span>

#include "platform/avi/movie.h"

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace skorva::avi {
namespace {

// Quality 0..10000 of the dialog onto TurboJPEG's 1..100; 0 takes 75, a common default for JPEG.
int jpegQualityFor(std::uint32_t quality) {
    if (quality == 0) {
        return 75;
    }
    return static_cast<int>(std::clamp<std::uint32_t>((quality + 50) / 100, 1, 100));
}

}  // namespace

MadeEncoder JpegStreamEncoder::make(const CompressOptions& options, std::uint32_t tag, std::int32_t width,
                                    std::int32_t height, AVRational frameRate) {
    std::unique_ptr<JpegStreamEncoder> encoder(new JpegStreamEncoder);
    encoder->handle_.reset(tjInitCompress());
    if (!encoder->handle_) {
        return {nullptr, EncoderTrouble::Compressor, Status::failure(tjGetErrorStr2(nullptr))};
    }
    const unsigned long capacity = tjBufSize(width, height, TJSAMP_420);
    // tjAlloc takes an int: a frame whose worst-case JPEG would not fit one is too large.
    if (capacity == static_cast<unsigned long>(-1) || capacity > static_cast<unsigned long>(INT_MAX)) {
        return {nullptr, EncoderTrouble::TooLarge, Status::failure("The frame is too large for a JPEG")};
    }
    encoder->buffer_.reset(tjAlloc(static_cast<int>(capacity)));
    if (!encoder->buffer_) {
        return {nullptr, EncoderTrouble::OutOfMemory, Status::failure("Not enough memory")};
    }
    encoder->tag_ = tag;
    encoder->quality_ = jpegQualityFor(options.quality);
    encoder->frameRate_ = frameRate;
    return {std::move(encoder), EncoderTrouble::None, {}};
}

void JpegStreamEncoder::HandleDestroy::operator()(void* handle) const {
    tjDestroy(handle);
}

void JpegStreamEncoder::BufferFree::operator()(unsigned char* buffer) const {
    tjFree(buffer);
}

Status JpegStreamEncoder::prepare(const FrameFormat& format) {
    format_ = format;
    return {};
}

Status JpegStreamEncoder::describe(AVCodecParameters& parameters) const {
    parameters.codec_type = AVMEDIA_TYPE_VIDEO;
    parameters.codec_id = AV_CODEC_ID_MJPEG;
    parameters.codec_tag = tag_;
    parameters.format = AV_PIX_FMT_YUVJ420P;
    parameters.color_range = AVCOL_RANGE_JPEG;
    parameters.bits_per_coded_sample = 24;
    parameters.width = format_.width;
    parameters.height = format_.rows();
    return {};
}

Status JpegStreamEncoder::encode(const std::uint8_t* rows, std::int64_t position, bool, Movie& movie) {
    unsigned char* jpeg = buffer_.get();
    unsigned long jpegSize = 0;
    const int flags = TJFLAG_NOREALLOC | (format_.bottomUp() ? TJFLAG_BOTTOMUP : 0);
    if (tjCompress2(handle_.get(), rows, format_.width, static_cast<int>(format_.stride), format_.rows(),
                    format_.bitCount == 32 ? TJPF_BGRX : TJPF_BGR, &jpeg, &jpegSize, TJSAMP_420, quality_,
                    flags) != 0) {
        return Status::failure(tjGetErrorStr2(handle_.get()));
    }
    return movie.writeSample(std::span<const std::uint8_t>(jpeg, jpegSize), position, frameRate_, true);
}

}  // namespace skorva::avi
