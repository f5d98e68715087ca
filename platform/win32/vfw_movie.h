#pragma once
// One AVI movie written through Video for Windows (vfw32): a hidden held file beside the target, which
// takes the target's name only when the movie is finished. Full frames and the compressors Windows has
// go through AVIMakeCompressedStream; the copying entry writes each recorded JPEG file as it is into a
// stream of Motion JPEG. vfw.h defines the library's names as macros, so this header speaks in plain
// types and only its source includes it. One movie's members are called one at a time.

#include <cstdint>
#include <string>

#include "platform/file_io.h"

namespace skorva::win32 {

struct VfwStreamHeader {
    std::uint32_t rate = 0;
    std::uint32_t scale = 1;
    std::uint32_t suggestedBufferSize = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

struct VfwCompression {
    std::uint32_t handler = 0;  // 0: full frames
    bool copiesJpegFiles = false;
    std::uint32_t keyFrameEvery = 0;
    std::uint32_t quality = 0;
    std::uint32_t bytesPerSecond = 0;
};

struct VfwEnd {
    std::int32_t result = 0;  // 0, or AVIERR_FILEWRITE when the movie could not be kept
    std::string reason;
    std::int64_t frames = 0;
    std::string savedAs;
};

class VfwMovie {
  public:
    VfwMovie() = default;
    ~VfwMovie();
    VfwMovie(const VfwMovie&) = delete;
    VfwMovie& operator=(const VfwMovie&) = delete;

    // Opens the hidden file beside `target`; on failure the system's words in `failure`. Results are the
    // library's (0 or an AVIERR_* code).
    std::int32_t open(const std::string& target, std::string& failure);
    // The stream header, kept until the compressor is known.
    void setStreamHeader(const VfwStreamHeader& header) { header_ = header; }
    std::int32_t makeCompressedStream(const VfwCompression& compression);
    // A BITMAPINFOHEADER of the frames' rows (the copying entry's stream describes Motion JPEG instead).
    std::int32_t setFormat(const void* format, std::int32_t size);
    std::int32_t write(std::int32_t start, const void* bytes, std::int32_t size, std::uint32_t flags);
    const std::string& writeError() const { return writeError_; }
    // Completes the file and gives it the target's name. A movie that never got its format is removed
    // without a word; one whose write failed is removed with the reason (the Windows program does not cut
    // a movie back to its last whole frame).
    VfwEnd finish();

  private:
    void releaseLibraryObjects();

    std::string target_;
    std::string hidden_;
    UniqueFd held_;
    void* file_ = nullptr;        // IAVIFile
    void* raw_ = nullptr;         // IAVIStream of the file
    void* compressed_ = nullptr;  // the stream written to: raw_ itself, or a compressor's
    VfwStreamHeader header_;
    VfwCompression compression_;
    bool formatSet_ = false;
    std::int64_t frames_ = 0;
    std::string writeError_;
    bool finished_ = false;
};

}  // namespace skorva::win32
