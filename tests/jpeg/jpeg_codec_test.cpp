// The TurboJPEG backend, checked against the library itself: what the encoder writes is decoded here
// without the backend's decoder.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/jpeg/jpeg_decoder.h"
#include "platform/jpeg/jpeg_encoder.h"
#include "platform/jpeg/turbojpeg_handle.h"

namespace skorva {
namespace {

constexpr int kWidth = 40;
constexpr int kHeight = 24;

// The picture's pixel (x, y), y from the top, as blue, green, red: smooth, and redder towards the bottom,
// so that a flipped or sheared image shows.
std::uint8_t channel(int x, int y, int k) {
    return static_cast<std::uint8_t>(k == 0 ? 60 + 2 * x : k == 1 ? 120 - x : 30 + 8 * y);
}

// The picture laid out in `format`, `padding` bytes after each row, bottom row first when asked.
std::vector<std::uint8_t> layOut(JpegPixels format, int padding, bool bottomUp) {
    const int pixelBytes = format == JpegPixels::Bgrx ? 4 : 3;
    const int pitch = kWidth * pixelBytes + padding;
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(pitch) * kHeight, 0xAA);
    for (int y = 0; y < kHeight; ++y) {
        std::uint8_t* row = rows.data() + pitch * (bottomUp ? kHeight - 1 - y : y);
        for (int x = 0; x < kWidth; ++x) {
            for (int k = 0; k < 3; ++k) {
                row[x * pixelBytes + (format == JpegPixels::Rgb ? 2 - k : k)] = channel(x, y, k);
            }
        }
    }
    return rows;
}

// The largest difference of any channel between the decoded JPEG and the picture; 255 when it does not
// decode to the picture's size.
int largestError(std::span<const std::uint8_t> jpeg) {
    const TurboJpegHandle decoder(tjInitDecompress());
    std::vector<std::uint8_t> bgr(kWidth * kHeight * 3);
    if (tjDecompress2(decoder.get(), jpeg.data(), jpeg.size(), bgr.data(), kWidth, kWidth * 3, kHeight,
                      TJPF_BGR, 0) != 0) {
        return 255;
    }
    int error = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            for (int k = 0; k < 3; ++k) {
                error = std::max(error, std::abs(bgr[(y * kWidth + x) * 3 + k] - channel(x, y, k)));
            }
        }
    }
    return error;
}

TEST(JpegEncoder, EncodesEveryLayoutUprightFromItsPitch) {
    struct Case {
        JpegPixels format;
        int padding;
        bool bottomUp;
    };
    JpegEncoder encoder;
    ASSERT_TRUE(encoder.ready().ok());
    for (const Case& c : {Case{JpegPixels::Bgr, 0, true},
                          {JpegPixels::Bgr, 3, true},
                          {JpegPixels::Bgrx, 0, false},
                          {JpegPixels::Bgrx, 8, true},
                          {JpegPixels::Rgb, 1, false}}) {
        SCOPED_TRACE(::testing::Message() << static_cast<int>(c.format) << " padding " << c.padding
                                          << (c.bottomUp ? " bottom-up" : " top-down"));
        const std::vector<std::uint8_t> rows = layOut(c.format, c.padding, c.bottomUp);
        const int pitch = static_cast<int>(rows.size()) / kHeight;
        const Status encoded = encoder.encode({rows.data(), kWidth, kHeight, pitch, c.format, c.bottomUp},
                                              JpegSubsampling::Full444, 95);
        ASSERT_TRUE(encoded.ok()) << encoded.text();
        EXPECT_LE(largestError(encoder.output()), 8);
    }
}

TEST(JpegEncoder, KeepsItsBufferAcrossFramesAndGrowsItOnlyForLargerOnes) {
    JpegEncoder encoder;
    const std::vector<std::uint8_t> rows = layOut(JpegPixels::Bgr, 0, false);
    const JpegInput frame{rows.data(), kWidth, kHeight, kWidth * 3, JpegPixels::Bgr, false};
    ASSERT_TRUE(encoder.encode(frame, JpegSubsampling::Quarter420, 70).ok());
    const std::uint8_t* buffer = encoder.output().data();
    const std::size_t capacity = encoder.capacity();
    EXPECT_EQ(capacity, jpegWorstCaseSize(kWidth, kHeight, JpegSubsampling::Quarter420));

    // The same frame again, and a smaller one, go into the same buffer.
    ASSERT_TRUE(encoder.encode(frame, JpegSubsampling::Quarter420, 70).ok());
    EXPECT_EQ(encoder.output().data(), buffer);
    ASSERT_TRUE(encoder
                    .encode({rows.data(), kWidth / 2, kHeight / 2, kWidth * 3, JpegPixels::Bgr, false},
                            JpegSubsampling::Quarter420, 70)
                    .ok());
    EXPECT_EQ(encoder.output().data(), buffer);
    EXPECT_EQ(encoder.capacity(), capacity);

    // A size whose worst case passes tjAlloc's int is refused without losing the buffer.
    EXPECT_EQ(encoder.reserve(100'000, 100'000, JpegSubsampling::Full444).text(), std::strerror(ENOMEM));
    EXPECT_EQ(encoder.capacity(), capacity);
    EXPECT_TRUE(encoder.reserve(kWidth * 4, kHeight * 4, JpegSubsampling::Quarter420).ok());
    EXPECT_GT(encoder.capacity(), capacity);
}

TEST(JpegEncoder, ABadCallFailsWithTheLibrarysTextAndTheEncoderGoesOn) {
    JpegEncoder encoder;
    const std::vector<std::uint8_t> rows = layOut(JpegPixels::Bgr, 0, false);
    const JpegInput frame{rows.data(), kWidth, kHeight, kWidth * 3, JpegPixels::Bgr, false};
    JpegInput noPixels = frame;
    noPixels.pixels = nullptr;
    JpegInput noWidth = frame;
    noWidth.width = 0;
    for (const auto& [input, quality] : {std::pair{noPixels, 70}, {frame, 101}, {noWidth, 70}}) {
        const Status status = encoder.encode(input, JpegSubsampling::Quarter420, quality);
        ASSERT_FALSE(status.ok());
        EXPECT_THAT(status.text(), ::testing::HasSubstr("Invalid argument"));
        EXPECT_TRUE(encoder.output().empty());
    }
    ASSERT_TRUE(encoder.encode(frame, JpegSubsampling::Quarter420, 70).ok());
    EXPECT_LE(largestError(encoder.output()), 40);
}

TEST(JpegDecoder, ReadsTheSizeFromTheHeaderAndDecodesOnlyWholeFiles) {
    JpegEncoder encoder;
    const std::vector<std::uint8_t> rows = layOut(JpegPixels::Bgr, 0, false);
    ASSERT_TRUE(encoder
                    .encode({rows.data(), kWidth, kHeight, kWidth * 3, JpegPixels::Bgr, false},
                            JpegSubsampling::Full444, 95)
                    .ok());
    const std::vector<std::uint8_t> jpeg(encoder.output().begin(), encoder.output().end());

    // A prefix that ends inside the image data holds the whole header.
    const auto size = readJpegSize(std::span(jpeg).first(jpeg.size() - 20));
    ASSERT_TRUE(size.has_value());
    EXPECT_EQ(size->width, kWidth);
    EXPECT_EQ(size->height, kHeight);
    EXPECT_FALSE(readJpegSize(std::span(jpeg).first(10)).has_value());

    std::vector<std::uint8_t> bgrx(kWidth * kHeight * 4);
    ASSERT_TRUE(decodeJpegBgrx(jpeg, bgrx.data(), kWidth, kWidth * 4, kHeight).ok());
    EXPECT_NEAR(bgrx[((kHeight - 1) * kWidth + 3) * 4 + 2], channel(3, kHeight - 1, 2), 8);
    EXPECT_EQ(bgrx[3], 0xFF);
    // A file cut short decodes with a warning: a failure, in the library's words.
    const Status cut =
        decodeJpegBgrx(std::span(jpeg).first(jpeg.size() - 20), bgrx.data(), kWidth, kWidth * 4, kHeight);
    ASSERT_FALSE(cut.ok());
    EXPECT_FALSE(cut.text().empty());
}

}  // namespace
}  // namespace skorva
