#include "platform/avi/jpeg_stream_encoder.h"

#include <algorithm>
#include <climits>

#include "platform/avi/movie.h"

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace skorva::avi {
namespace {

// Quality 0..10000 of the dialog onto the JPEG's 1..100; 0 takes 75, a common default for JPEG.
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
    if (Status ready = encoder->jpeg_.ready(); !ready) {
        return {nullptr, EncoderTrouble::Compressor, ready};
    }
    // A frame whose worst-case JPEG would not fit the library's buffer is too large, not a want of memory.
    const std::optional<std::uint64_t> largest =
        jpegWorstCaseSize(width, height, JpegSubsampling::Quarter420);
    if (!largest || *largest > static_cast<std::uint64_t>(INT_MAX)) {
        return {nullptr, EncoderTrouble::TooLarge, Status::failure("The frame is too large for a JPEG")};
    }
    if (Status reserved = encoder->jpeg_.reserve(width, height, JpegSubsampling::Quarter420); !reserved) {
        return {nullptr, EncoderTrouble::OutOfMemory, reserved};
    }
    encoder->tag_ = tag;
    encoder->quality_ = jpegQualityFor(options.quality);
    encoder->frameRate_ = frameRate;
    return {std::move(encoder), EncoderTrouble::None, {}};
}

Status JpegStreamEncoder::prepare(const FrameFormat& format) {
    format_ = format;
    return {};
}

void describeMotionJpeg(AVCodecParameters& parameters, std::uint32_t tag, const FrameFormat& format) {
    parameters.codec_type = AVMEDIA_TYPE_VIDEO;
    parameters.codec_id = AV_CODEC_ID_MJPEG;
    parameters.codec_tag = tag;
    parameters.format = AV_PIX_FMT_YUVJ420P;
    parameters.color_range = AVCOL_RANGE_JPEG;
    parameters.bits_per_coded_sample = 24;
    parameters.width = format.width;
    parameters.height = format.rows();
}

Status JpegStreamEncoder::describe(AVCodecParameters& parameters) const {
    describeMotionJpeg(parameters, tag_, format_);
    return {};
}

Status JpegStreamEncoder::encode(const std::uint8_t* rows, std::int64_t position, bool, Movie& movie) {
    const JpegInput input{.pixels = rows,
                          .width = format_.width,
                          .height = format_.rows(),
                          .pitch = static_cast<std::int32_t>(format_.stride),
                          .format = format_.bitCount == 32 ? JpegPixels::Bgrx : JpegPixels::Bgr,
                          .bottomUp = format_.bottomUp()};
    if (Status encoded = jpeg_.encode(input, JpegSubsampling::Quarter420, quality_); !encoded) {
        return encoded;
    }
    // Every sample is a JPEG of its own.
    return movie.writeSample(jpeg_.output(), position, frameRate_, true);
}

}  // namespace skorva::avi
