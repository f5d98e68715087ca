#pragma once
// Motion JPEG without libavcodec and libswscale: the JPEG encoder reads the DIB rows as they are,
// bottom-up and padded, and its SIMD colour conversion and DCT cost a fraction of the general path. Every
// sample is a JPEG of its own, so every one is a key frame.

#include "platform/avi/frame_encoder.h"
#include "platform/jpeg/jpeg_encoder.h"

namespace skorva::avi {

// The stream parameters of a Motion JPEG stream of `format`'s frames, 4:2:0 and full range as TurboJPEG
// and the recorder write them.
void describeMotionJpeg(AVCodecParameters& parameters, std::uint32_t tag, const FrameFormat& format);

class JpegStreamEncoder final : public FrameEncoder {
  public:
    // Null, with the trouble, when no encoder or no buffer for the largest JPEG of this size can be had.
    static MadeEncoder make(const CompressOptions& options, std::uint32_t tag, std::int32_t width,
                            std::int32_t height, AVRational frameRate);
    Status prepare(const FrameFormat& format) override;
    Status describe(AVCodecParameters& parameters) const override;
    Status encode(const std::uint8_t* rows, std::int64_t position, bool keyFrame, Movie& movie) override;

  private:
    JpegStreamEncoder() = default;

    JpegEncoder jpeg_;
    std::uint32_t tag_ = 0;
    int quality_ = 0;
    AVRational frameRate_{1, 1};
    FrameFormat format_;
};

}  // namespace skorva::avi
