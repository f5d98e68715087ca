#pragma once
// Where the video picture lies inside a viewer window: the size class follows from the outer width,
// and each class has its own insets. Pure arithmetic, 32-bit signed as the grab takes it.

#include <cstdint>
#include <string_view>

#include "core/types.h"

namespace skorva {

struct GrabRect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t width;
    std::int32_t height;
    friend bool operator==(const GrabRect&, const GrabRect&) = default;
};

struct SizeClass {
    std::string_view caption;  // "Small" or "Large"
    std::int32_t topInset;
    std::int32_t heightReduction;
};

// "Small" up to 250 pixels wide (inset 44, reduction 164), "Large" above (inset 50, reduction 170).
SizeClass sizeClassOf(const Rect& outer);

// 25 pixels off at the left and right, the class's inset at the top, 120 pixels off at the bottom.
GrabRect grabRectOf(const Rect& outer, const SizeClass& sizeClass);

}  // namespace skorva
