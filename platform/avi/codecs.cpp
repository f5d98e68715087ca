#include "platform/avi/codecs.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace skorva::avi {
namespace {

// Whether each known compressor's encoder is installed, in knownCodecs() order: one pass over FFmpeg's
// codecs, once. A codec's id is compared before its name, so that the pass reads the names of only the
// few encoders of those formats; reading every one, scattered over the library, costs a first write
// about a third of a millisecond.
const std::vector<bool>& installedEncoders() {
    static const std::vector<bool> installed = [] {
        const std::vector<Codec>& known = knownCodecs();
        std::vector<bool> found(known.size());
        for (std::size_t i = 0; i < known.size(); ++i) {
            found[i] = known[i].encoder[0] == '\0';
        }
        void* at = nullptr;
        while (const AVCodec* codec = av_codec_iterate(&at)) {
            for (std::size_t i = 0; i < known.size(); ++i) {
                if (!found[i] && codec->id == known[i].codecId && av_codec_is_encoder(codec) != 0 &&
                    std::strcmp(codec->name, known[i].encoder) == 0) {
                    found[i] = true;
                }
            }
        }
        return found;
    }();
    return installed;
}

}  // namespace

const std::vector<Codec>& knownCodecs() {
    static const std::vector<Codec> codecs = {
        {0, "", "Full Frames (Uncompressed)", "Exact pixels, any player; very large files.", false, true, "",
         "", false, false, false, AV_CODEC_ID_RAWVIDEO},
        {makeFourcc("MJPG"), "mjpeg", "Motion JPEG",
         "Each frame a JPEG: quick to write and to cut; large files.", true, true, "yuvj420p", "", true,
         false, false, AV_CODEC_ID_MJPEG},
        {makeFourcc("MJPC"), "", "Motion JPEG (recorded frames, no re-encoding)",
         "The recorded JPEG files as they are: no second loss of quality, the quickest to write. A damaged "
         "frame, or one of another size, is encoded anew at the movie's size.",
         false, true, "", "", false, false, true, AV_CODEC_ID_MJPEG},
        {makeFourcc("FMP4"), "mpeg4", "MPEG-4 Part 2", "Small files that older players read.", true, false,
         "yuv420p", "", false, false, false, AV_CODEC_ID_MPEG4},
        {makeFourcc("H264"), "libx264", "H.264", "The smallest files at good quality; slower to write.", true,
         false, "yuv420p", "preset=veryfast", false, true, false, AV_CODEC_ID_H264},
        {makeFourcc("FFV1"), "ffv1", "FFV1 lossless", "Exact pixels in about half the space of full frames.",
         false, true, "bgr0", "", false, false, false, AV_CODEC_ID_FFV1},
    };
    return codecs;
}

std::vector<Codec> availableCodecs() {
    const std::vector<Codec>& known = knownCodecs();
    std::vector<Codec> result;
    for (std::size_t i = 0; i < known.size(); ++i) {
        if (installedEncoders()[i]) {
            result.push_back(known[i]);
        }
    }
    return result;
}

const Codec* findCodec(std::uint32_t fourcc) {
    // Full frames are also named by the handler code "DIB "; XVID streams are MPEG-4 Part 2 as well.
    if (fourcc == makeFourcc("DIB ")) {
        fourcc = 0;
    } else if (fourcc == makeFourcc("XVID")) {
        fourcc = makeFourcc("FMP4");
    }
    const std::vector<Codec>& known = knownCodecs();
    for (std::size_t i = 0; i < known.size(); ++i) {
        if (known[i].fourcc == fourcc) {
            return installedEncoders()[i] ? &known[i] : nullptr;
        }
    }
    return nullptr;
}

bool copiesJpegFiles(std::uint32_t fourcc) {
    const Codec* codec = findCodec(fourcc);
    return codec != nullptr && codec->copiesJpegFiles;
}

}  // namespace skorva::avi
