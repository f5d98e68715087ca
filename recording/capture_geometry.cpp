#include "recording/capture_geometry.h"

namespace skorva {

SizeClass sizeClassOf(const Rect& outer) {
    constexpr std::int32_t kLargestSmallWidth = 250;
    if (outer.right - outer.left <= kLargestSmallWidth) {
        return {"Small", 44, 164};
    }
    return {"Large", 50, 170};
}

GrabRect grabRectOf(const Rect& outer, const SizeClass& sizeClass) {
    constexpr std::int32_t kSideInset = 25;
    return {outer.left + kSideInset, outer.top + sizeClass.topInset,
            (outer.right - outer.left) - 2 * kSideInset,
            (outer.bottom - outer.top) - sizeClass.heightReduction};
}

}  // namespace skorva
