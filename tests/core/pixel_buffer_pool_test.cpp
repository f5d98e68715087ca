// The pool hands a returned buffer out again, keeps no more spares than asked, and lets a picture outlive
// it.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/picture.h"
#include "core/pixel_buffer_pool.h"

namespace skorva {
namespace {

TEST(PixelBufferPool, ReusesReturnedBuffersUpToItsLimitAndOutlivesNoPicture) {
    PixelBufferPool pool(1);
    auto first = pool.take(64);
    auto second = pool.take(64);
    const std::uint8_t* firstBytes = first->data();
    first.reset();
    second.reset();  // the shelf holds one: this one is freed
    auto again = pool.take(64);
    EXPECT_EQ(again->data(), firstBytes);

    // Another size: a buffer of that size, not the old one grown.
    again.reset();
    EXPECT_EQ(pool.take(100)->size(), 100u);

    // A picture over pooled memory keeps it alive after the pool is gone.
    Picture picture;
    {
        PixelBufferPool shortLived(2);
        auto memory = shortLived.take(4 * 2 * 2);
        memory->assign(memory->size(), 0x7F);
        const std::uint8_t* begin = memory->data();
        const std::size_t size = memory->size();
        picture = Picture::fromShared(2, 2, 8, PixelFormat::Bgrx32, begin, size, std::move(memory));
    }
    EXPECT_EQ(picture.row(1)[7], 0x7F);
}

}  // namespace
}  // namespace skorva
