// Which compressors a container holds, as FFmpeg's muxers say.

#include "platform/avi/container.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
}

namespace skorva::avi {

const AVOutputFormat* muxerOf(Container container) {
    // The first muxer of the name, as a look-up by name finds it, without scoring every muxer there is
    // for a file name and type that are not given: that visits all of them, which costs a first write
    // a fraction of a millisecond.
    void* at = nullptr;
    while (const AVOutputFormat* muxer = av_muxer_iterate(&at)) {
        if (av_match_name(muxerName(container), muxer->name) != 0) {
            return muxer;
        }
    }
    return nullptr;
}

bool containerHolds(Container container, const Codec& codec) {
    if (container == Container::Avi) {
        return true;
    }
    if (codec.fourcc == 0) {
        return false;
    }
    const AVOutputFormat* muxer = muxerOf(container);
    return muxer != nullptr &&
           avformat_query_codec(muxer, static_cast<AVCodecID>(codec.codecId), FF_COMPLIANCE_NORMAL) == 1;
}

}  // namespace skorva::avi
