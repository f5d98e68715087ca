#include "platform/avi/frame_encoder.h"

#include "platform/avi/codec_encoder.h"
#include "platform/avi/jpeg_copy_stream.h"
#include "platform/avi/jpeg_stream_encoder.h"
#include "platform/avi/raw_encoder.h"

namespace skorva::avi {

MadeEncoder makeFrameEncoder(const Codec* codec, const CompressOptions& options, std::uint32_t tag,
                             std::int32_t width, std::int32_t height, AVRational frameRate,
                             bool globalHeader) {
    if (codec == nullptr || codec->fourcc == 0) {
        return {std::make_unique<RawEncoder>(frameRate), EncoderTrouble::None, {}};
    }
    if (codec->copiesJpegFiles) {
        return {std::make_unique<JpegCopyStream>(frameRate), EncoderTrouble::None, {}};
    }
    // Only libavcodec's Motion JPEG encoder keeps a data rate.
    if (codec->turboJpeg && options.bytesPerSecond == 0) {
        return JpegStreamEncoder::make(options, tag, width, height, frameRate);
    }
    return CodecEncoder::make(*codec, options, tag, width, height, frameRate, globalHeader);
}

}  // namespace skorva::avi
