#pragma once
// The stream of the copying Motion JPEG entry: it is handed the recorded JPEG files themselves, checked by
// the writer, and puts each into the movie as it is. Every sample is a JPEG of its own, so every one is a
// key frame.

#include "platform/avi/frame_encoder.h"

namespace skorva::avi {

class JpegCopyStream final : public FrameEncoder {
  public:
    explicit JpegCopyStream(AVRational frameRate) : frameRate_(frameRate) {}
    Status prepare(const FrameFormat& format) override;
    Status describe(AVCodecParameters& parameters) const override;
    Status encode(const std::uint8_t* rows, std::int64_t position, bool keyFrame, Movie& movie) override;
    bool takesSamples() const override { return true; }
    Status writeSample(std::span<const std::uint8_t> sample, std::int64_t position, Movie& movie) override;

  private:
    AVRational frameRate_;
    FrameFormat format_;
};

}  // namespace skorva::avi
