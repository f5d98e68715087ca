#pragma once
// A libavcodec encoder (MPEG-4 Part 2, H.264, FFV1, Motion JPEG with a data rate): libswscale turns the
// DIB rows into what the encoder takes, and every packet it gives back goes into the movie. Encoders that
// hold frames back hand them over in flush().

#include <vector>

#include "platform/avi/ffmpeg_handles.h"
#include "platform/avi/frame_encoder.h"

namespace skorva::avi {

class CodecEncoder final : public FrameEncoder {
  public:
    static MadeEncoder make(const Codec& codec, const CompressOptions& options, std::uint32_t tag,
                            std::int32_t width, std::int32_t height, AVRational frameRate,
                            bool globalHeader = false);
    Status prepare(const FrameFormat& format) override;
    Status describe(AVCodecParameters& parameters) const override;
    Status encode(const std::uint8_t* rows, std::int64_t position, bool keyFrame, Movie& movie) override;
    Status flush(Movie& movie) override;

  private:
    CodecEncoder() = default;
    // Sends a frame (null: the end) and hands the movie every packet the encoder gives back.
    Status drain(const AVFrame* frame, Movie& movie);
    // The frame's rows in `padded_`, with room for libswscale to read past the last one, and where the
    // encoder needs an even size the last column and row once more; the rows' first byte and stride.
    std::pair<const std::uint8_t*, std::int64_t> layOut(const std::uint8_t* rows);

    CodecContextPtr encoder_;
    SwsPtr scaler_;
    FramePtr picture_;
    PacketPtr packet_;
    FrameFormat format_;
    std::uint32_t tag_ = 0;
    bool chosenKeyFrames_ = false;  // the user chose a key-frame interval
    int padRight_ = 0;
    int padBottom_ = 0;
    std::vector<std::uint8_t> padded_;
};

}  // namespace skorva::avi
