#pragma once
// Full frames: every sample is the DIB rows as they are, bottom-up, so that the header keeps a positive
// height and any player reads them.

#include <vector>

#include "platform/avi/frame_encoder.h"

namespace skorva::avi {

class RawEncoder final : public FrameEncoder {
  public:
    explicit RawEncoder(AVRational frameRate) : frameRate_(frameRate) {}
    Status prepare(const FrameFormat& format) override;
    Status describe(AVCodecParameters& parameters) const override;
    std::string muxerOptions() const override { return "flipped_raw_rgb=1"; }
    Status encode(const std::uint8_t* rows, std::int64_t position, bool keyFrame, Movie& movie) override;

  private:
    AVRational frameRate_;
    FrameFormat format_;
    std::vector<std::uint8_t> flipped_;  // top-down frames turned bottom-up
};

}  // namespace skorva::avi
