#pragma once
// The markers a whole JPEG file begins and ends with.

#include <cstdint>
#include <span>

namespace skorva {

inline constexpr std::uint8_t kJpegMarker = 0xFF;
inline constexpr std::uint8_t kJpegStartOfImage = 0xD8;
inline constexpr std::uint8_t kJpegEndOfImage = 0xD9;

// Starts with the start-of-image marker and ends with the end-of-image marker: a file cut short lacks the
// latter. Says nothing of what lies between.
inline bool isWholeJpeg(std::span<const std::uint8_t> jpeg) {
    const std::size_t size = jpeg.size();
    return size >= 4 && jpeg[0] == kJpegMarker && jpeg[1] == kJpegStartOfImage &&
           jpeg[size - 2] == kJpegMarker && jpeg[size - 1] == kJpegEndOfImage;
}

}  // namespace skorva
