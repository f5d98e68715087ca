// Pictures encoded as two strips and joined: checked by decoding against the same picture encoded whole,
// with TurboJPEG and with ffmpeg's own decoder.

#include "platform/jpeg/jpeg_strips.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/jpeg/jpeg_decoder.h"
#include "platform/jpeg/striped_jpeg_encoder.h"
#include "tests/fakes/shell.h"

namespace skorva {
namespace {

// A picture with edges, gradients and noise in every MCU, laid out as `format` asks.
struct Rows {
    std::vector<std::uint8_t> bytes;
    JpegInput input;
};

Rows picture(std::int32_t width, std::int32_t height, JpegPixels format, bool bottomUp) {
    const std::int32_t pixelBytes = format == JpegPixels::Bgrx ? 4 : 3;
    const std::int32_t pitch = width * pixelBytes + 5;
    Rows rows;
    rows.bytes.assign(static_cast<std::size_t>(pitch) * height, 0);
    std::uint32_t noise = 12345;
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* row =
            rows.bytes.data() + static_cast<std::ptrdiff_t>(pitch) * (bottomUp ? height - 1 - y : y);
        for (std::int32_t x = 0; x < width; ++x) {
            noise = noise * 1103515245u + 12345u;
            row[x * pixelBytes] = static_cast<std::uint8_t>((x * 3 + (noise >> 28)) & 0xFF);
            row[x * pixelBytes + 1] = static_cast<std::uint8_t>(((x / 7 + y / 5) % 2) * 200);
            row[x * pixelBytes + 2] = static_cast<std::uint8_t>((y * 2) & 0xFF);
        }
    }
    rows.input = {rows.bytes.data(), width, height, pitch, format, bottomUp};
    return rows;
}

std::vector<std::uint8_t> decoded(std::span<const std::uint8_t> jpeg, std::int32_t width,
                                  std::int32_t height) {
    std::vector<std::uint8_t> bgrx(static_cast<std::size_t>(width) * height * 4);
    const Status status = decodeJpegBgrx(jpeg, bgrx.data(), width, width * 4, height);
    return status ? bgrx : std::vector<std::uint8_t>{};
}

// What ffmpeg says decoding the JPEG: nothing for a sound file.
std::string ffmpegComplaints(std::span<const std::uint8_t> jpeg) {
    std::string name = (std::filesystem::temp_directory_path() / "skorva-strips-XXXXXX.jpg").string();
    const int fd = ::mkstemps(name.data(), 4);
    if (fd < 0) {
        return "no scratch file";
    }
    ::close(fd);
    std::ofstream(name, std::ios::binary)
        .write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
    const std::string said = testing::runCommand("ffmpeg -v error -i '" + name + "' -f null - 2>&1");
    std::remove(name.c_str());
    return said;
}

TEST(JpegStrips, JoinedStripsDecodeToThePixelsOfTheWholeEncode) {
    struct Case {
        std::int32_t width, height, topRows;
        JpegPixels format;
        bool bottomUp;
        JpegSubsampling subsampling;
    };
    for (const Case& c : {Case{640, 480, 256, JpegPixels::Bgrx, false, JpegSubsampling::Quarter420},
                          {351, 205, 192, JpegPixels::Bgr, true, JpegSubsampling::Quarter420},
                          {33, 17, 16, JpegPixels::Bgr, false, JpegSubsampling::Quarter420},
                          {100, 40, 24, JpegPixels::Bgrx, true, JpegSubsampling::Full444}}) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " cut at " << c.topRows
                                          << (c.bottomUp ? " bottom-up" : " top-down"));
        const Rows rows = picture(c.width, c.height, c.format, c.bottomUp);
        JpegEncoder whole;
        ASSERT_TRUE(whole.encode(rows.input, c.subsampling, 70).ok());

        JpegInput top = rows.input;
        JpegInput bottom = rows.input;
        top.height = c.topRows;
        bottom.height = c.height - c.topRows;
        (c.bottomUp ? top : bottom).pixels +=
            static_cast<std::ptrdiff_t>(rows.input.pitch) * (c.bottomUp ? bottom.height : c.topRows);
        JpegEncoder upper;
        JpegEncoder lower;
        ASSERT_TRUE(upper.encode(top, c.subsampling, 70).ok());
        ASSERT_TRUE(lower.encode(bottom, c.subsampling, 70).ok());
        ASSERT_TRUE(stripsJoinAt(c.width, c.height, c.topRows, c.subsampling));
        std::vector<std::uint8_t> joined;
        const Status status = joinJpegStrips(upper.output(), lower.output(), joined);
        ASSERT_TRUE(status.ok()) << status.text();

        const std::vector<std::uint8_t> expected = decoded(whole.output(), c.width, c.height);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(decoded(joined, c.width, c.height), expected);
        EXPECT_EQ(ffmpegComplaints(joined), "");
    }
}

TEST(JpegStrips, RefusesStripsThatDoNotMakeOnePicture) {
    const Rows rows = picture(64, 64, JpegPixels::Bgr, false);
    const auto encoded = [&](std::int32_t height, int quality) {
        JpegInput strip = rows.input;
        strip.height = height;
        JpegEncoder encoder;
        EXPECT_TRUE(encoder.encode(strip, JpegSubsampling::Quarter420, quality).ok());
        return std::vector<std::uint8_t>(encoder.output().begin(), encoder.output().end());
    };
    const std::vector<std::uint8_t> top = encoded(32, 70);
    const std::vector<std::uint8_t> taller = encoded(48, 70);
    const std::vector<std::uint8_t> otherQuality = encoded(32, 90);
    const std::vector<std::uint8_t> offRow = encoded(40, 70);
    const std::vector<std::uint8_t> cut(top.begin(), top.end() - 10);
    std::vector<std::uint8_t> withRestarts;
    ASSERT_TRUE(joinJpegStrips(top, top, withRestarts).ok());

    std::vector<std::uint8_t> joined{1, 2, 3};
    // Other tables, a strip cut short, a top strip with restarts already, a bottom strip taller than the
    // top one, a top strip not cut on an MCU row.
    for (const auto& [upper, lower] : {std::pair{top, otherQuality},
                                       {top, cut},
                                       {cut, top},
                                       {withRestarts, top},
                                       {top, taller},
                                       {offRow, top}}) {
        EXPECT_FALSE(joinJpegStrips(upper, lower, joined).ok());
        EXPECT_TRUE(joined.empty());
    }
    EXPECT_TRUE(joinJpegStrips(taller, top, joined).ok());
    // Cuts on MCU rows, the top strip at least as tall, its MCU count within 16 bits.
    EXPECT_TRUE(stripsJoinAt(16384, 2000, 1008, JpegSubsampling::Quarter420));
    EXPECT_FALSE(stripsJoinAt(16384, 2000, 1024, JpegSubsampling::Quarter420));
    EXPECT_FALSE(stripsJoinAt(640, 480, 100, JpegSubsampling::Quarter420));
    EXPECT_FALSE(stripsJoinAt(640, 480, 224, JpegSubsampling::Quarter420));
    EXPECT_TRUE(stripsJoinAt(640, 480, 240, JpegSubsampling::Quarter420));
}

TEST(StripedJpegEncoder, CutsWhereBothCoresEndTogetherAndDecodesAsOneEncode) {
    const Rows rows = picture(1280, 720, JpegPixels::Bgrx, false);
    JpegEncoder whole;
    ASSERT_TRUE(whole.encode(rows.input, JpegSubsampling::Quarter420, 70).ok());
    const std::vector<std::uint8_t> expected = decoded(whole.output(), 1280, 720);

    StripedJpegEncoder encoder;
    ASSERT_TRUE(encoder.ready().ok());
    // Nothing learnt yet: encoded whole.
    EXPECT_EQ(encoder.topRowsFor(1280, 720, JpegSubsampling::Quarter420), 0);
    // 2 ms for the picture, the caller busy 0.5 ms, the wake-up 0.1 ms: the side thread takes the top
    // 360 rows and the caller's share in time, 0.2 ms or 72 rows, on MCU rows.
    encoder.learn(0.5, 0.1, 2.0, 1280 * 720);
    EXPECT_EQ(encoder.topRowsFor(1280, 720, JpegSubsampling::Quarter420), 432);
    // Never so low that the bottom strip has more MCU rows than the top one; too short a picture, a short
    // encoding against the hand-over, or too wide a strip for a restart interval is not cut.
    encoder.learn(0, 2.0, 2.0, 1280 * 720);
    EXPECT_EQ(encoder.topRowsFor(1280, 720, JpegSubsampling::Quarter420), 368);
    EXPECT_EQ(encoder.topRowsFor(1280, 16, JpegSubsampling::Quarter420), 0);
    EXPECT_EQ(encoder.topRowsFor(16384, 4000, JpegSubsampling::Quarter420), 0);
    StripedJpegEncoder busyCaller;
    busyCaller.learn(1.9, 0.1, 2.0, 1280 * 720);
    EXPECT_EQ(busyCaller.topRowsFor(1280, 720, JpegSubsampling::Quarter420), 0);

    int calls = 0;
    for (const bool cut : {true, false}) {
        StripedJpegEncoder fresh;
        if (cut) {
            fresh.learn(0.1, 0.1, 2.0, 1280 * 720);
        }
        ASSERT_EQ(fresh.topRowsFor(1280, 720, JpegSubsampling::Quarter420) != 0, cut);
        ASSERT_TRUE(fresh.encode(rows.input, JpegSubsampling::Quarter420, 70, [&] { ++calls; }).ok());
        EXPECT_EQ(decoded(fresh.output(), 1280, 720), expected) << cut;
        // What the caller's work throws reaches the caller, and the encoder goes on.
        EXPECT_THROW(
            fresh.encode(rows.input, JpegSubsampling::Quarter420, 70, [] { throw std::runtime_error(""); }),
            std::runtime_error);
        ASSERT_TRUE(fresh.encode(rows.input, JpegSubsampling::Quarter420, 70, [] {}).ok());
        EXPECT_EQ(decoded(fresh.output(), 1280, 720), expected) << cut;
    }
    EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace skorva
