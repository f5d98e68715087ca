#pragma once
// What turns the DIB frames a stream is handed into the samples of the movie's one stream: the full frames
// as they are, a JPEG a frame, or a libavcodec encoder. Each stands on its own; the AVI library picks one
// by the compressor the user chose.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

extern "C" {
#include <libavcodec/codec_par.h>
#include <libavutil/rational.h>
}

#include "core/status.h"
#include "platform/avi/codecs.h"
#include "platform/avi/frame_format.h"
#include "platform/codec_chooser.h"

namespace skorva::avi {

class Movie;

class FrameEncoder {
  public:
    virtual ~FrameEncoder() = default;
    // The layout of the frames to come.
    virtual Status prepare(const FrameFormat& format) = 0;
    // The stream's parameters for the movie's header, once prepared.
    virtual Status describe(AVCodecParameters& parameters) const = 0;
    // What the muxer must be told about this stream, as "key=value:...".
    virtual std::string muxerOptions() const { return {}; }
    // Encodes frame `position` from `rows` laid out as prepared, and hands the movie the samples it makes.
    // `keyFrame`: the frame is asked for as a key frame.
    virtual Status encode(const std::uint8_t* rows, std::int64_t position, bool keyFrame, Movie& movie) = 0;
    // Hands the movie the frames the encoder still holds back.
    virtual Status flush(Movie&) { return {}; }
    // True for a stream that is handed finished samples (recorded JPEG files) instead of DIB rows.
    virtual bool takesSamples() const { return false; }
    // Puts one finished sample into the movie as frame `position`.
    virtual Status writeSample(std::span<const std::uint8_t>, std::int64_t, Movie&) {
        return Status::failure("The stream takes DIB rows, not samples");
    }
};

// Why no encoder could be made.
enum class EncoderTrouble { None, NoCompressor, Compressor, TooLarge, OutOfMemory };

struct MadeEncoder {
    std::unique_ptr<FrameEncoder> encoder;
    EncoderTrouble trouble = EncoderTrouble::None;
    Status status;
};

// The encoder for `codec` (null or fourcc 0: full frames) with the dialog's `options`, for frames of
// `width` x `height`, one every `frameRate` time unit. `tag` is the four-character code the stream
// carries. `globalHeader`: the container wants the stream's set-up in its header (MP4, Matroska).
MadeEncoder makeFrameEncoder(const Codec* codec, const CompressOptions& options, std::uint32_t tag,
                             std::int32_t width, std::int32_t height, AVRational frameRate,
                             bool globalHeader = false);

}  // namespace skorva::avi
