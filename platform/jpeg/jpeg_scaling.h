#pragma once
// The choice of a reduced decoding scale, the same whichever library decodes.

#include <span>

#include "platform/jpeg/jpeg_decoder.h"

namespace skorva {

// A scale of num/denom, each side rounded up.
struct ScaleFraction {
    int num = 1;
    int denom = 1;
};

// The smallest size among the reduced scales (num < denom) that still covers `cover` on both sides; the
// declared size itself where none does.
JpegSize smallestScaleCovering(JpegSize declared, JpegSize cover, std::span<const ScaleFraction> scales);

}  // namespace skorva
