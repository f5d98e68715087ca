// A frame buffer resized with its pages made ahead is what resize() would have made of it.

#include "core/frame_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace skorva {
namespace {

TEST(FrameMemory, ResizingKeepsTheBytesThereAndZeroesTheNewOnes) {
    // Sizes from none to many pages, growing and shrinking, from a buffer that holds 0xAB where it reaches.
    const std::size_t cases[][2] = {{0, 1 << 20}, {5, 3 << 20}, {300000, 8193}, {8193, 8193}, {4096, 0}};
    for (const auto& [from, to] : cases) {
        SCOPED_TRACE(std::to_string(from) + " to " + std::to_string(to));
        std::vector<std::uint8_t> buffer(from, 0xAB);
        std::vector<std::uint8_t> expected = buffer;
        expected.resize(to);
        resizeFrameBuffer(buffer, to);
        EXPECT_EQ(buffer, expected);
    }
}

}  // namespace
}  // namespace skorva
