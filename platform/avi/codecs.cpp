#include "platform/avi/codecs.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace skorva::avi {
namespace {

bool encoderInstalled(const Codec& codec) {
    return codec.encoder[0] == '\0' || avcodec_find_encoder_by_name(codec.encoder) != nullptr;
}

}  // namespace

const std::vector<Codec>& knownCodecs() {
    static const std::vector<Codec> codecs = {
        {0, "", "Full Frames (Uncompressed)", "Exact pixels, any player; very large files.", false, true, "",
         "", false, false, false},
        {makeFourcc("MJPG"), "mjpeg", "Motion JPEG",
         "Each frame a JPEG: quick to write and to cut; large files.", true, true, "yuvj420p", "", true,
         false, false},
        {makeFourcc("MJPC"), "", "Motion JPEG (recorded frames, no re-encoding)",
         "The recorded JPEG files as they are: no second loss of quality, the quickest to write. A damaged "
         "frame, or one of another size, is encoded anew at the movie's size.",
         false, true, "", "", false, false, true},
        {makeFourcc("FMP4"), "mpeg4", "MPEG-4 Part 2", "Small files that older players read.", true, false,
         "yuv420p", "", false, false, false},
        {makeFourcc("H264"), "libx264", "H.264", "The smallest files at good quality; slower to write.", true,
         false, "yuv420p", "preset=veryfast", false, true, false},
        {makeFourcc("FFV1"), "ffv1", "FFV1 lossless", "Exact pixels in about half the space of full frames.",
         false, true, "bgr0", "", false, false, false},
    };
    return codecs;
}

std::vector<Codec> availableCodecs() {
    std::vector<Codec> result;
    for (const Codec& codec : knownCodecs()) {
        if (encoderInstalled(codec)) {
            result.push_back(codec);
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
    for (const Codec& codec : knownCodecs()) {
        if (codec.fourcc == fourcc) {
            return encoderInstalled(codec) ? &codec : nullptr;
        }
    }
    return nullptr;
}

bool copiesJpegFiles(std::uint32_t fourcc) {
    const Codec* codec = findCodec(fourcc);
    return codec != nullptr && codec->copiesJpegFiles;
}

}  // namespace skorva::avi
