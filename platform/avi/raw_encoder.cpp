#include "platform/avi/raw_encoder.h"

#include <cstring>
#include <span>

#include "platform/avi/movie.h"

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace skorva::avi {

Status RawEncoder::prepare(const FrameFormat& format) {
    format_ = format;
    return {};
}

Status RawEncoder::describe(AVCodecParameters& parameters) const {
    parameters.codec_type = AVMEDIA_TYPE_VIDEO;
    parameters.codec_id = AV_CODEC_ID_RAWVIDEO;
    parameters.codec_tag = 0;
    parameters.format = format_.bitCount == 32 ? AV_PIX_FMT_BGR0 : AV_PIX_FMT_BGR24;
    parameters.bits_per_coded_sample = format_.bitCount;
    parameters.width = format_.width;
    parameters.height = format_.rows();
    return {};
}

Status RawEncoder::encode(const std::uint8_t* rows, std::int64_t position, bool, Movie& movie) {
    const auto frameBytes = static_cast<std::size_t>(format_.frameBytes);
    const std::uint8_t* sample = rows;
    if (!format_.bottomUp()) {
        flipped_.resize(frameBytes);
        const std::int32_t height = format_.rows();
        for (std::int32_t y = 0; y < height; ++y) {
            std::memcpy(flipped_.data() + format_.stride * (height - 1 - y), rows + format_.stride * y,
                        static_cast<std::size_t>(format_.stride));
        }
        sample = flipped_.data();
    }
    // Every full frame stands on its own.
    return movie.writeSample(std::span(sample, frameBytes), position, frameRate_, true);
}

}  // namespace skorva::avi
