#include "platform/qt/qt_clipboard.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <vector>

namespace skorva {
namespace {

TEST(QtClipboard, PictureGoesThereAsAnImage) {
    // 3 x 2, rows top-down, bytes B, G, R, X; the stride leaves 4 spare bytes per row.
    std::vector<std::uint8_t> bytes(2 * 16, 0);
    auto put = [&bytes](int x, int y, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
        std::uint8_t* p = &bytes[static_cast<std::size_t>(y * 16 + x * 4)];
        p[0] = b;
        p[1] = g;
        p[2] = r;
        p[3] = 0xFF;
    };
    put(0, 0, 0, 0, 255);
    put(1, 0, 0, 255, 0);
    put(2, 0, 255, 0, 0);
    put(0, 1, 10, 20, 30);
    put(1, 1, 40, 50, 60);
    put(2, 1, 70, 80, 90);
    QtClipboard clipboard;
    {
        const Picture picture = Picture::fromPixels(3, 2, 16, PixelFormat::Bgrx32, std::move(bytes));
        ASSERT_TRUE(clipboard.setBitmap(picture));
    }
    // The picture is gone; the clipboard still holds its pixels.
    const QImage image = QGuiApplication::clipboard()->image();
    ASSERT_EQ(image.size(), QSize(3, 2));
    EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, 0xFF0000U);
    EXPECT_EQ(image.pixel(1, 0) & 0xFFFFFF, 0x00FF00U);
    EXPECT_EQ(image.pixel(2, 0) & 0xFFFFFF, 0x0000FFU);
    EXPECT_EQ(image.pixel(2, 1) & 0xFFFFFF, 0x5A5046U);

    EXPECT_FALSE(clipboard.setBitmap(Picture()));
    EXPECT_FALSE(clipboard.setBitmap(Picture::black(0, 0)));
}

}  // namespace
}  // namespace skorva
