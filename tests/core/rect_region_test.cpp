// The region of a window still to repaint, against a plain grid of pixels.

#include "core/rect_region.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>

namespace skorva {
namespace {

constexpr int kSide = 24;
using Grid = std::array<std::array<bool, kSide>, kSide>;

Grid paint(const RectRegion& region) {
    Grid grid{};
    for (const Rect& rect : region.rects()) {
        for (int y = rect.top; y < rect.bottom; ++y) {
            for (int x = rect.left; x < rect.right; ++x) {
                // Disjoint: no pixel twice.
                EXPECT_FALSE(grid[y][x]) << x << "," << y;
                grid[y][x] = true;
            }
        }
    }
    return grid;
}

void set(Grid& grid, const Rect& rect, bool value) {
    for (int y = std::max(rect.top, 0); y < std::min(rect.bottom, kSide); ++y) {
        for (int x = std::max(rect.left, 0); x < std::min(rect.right, kSide); ++x) {
            grid[y][x] = value;
        }
    }
}

// Rectangles that overlap, nest, touch, lie apart or are empty, in a random order that is the same on
// every run.
TEST(RectRegion, AddSubtractAndWithinAgreeWithAGridOfPixels) {
    std::mt19937 random(19);
    std::uniform_int_distribution<int> coordinate(0, kSide);
    for (int round = 0; round < 200; ++round) {
        RectRegion region;
        Grid expected{};
        for (int step = 0; step < 12; ++step) {
            const int x1 = coordinate(random), x2 = coordinate(random);
            const int y1 = coordinate(random), y2 = coordinate(random);
            const Rect rect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
            const bool adding = step % 3 != 2;
            if (adding) {
                region.add(rect);
            } else {
                region.subtract(rect);
            }
            set(expected, rect, adding);
            ASSERT_EQ(paint(region), expected) << "round " << round << " step " << step;
        }
        const Rect bounds{5, 3, 17, 20};
        Grid inside{};
        for (int y = bounds.top; y < bounds.bottom; ++y) {
            for (int x = bounds.left; x < bounds.right; ++x) {
                inside[y][x] = expected[y][x];
            }
        }
        EXPECT_EQ(paint(region.within(bounds)), inside) << "round " << round;
        EXPECT_EQ(region.within(bounds).empty(), inside == Grid{});
    }
}

}  // namespace
}  // namespace skorva
