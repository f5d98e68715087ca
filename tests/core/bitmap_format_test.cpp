#include "core/bitmap_format.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace skorva {
namespace {

TEST(BitmapFormat, HeadersAreWrittenAndReadFieldByFieldLittleEndian) {
    // Every field a different value, negative ones and high bytes included, so that a swapped, shifted or
    // narrowed field shows.
    const BitmapFileHeader file{.bfType = kBitmapFileType,
                                .bfSize = 0x01020304,
                                .bfReserved1 = -2,
                                .bfReserved2 = 0x0506,
                                .bfOffBits = -0x789ABCDF};
    const std::vector<std::uint8_t> fileBytes = {'B',  'M',  0x04, 0x03, 0x02, 0x01, 0xFE,
                                                 0xFF, 0x06, 0x05, 0x21, 0x43, 0x65, 0x87};
    const BitmapInfoHeader info{.biSize = 40,
                                .biWidth = 640,
                                .biHeight = -480,
                                .biPlanes = 1,
                                .biBitCount = -24,
                                .biCompression = 0x33323159,
                                .biSizeImage = 0x7FFFFFFF,
                                .biXPelsPerMeter = 2835,
                                .biYPelsPerMeter = -1,
                                .biClrUsed = 256,
                                .biClrImportant = static_cast<std::int32_t>(0x80000000u)};
    const std::vector<std::uint8_t> infoBytes = {40,   0,    0,    0,    0x80, 2,    0,    0,    0x20, 0xFE,
                                                 0xFF, 0xFF, 1,    0,    0xE8, 0xFF, 0x59, 0x31, 0x32, 0x33,
                                                 0xFF, 0xFF, 0xFF, 0x7F, 0x13, 0x0B, 0,    0,    0xFF, 0xFF,
                                                 0xFF, 0xFF, 0,    1,    0,    0,    0,    0,    0,    0x80};

    const auto writtenFile = bitmapFileHeaderBytes(file);
    EXPECT_EQ(std::vector<std::uint8_t>(writtenFile.begin(), writtenFile.end()), fileBytes);
    const auto writtenInfo = bitmapInfoHeaderBytes(info);
    EXPECT_EQ(std::vector<std::uint8_t>(writtenInfo.begin(), writtenInfo.end()), infoBytes);
    EXPECT_EQ(readBitmapFileHeader(fileBytes.data(), 14), file);
    EXPECT_EQ(readBitmapInfoHeader(infoBytes.data(), 40), info);

    // Too few bytes, or none, hold no header.
    EXPECT_FALSE(readBitmapFileHeader(fileBytes.data(), 13));
    EXPECT_FALSE(readBitmapInfoHeader(infoBytes.data(), 39));
    EXPECT_FALSE(readBitmapInfoHeader(nullptr, 40));
    EXPECT_FALSE(readBitmapInfoHeader(infoBytes.data(), -1));
}

TEST(BitmapFormat, RowsArePaddedToFourBytes) {
    struct Case {
        std::int32_t width;
        std::int32_t bitCount;
        std::int64_t stride;
    };
    for (const Case& c : {Case{1, 24, 4},
                          {2, 24, 8},
                          {3, 24, 12},
                          {4, 24, 12},
                          {5, 24, 16},
                          {320, 24, 960},
                          {0, 24, 0},
                          {1, 1, 4},
                          {33, 1, 8},
                          {3, 8, 4},
                          {5, 8, 8},
                          {3, 16, 8},
                          {3, 32, 12}}) {
        SCOPED_TRACE(::testing::Message() << c.width << " x " << c.bitCount << " bits");
        EXPECT_EQ(scanLineBytes(c.width, c.bitCount), c.stride);
        if (c.bitCount == 24) {
            EXPECT_EQ(BytesPerScanLine(c.width), c.stride);
        }
    }
    // The system's rule in its own 32-bit arithmetic: the largest width that fits, one past it, and the
    // rounding down of a negative width.
    EXPECT_EQ(BytesPerScanLine(715'827'881), 2'147'483'644);
    EXPECT_THROW(BytesPerScanLine(715'827'882), std::overflow_error);
    EXPECT_EQ(BytesPerScanLine(-2), -4);
}

TEST(BitmapFormat, TheRowsOfAHeaderAndTheHeadersOfA24BitFile) {
    const auto rows = [](std::int32_t width, std::int32_t height, std::int16_t bitCount,
                         std::int32_t compression) {
        return rowsLength(
            {.biWidth = width, .biHeight = height, .biBitCount = bitCount, .biCompression = compression});
    };
    EXPECT_EQ(rows(3, 2, 24, kBiRgb), 24);
    EXPECT_EQ(rows(7, -4, 24, kBiRgb), 96);  // top-down
    EXPECT_EQ(rows(7, 3, 16, kBiBitfields), 48);
    EXPECT_EQ(rows(7, 3, 24, 1), -1);  // compressed: the rows say nothing of its length
    EXPECT_EQ(rows(0, 3, 24, kBiRgb), -1);
    EXPECT_EQ(rows(3, 0, 24, kBiRgb), -1);
    EXPECT_EQ(rows(3, 2, 0, kBiRgb), -1);
    EXPECT_EQ(rows(0x7FFFFFFF, 0x7FFFFFFF, 32, kBiRgb), -1);

    const BitmapInfoHeader info = bitmapInfoHeader24(5, 3);
    EXPECT_EQ(
        info,
        (BitmapInfoHeader{
            .biSize = 40, .biWidth = 5, .biHeight = 3, .biPlanes = 1, .biBitCount = 24, .biSizeImage = 48}));
    EXPECT_EQ(bitmapFileHeaderFor(info),
              (BitmapFileHeader{.bfType = kBitmapFileType, .bfSize = 102, .bfOffBits = 54}));
    // The stride fits 32 bits, stride x height does not.
    EXPECT_THROW(bitmapInfoHeader24(100'000, 100'000), std::overflow_error);
}

}  // namespace
}  // namespace skorva
