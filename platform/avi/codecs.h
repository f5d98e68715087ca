#pragma once
// The compressors the codec dialog offers and the AVI library can make a compressed stream with. Only
// those whose encoder the installed FFmpeg has are offered.

#include <cstdint>
#include <string>
#include <vector>

namespace skorva::avi {

struct Codec {
    std::uint32_t fourcc;        // 0: full frames, no compressor
    const char* encoder;         // FFmpeg's encoder name; empty for full frames
    const char* displayName;     // as the dialog lists it
    const char* goodFor;         // the line under the list
    bool hasQuality;             // the quality slider applies
    bool intraOnly;              // every frame is a key frame anyway
    const char* pixelFormat;     // what the encoder is fed; empty: the encoder's first choice
    const char* encoderOptions;  // "key=value:key=value" private options of the encoder
    bool turboJpeg;              // each frame a JPEG made by TurboJPEG straight from the DIB rows, unless
                                 // a data rate is asked for (only libavcodec's encoder keeps one)
    bool evenSize;               // takes only even sizes: a frame with an odd side gets its last column or
                                 // row once more, and the movie is that one pixel larger
    bool copiesJpegFiles;        // the stream takes the recorded JPEG files as its samples, not DIB rows
    int codecId;                 // FFmpeg's AVCodecID of what the stream holds
};

constexpr std::uint32_t makeFourcc(const char (&code)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[3])) << 24;
}

// Every compressor this library knows, present or not.
const std::vector<Codec>& knownCodecs();
// The ones offered: full frames first, then every compressor whose encoder is installed.
std::vector<Codec> availableCodecs();
// What a stream of the copying entry carries: it is Motion JPEG to every player.
inline constexpr std::uint32_t kMotionJpegTag = makeFourcc("MJPG");

// The compressor for a four-character code (a few aliases included); null when unknown or not installed.
const Codec* findCodec(std::uint32_t fourcc);
// Whether the compressor of that code takes the recorded JPEG files as they are.
bool copiesJpegFiles(std::uint32_t fourcc);

}  // namespace skorva::avi
