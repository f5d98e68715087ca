// Motion JPEG made from the DIB rows as they are handed over: every row layout the library accepts must
// come out upright and close to the source when FFmpeg decodes the movie.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/avi/avifile.h"
#include "platform/avi/codecs.h"
#include "tests/movie/movie_test_support.h"

namespace skorva::avi {
namespace {

using testing::bitmapInfo;
using testing::LibraryUse;

using testing::decodeMovie;
using testing::ScratchFolder;

constexpr std::int32_t kWidth = 37;  // rows padded to 4 bytes, an odd number of chroma blocks
constexpr std::int32_t kHeight = 21;

// Smooth content that differs between top and bottom, left and right: a flipped or mirrored frame fails.
std::vector<std::uint8_t> expectedPicture(int frame) {
    std::vector<std::uint8_t> bgr;
    for (std::int32_t y = 0; y < kHeight; ++y) {
        for (std::int32_t x = 0; x < kWidth; ++x) {
            bgr.push_back(static_cast<std::uint8_t>(x * 6));
            bgr.push_back(static_cast<std::uint8_t>(y * 11 + frame * 5));
            bgr.push_back(static_cast<std::uint8_t>(200 - y * 8));
        }
    }
    return bgr;
}

// The same picture laid out as DIB rows: bottom-up for a positive height, 3 or 4 bytes a pixel.
std::vector<std::uint8_t> dibRows(const std::vector<std::uint8_t>& bgr, bool bottomUp, int bytesPerPixel,
                                  std::int64_t stride) {
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(stride * kHeight), 0x77);
    for (std::int32_t y = 0; y < kHeight; ++y) {
        const std::int32_t memoryRow = bottomUp ? kHeight - 1 - y : y;
        for (std::int32_t x = 0; x < kWidth; ++x) {
            for (int c = 0; c < 3; ++c) {
                rows[static_cast<std::size_t>(memoryRow * stride + x * bytesPerPixel + c)] =
                    bgr[static_cast<std::size_t>((y * kWidth + x) * 3 + c)];
            }
        }
    }
    return rows;
}

TEST(MotionJpeg, EveryRowLayoutAndQualityGivesUprightFramesFFmpegDecodes) {
    struct Case {
        const char* name;
        std::uint16_t bitCount;
        bool bottomUp;
        std::uint32_t quality;
        std::uint32_t bytesPerSecond;  // asked for: libavcodec's rate control instead
    };
    const Case cases[] = {
        {"24-bit bottom-up, default quality", 24, true, 0, 0},
        {"24-bit top-down, quality 7500", 24, false, 7500, 0},
        {"32-bit bottom-up, best quality", 32, true, 10000, 0},
        {"24-bit bottom-up, worst quality", 24, true, 1, 0},
        {"24-bit bottom-up with a data rate", 24, true, 7500, 200000},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        LibraryUse use;
        ScratchFolder folder;
        const std::string path = folder.file("movie.avi");
        PAVIFILE file = 0;
        ASSERT_EQ(AVIFileOpen(&file, path, OF_WRITE | OF_CREATE, nullptr), AVIERR_OK);
        AVISTREAMINFO header;
        header.fccType = mmioStringToFOURCC("vids", 0);
        header.dwScale = 1;
        header.dwRate = 4;
        header.rcFrame = Rect{0, 0, kWidth, kHeight};
        PAVISTREAM source = 0;
        ASSERT_EQ(AVIFileCreateStream(file, &source, &header), AVIERR_OK);
        AVICOMPRESSOPTIONS options;
        options.fccHandler = makeFourcc("MJPG");
        options.quality = each.quality;
        options.bytesPerSecond = each.bytesPerSecond;
        PAVISTREAM compressed = 0;
        ASSERT_EQ(AVIMakeCompressedStream(&compressed, source, &options, nullptr), AVIERR_OK);
        const int bytesPerPixel = each.bitCount / 8;
        const std::int64_t stride = (kWidth * bytesPerPixel + 3) / 4 * 4;
        const auto format = bitmapInfo(kWidth, each.bottomUp ? kHeight : -kHeight, each.bitCount);
        ASSERT_EQ(AVIStreamSetFormat(compressed, 0, format.data(), 40), AVIERR_OK);
        for (int i = 0; i < 3; ++i) {
            const auto rows = dibRows(expectedPicture(i), each.bottomUp, bytesPerPixel, stride);
            // A sample shorter than a frame would be read past its end.
            EXPECT_EQ(
                AVIStreamWrite(compressed, i, 1, rows.data(), static_cast<std::int32_t>(rows.size() - 1),
                               AVIIF_KEYFRAME, nullptr, nullptr),
                AVIERR_BADSIZE);
            ASSERT_EQ(AVIStreamWrite(compressed, i, 1, rows.data(), static_cast<std::int32_t>(rows.size()),
                                     AVIIF_KEYFRAME, nullptr, nullptr),
                      AVIERR_OK);
        }
        AVIStreamRelease(source);
        AVIStreamRelease(compressed);
        AVIFileRelease(file);

        const auto movie = decodeMovie(path);
        ASSERT_TRUE(movie.opened);
        EXPECT_EQ(movie.codec, "mjpeg");
        EXPECT_EQ(movie.codecTag, makeFourcc("MJPG"));
        EXPECT_EQ(movie.width, kWidth);
        EXPECT_EQ(movie.height, kHeight);
        EXPECT_EQ(movie.rateNum, 4);
        EXPECT_EQ(movie.keyPackets, 3);
        ASSERT_EQ(movie.frames.size(), 3u);
        // Even the worst quality keeps the picture's layout; libavcodec's rate control starts coarse on
        // three tiny frames; the others are close to the source.
        const double least = each.quality == 1 ? 15.0 : each.bytesPerSecond > 0 ? 25.0 : 30.0;
        for (int i = 0; i < 3; ++i) {
            EXPECT_GE(testing::psnr(movie.frames[static_cast<std::size_t>(i)], expectedPicture(i)), least)
                << "frame " << i;
        }
        const auto headers = testing::readAviHeaders(path);
        EXPECT_EQ(headers.fccHandler, makeFourcc("MJPG"));
        EXPECT_EQ(headers.biCompression, makeFourcc("MJPG"));
        EXPECT_EQ(headers.dwLength, 3u);
    }
}

TEST(MotionJpeg, AFrameTooLargeForOneJpegBufferIsRefusedNotOverflowed) {
    LibraryUse use;
    ScratchFolder folder;
    const std::string path = folder.file("huge.avi");
    PAVIFILE file = 0;
    ASSERT_EQ(AVIFileOpen(&file, path, OF_WRITE | OF_CREATE, nullptr), AVIERR_OK);
    AVISTREAMINFO header;
    header.fccType = mmioStringToFOURCC("vids", 0);
    header.dwScale = 1;
    header.dwRate = 1;
    header.rcFrame = Rect{0, 0, 40000, 40000};  // its worst-case JPEG is beyond 2 GiB
    PAVISTREAM source = 0;
    ASSERT_EQ(AVIFileCreateStream(file, &source, &header), AVIERR_OK);
    AVICOMPRESSOPTIONS options;
    options.fccHandler = makeFourcc("MJPG");
    PAVISTREAM compressed = 0;
    EXPECT_EQ(AVIMakeCompressedStream(&compressed, source, &options, nullptr), AVIERR_BADSIZE);
    EXPECT_EQ(compressed, 0u);
    AVIStreamRelease(source);
    AVIFileRelease(file);
}

}  // namespace
}  // namespace skorva::avi
