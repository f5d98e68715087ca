// The copying Motion JPEG entry: the recorded JPEG files go into the movie as they are where every common
// reader decodes them, and any other file (damaged, of another size, of another kind) is encoded anew in
// the first frame's layout, with a closing note; FFmpeg and GStreamer decode every frame of the movie.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "movie/avi_writer.h"
#include "tests/movie/movie_test_support.h"

namespace skorva::testing {
namespace {

TEST(CopyingEntry, PutsTheRecordedJpegsInAsTheyAreAndEncodesOnlyTheFailingOnesAnew) {
    const std::uint32_t copying = fourcc("MJPC");
    struct Case {
        const char* name;
        const char* damage;  // of f3.jpg: "", "truncated", "header", "size", "no header", or the options that
                             // remake it ("cjpeg ..." or "convert ...")
        const char* why;     // what the closing note says of it; empty: no note
        bool everyFrame = false;  // the damage is done to every frame, not only f3.jpg
    };
    const std::string otherKind =
        "of a kind not every player reads (progressive, arithmetic-coded, 12-bit, CMYK or RGB) or sampled "
        "otherwise than the first frame";
    const Case cases[] = {
        {"good frames", "", ""},
        {"a truncated frame", "truncated", "damaged or cut short"},
        {"a frame with a damaged header", "header", "damaged or cut short"},
        {"a frame of another size", "size", "of another size than the first frame"},
        {"a frame no decoder reads", "no header", ""},
        {"an arithmetic-coded frame", "cjpeg -arithmetic", otherKind.c_str()},
        {"a progressive frame", "cjpeg -progressive", otherKind.c_str()},
        {"an RGB frame", "cjpeg -rgb", otherKind.c_str()},
        {"a frame sampled 4:4:4 among 4:2:0 ones", "cjpeg -sample 1x1", otherKind.c_str()},
        {"a CMYK frame", "convert -colorspace CMYK", otherKind.c_str()},
        // FFmpeg's own Motion JPEG samples 4:4:4 as 1x2 for every component.
        {"frames sampled 4:4:4 as 1x2", "cjpeg -sample 1x2,1x2,1x2", "", true},
    };
    constexpr char kStartOfFrame[] = {'\xFF', '\xC0'};
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        ScratchFolder folder;
        std::vector<std::string> frames;
        for (int i = 0; i < 6; ++i) {
            frames.push_back(folder.file("f" + std::to_string(i) + ".jpg"));
            writeJpeg(frames.back(), 161, 120, i * 7);
        }
        const std::string damage = each.damage;
        const std::vector<std::uint8_t> original = expectedFrame(frames[3]);
        const bool remade = damage.rfind("cjpeg", 0) == 0 || damage.rfind("convert", 0) == 0;
        for (std::size_t i = each.everyFrame ? 0 : 3; i < (each.everyFrame ? frames.size() : 4); ++i) {
            const std::string& damaged = frames[i];
            if (damage == "truncated") {
                std::filesystem::resize_file(damaged, std::filesystem::file_size(damaged) / 2);
            } else if (damage == "header" || damage == "no header") {
                std::vector<char> bytes = fileBytes(damaged);
                if (damage == "header") {
                    // The frame header's height is damaged: the size check fails, the decoder fills the rows
                    // that have no data.
                    const auto frameHeader =
                        std::search(bytes.begin(), bytes.end(), kStartOfFrame, kStartOfFrame + 2);
                    ASSERT_NE(frameHeader, bytes.end());
                    frameHeader[5] = 0;
                    frameHeader[6] = static_cast<char>(200);
                } else {
                    // Stray bytes where the first marker belongs: no decoder reads this file.
                    bytes.insert(bytes.begin() + 2, {'\x00', '\x11', '\x22'});
                }
                std::ofstream(damaged, std::ios::binary | std::ios::trunc)
                    .write(bytes.data(), static_cast<long>(bytes.size()));
            } else if (damage == "size") {
                writeJpeg(damaged, 80, 60, 21);
            } else if (damage.rfind("cjpeg", 0) == 0) {
                // The same picture, made again by another encoder in another kind of JPEG.
                runCommand("djpeg -pnm '" + damaged + "' > '" + damaged + ".ppm' && " + damage + " '" +
                           damaged + ".ppm' > '" + damaged + "' && rm '" + damaged + ".ppm'");
            } else if (damage.rfind("convert", 0) == 0) {
                runCommand("convert '" + damaged + "' " + damage.substr(8) + " '" + damaged + "'");
            }
        }
        const std::string output = folder.file("movie.avi");
        ScriptedUser user(output, copying);
        FakeWriterView view(folder.path().string());
        // The first frame is on show once the movie has its format, and is not decoded again for it.
        const std::vector<std::uint8_t> first = expectedFrame(frames[0]);
        int firstShown = 0;
        view.onShow = [&](int, Picture& preview) { firstShown += bgrRows(preview) == first; };
        aviwrite_Click(view, user.messages);
        EXPECT_EQ(firstShown, 1);
        if (damage == "no header") {
            // As with every codec, a frame that cannot be decoded ends the write; the frames before it stay.
            ASSERT_FALSE(user.messages.messages.empty());
            EXPECT_NE(user.messages.texts()[0].find("Could not decode frame:"), std::string::npos);
            EXPECT_EQ(decodeMovie(output).frames.size(), 3u);
            continue;
        }
        const std::string why = each.why;
        EXPECT_EQ(user.messages.texts(),
                  why.empty()
                      ? std::vector<std::string>{}
                      : std::vector<std::string>{"1 of the movie's 6 frames were encoded anew, not copied "
                                                 "as they are: 1 " +
                                                 why + "."});

        const auto movie = decodeMovie(output);
        ASSERT_EQ(movie.frames.size(), 6u);
        EXPECT_EQ(movie.codecTag, fourcc("MJPG"));
        EXPECT_EQ(movie.keyPackets, 6);
        for (const auto& frame : movie.frames) {
            EXPECT_EQ(frame.size(), 161u * 120u * 3u);
        }
        // A frame of another kind is the same picture, colours and all, in the movie's kind (encoded twice:
        // about 27 dB; wrong colours would give less than 15).
        if (remade) {
            EXPECT_GT(psnr(movie.frames[3], original), 24.0);
        }
        // Every frame decodes in both FFmpeg and GStreamer, without a word.
        EXPECT_EQ(runCommand("ffmpeg -nostdin -v error -i '" + output + "' -f null -"), "");
        EXPECT_EQ(runCommand("gst-launch-1.0 -q filesrc location='" + output +
                             "' ! avidemux ! jpegdec ! fakesink || echo failed"),
                  "");
        // Bit-exact: the movie decodes to what the JPEG files decode to, the frame encoded anew aside.
        const std::vector<std::string> inMovie = frameChecksums(output);
        ASSERT_EQ(inMovie.size(), 6u);
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const std::vector<std::string> inFile = frameChecksums(frames[i]);
            if (why.empty() || i != 3) {
                ASSERT_EQ(inFile.size(), 1u);
                EXPECT_EQ(inMovie[i], inFile[0]) << "frame " << i;
            } else if (!inFile.empty()) {
                EXPECT_NE(inMovie[i], inFile[0]) << "frame " << i;
            }
        }
    }
}

}  // namespace
}  // namespace skorva::testing
