#pragma once
// The layout of the frames a stream is handed: what its BITMAPINFOHEADER format says, checked.

#include <cstdint>
#include <optional>

namespace skorva::avi {

struct FrameFormat {
    std::int32_t width = 0;
    std::int32_t height = 0;    // negative: rows top-down
    std::int32_t bitCount = 0;  // 24 or 32
    std::int64_t stride = 0;
    std::int64_t frameBytes = 0;

    std::int32_t rows() const { return height < 0 ? -height : height; }
    bool bottomUp() const { return height > 0; }
};

// The format of `lpFormat` (a BITMAPINFOHEADER of `cbFormat` bytes, maybe with more behind it): one plane,
// uncompressed, 24 or 32 bits a pixel, sides of 1 to the movie's limit. Nothing for anything else.
std::optional<FrameFormat> frameFormatOf(const void* lpFormat, std::int32_t cbFormat);

}  // namespace skorva::avi
