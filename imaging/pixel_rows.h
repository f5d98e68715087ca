#pragma once
// Row conversions between the picture's pixels (B, G, R, X; top-down) and the 24-bit section's rows
// (B, G, R). They run once per captured frame over the whole grab, so they are plain loops over one row
// that the compiler can vectorise.

#include <cstdint>

namespace skorva {

// Copies `width` pixels of one row: 4 bytes per pixel in `source`, 3 in `target`. The buffers must not
// overlap.
void bgrxRowToBgr(const std::uint8_t* __restrict source, std::uint8_t* __restrict target, std::int32_t width);

// The other way; the fourth byte becomes 0xFF so that the pixels show as opaque.
void bgrRowToBgrx(const std::uint8_t* __restrict source, std::uint8_t* __restrict target, std::int32_t width);

}  // namespace skorva
