// The compressors of the Windows program: full frames and the copying entry always, the others where
// Windows has a Video Compression Manager compressor of their code.

#include "platform/avi/codecs.h"

#include <windows.h>

#include <vfw.h>

namespace skorva::avi {
namespace {

// Whether a VCM compressor of that code is installed.
bool compressorInstalled(std::uint32_t fourcc) {
    const HIC compressor = ::ICOpen(ICTYPE_VIDEO, fourcc, ICMODE_COMPRESS);
    if (compressor == nullptr) {
        return false;
    }
    ::ICClose(compressor);
    return true;
}

}  // namespace

const std::vector<Codec>& knownCodecs() {
    static const std::vector<Codec> codecs = {
        {0, "", "Full Frames (Uncompressed)", "Exact pixels, any player; very large files.", false, true, "",
         "", false, false, false, 0},
        {makeFourcc("MJPC"), "", "Motion JPEG (recorded frames, no re-encoding)",
         "The recorded JPEG files as they are: no second loss of quality, the quickest to write.", false,
         true, "", "", false, false, true, 0},
        {makeFourcc("MJPG"), "", "Motion JPEG", "Each frame a JPEG: quick to write and to cut; large files.",
         true, true, "", "", false, false, false, 0},
        {makeFourcc("MRLE"), "", "Microsoft RLE", "256 colours, run-length coded: for simple pictures.",
         false, true, "", "", false, false, false, 0},
        {makeFourcc("CVID"), "", "Cinepak", "Small files that every Windows plays.", true, false, "", "",
         false, false, false, 0},
        {makeFourcc("MSVC"), "", "Microsoft Video 1", "Small files that every Windows plays.", true, false,
         "", "", false, false, false, 0},
        {makeFourcc("FMP4"), "", "MPEG-4 Part 2", "Small files that older players read.", true, false, "", "",
         false, false, false, 0},
        {makeFourcc("H264"), "", "H.264", "The smallest files at good quality; slower to write.", true, false,
         "", "", false, true, false, 0},
        {makeFourcc("FFV1"), "", "FFV1 lossless", "Exact pixels in about half the space of full frames.",
         false, true, "", "", false, false, false, 0},
    };
    return codecs;
}

std::vector<Codec> availableCodecs() {
    std::vector<Codec> available;
    for (const Codec& codec : knownCodecs()) {
        if (codec.fourcc == 0 || codec.copiesJpegFiles || compressorInstalled(codec.fourcc)) {
            available.push_back(codec);
        }
    }
    return available;
}

const Codec* findCodec(std::uint32_t fourcc) {
    // Full frames are also named by the handler code "DIB ".
    if (fourcc == makeFourcc("DIB ")) {
        fourcc = 0;
    }
    for (const Codec& codec : knownCodecs()) {
        if (codec.fourcc == fourcc) {
            return codec.fourcc == 0 || codec.copiesJpegFiles || compressorInstalled(fourcc) ? &codec
                                                                                             : nullptr;
        }
    }
    return nullptr;
}

bool copiesJpegFiles(std::uint32_t fourcc) {
    return fourcc == makeFourcc("MJPC");
}

}  // namespace skorva::avi
