// The memory a grab fills without clearing it first: the picture over it owns it as it is.

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "core/picture.h"

namespace skorva::testing {
namespace {

TEST(FrameMemory, PictureOverABufferOwnsItWithoutCopyingAndChecksItsSize) {
    PixelBuffer buffer = PixelBuffer::uninitialised(3 * 2 * 4);
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        buffer.data()[i] = static_cast<std::uint8_t>(i);
    }
    const std::uint8_t* memory = buffer.data();
    std::shared_ptr<const void> keep;
    {
        const Picture picture = Picture::fromBuffer(3, 2, 12, PixelFormat::Bgrx32, std::move(buffer));
        EXPECT_EQ(picture.bits(), memory);
        EXPECT_EQ(picture.byteCount(), 24u);
        EXPECT_EQ(picture.row(1)[0], 12);
        const Picture copy = picture;
        EXPECT_EQ(copy, picture);
        keep = picture.keepAlive();
    }
    // A view that holds the pixels still reads them after the last picture has gone.
    EXPECT_EQ(memory[23], 23);
    keep.reset();

    EXPECT_THROW(Picture::fromBuffer(3, 2, 12, PixelFormat::Bgrx32, PixelBuffer::uninitialised(23)),
                 std::invalid_argument);
    EXPECT_THROW(Picture::fromBuffer(4, 2, 12, PixelFormat::Bgrx32, PixelBuffer::uninitialised(24)),
                 std::invalid_argument);
    EXPECT_THROW(Picture::fromBuffer(-1, 2, 12, PixelFormat::Bgrx32, PixelBuffer::uninitialised(24)),
                 std::invalid_argument);
    const Picture empty = Picture::fromBuffer(0, 0, 0, PixelFormat::Bgrx32, PixelBuffer());
    EXPECT_FALSE(empty.isNull());
    EXPECT_TRUE(empty.isEmpty());
}

}  // namespace
}  // namespace skorva::testing
