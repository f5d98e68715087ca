#pragma once
// JPEG encoding over TurboJPEG. An encoder keeps its compressor and an output buffer of the worst-case
// size from frame to frame: a recording or a movie encodes one frame after another, and setting both up
// each time would cost more than encoding a small frame. Failures carry the library's own text.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "core/status.h"

namespace skorva {

// The pixels the encoder reads, in memory order: 3 bytes, or 4 with the last one unused.
enum class JpegPixels { Bgr, Bgrx, Rgb };

// The colour resolution of the JPEG: full (4:4:4), half across (4:2:2), half across and down (4:2:0), or
// none at all (grey).
enum class JpegSubsampling { Full444, Half422, Quarter420, Grey };

// Rows of pixels, `pitch` bytes apart. bottomUp: the first row in memory is the picture's bottom row, as in
// a bitmap with a positive height; the JPEG comes out upright either way.
struct JpegInput {
    const std::uint8_t* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t pitch = 0;
    JpegPixels format = JpegPixels::Bgr;
    bool bottomUp = false;
};

// The largest JPEG the library can make of a picture that size; nothing for a size it refuses.
std::optional<std::uint64_t> jpegWorstCaseSize(std::int32_t width, std::int32_t height,
                                               JpegSubsampling subsampling);

class JpegEncoder {
  public:
    JpegEncoder();
    ~JpegEncoder();
    JpegEncoder(const JpegEncoder&) = delete;
    JpegEncoder& operator=(const JpegEncoder&) = delete;

    // Whether the compressor could be made; if not, the library's reason. Every encode then fails with it.
    Status ready() const;

    // Makes the buffer hold the largest JPEG of that size, unless it already does. Fails with the library's
    // text for a size it refuses, and with the system's text for a want of memory where the allocation
    // fails or the worst case passes the int that the library's allocator takes.
    Status reserve(std::int32_t width, std::int32_t height, JpegSubsampling subsampling);

    // Encodes at `quality` (1 to 100) into the buffer, reserved for the input's size first; the library
    // never reallocates it. The JPEG stays in output() until the next call.
    Status encode(const JpegInput& input, JpegSubsampling subsampling, int quality);
    std::span<const std::uint8_t> output() const { return {buffer_.get(), size_}; }
    std::size_t capacity() const { return capacity_; }

  private:
    struct HandleDestroy {
        void operator()(void* handle) const;
    };
    struct BufferFree {
        void operator()(unsigned char* buffer) const;
    };
    std::unique_ptr<void, HandleDestroy> handle_;
    std::unique_ptr<unsigned char, BufferFree> buffer_;
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
};

}  // namespace skorva
