#include "movie/avi_writer.h"
#include "movie/frame_rate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <string_view>
#include <thread>

#include "imaging/picture_files.h"
#include "movie/cdib.h"
#include "platform/avi/codecs.h"
#include "tests/fakes/message_recorder.h"
#include "tests/fakes/scripted_dialogs.h"
#include "tests/movie/movie_test_support.h"

namespace skorva {
namespace {

using testing::decodeMovie;
using testing::expectedFrame;
using testing::FakeWriterView;
using testing::FileDialogAnswer;
using testing::fourcc;
using testing::frameChecksums;
using testing::MessageRecorder;
using testing::ScratchFolder;
using testing::ScriptedCodecChooser;
using testing::ScriptedFileDialogs;
using testing::writeJpeg;

using testing::ScriptedUser;

TEST(FrameRate, TakesTheLeadingNumberRoundedHalfToEvenWithin1To30) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"0", 1},      {"-5", 1},      {"", 1},    {"abc", 1},   {"31", 30},   {"100", 30}, {"2.5", 2},
        {"3.5", 4},    {"12 fps", 12}, {"3", 3},   {" 1 2", 12}, {"\t7\n", 7}, {"+8", 8},   {"1e1", 10},
        {"2d1", 20},   {"29.5", 30},   {"0.5", 1}, {"1.5", 2},   {"inf", 1},   {"nan", 1},  {"1e400", 30},
        {"1e-400", 1}, {"-1e400", 1},  {".", 1},   {"5.", 5},    {"6,5", 6},   {"9e", 9},   {"--3", 1},
    };
    for (const auto& [text, rate] : cases) {
        EXPECT_EQ(frameRateFromText(text), rate) << "text \"" << text << "\"";
    }
}

TEST(AviWriter, WritesFullFramesUprightInNameOrderAndLeavesTheTemporaryBitmap) {
    ScratchFolder folder;
    // Names sort as text: a1, a10, a2. Bitmap frames and the output file lie beside them.
    writeJpeg(folder.file("a1.jpg"), 50, 36, 1);
    writeJpeg(folder.file("a10.jpg"), 50, 36, 10);
    writeJpeg(folder.file("a2.jpg"), 50, 36, 2);
    std::ofstream(folder.file("a3.bmp")) << "not a frame";
    const std::string output = folder.file("MyAVI.avi");
    ScriptedUser user(output, 0);
    FakeWriterView view(folder.path().string(), "12 fps");

    aviwrite_Click(view, user.messages);

    EXPECT_TRUE(user.messages.messages.empty()) << user.messages.texts()[0];
    ASSERT_EQ(user.dialogs.calls.size(), 1u);
    const OpenFileName& request = user.dialogs.calls[0].record;
    EXPECT_EQ(user.dialogs.calls[0].kind, FileDialogKind::Save);
    EXPECT_EQ(request.title, "Choose a filename to save AVI to...");
    EXPECT_EQ(request.defExt, "avi");
    EXPECT_STREQ(request.file.c_str(), "MyAVI.avi");  // the dialog's buffer is padded
    EXPECT_EQ(request.owner, 0x2Au);
    const char kFilter[] = "AVI Files\0*.avi\0MP4 Files\0*.mp4\0Matroska Files\0*.mkv\0\0";
    EXPECT_EQ(request.filter, std::string(kFilter, sizeof kFilter - 1));
    EXPECT_EQ(user.chooser.calls, 1);
    EXPECT_EQ(user.chooser.owner, 0x2Au);
    EXPECT_EQ(user.chooser.flags, 3u);
    // The first frame is converted twice: once for the format, once as frame 0.
    EXPECT_EQ(view.list.selections, (std::vector<std::int32_t>{0, 0, 1, 2}));
    EXPECT_EQ(view.shownCount, 4);

    const auto movie = decodeMovie(output);
    ASSERT_TRUE(movie.opened);
    EXPECT_EQ(movie.codec, "rawvideo");
    EXPECT_EQ(movie.width, 50);
    EXPECT_EQ(movie.height, 36);
    EXPECT_EQ(movie.rateNum, 12);
    EXPECT_EQ(movie.rateDen, 1);
    ASSERT_EQ(movie.frames.size(), 3u);
    EXPECT_EQ(movie.frames[0], expectedFrame(folder.file("a1.jpg")));
    EXPECT_EQ(movie.frames[1], expectedFrame(folder.file("a10.jpg")));
    EXPECT_EQ(movie.frames[2], expectedFrame(folder.file("a2.jpg")));

    const auto headers = testing::readAviHeaders(output);
    ASSERT_TRUE(headers.found);
    EXPECT_EQ(headers.fccType, fourcc("vids"));
    EXPECT_EQ(headers.dwScale, 1u);
    EXPECT_EQ(headers.dwRate, 12u);
    EXPECT_EQ(headers.dwLength, 3u);
    EXPECT_EQ(headers.dwSuggestedBufferSize, 152u * 36u);  // one padded frame
    EXPECT_EQ(headers.rcLeft, 0);
    EXPECT_EQ(headers.rcTop, 0);
    EXPECT_EQ(headers.rcRight, 50);
    EXPECT_EQ(headers.rcBottom, 36);
    EXPECT_EQ(headers.biWidth, 50);
    EXPECT_EQ(headers.biHeight, 36);  // bottom-up rows, as the bitmap file had them
    EXPECT_EQ(headers.biBitCount, 24);
    EXPECT_EQ(headers.biCompression, 0u);

    // "tmp.bmp" holds the last frame converted and is never taken as a frame.
    cDib last;
    ASSERT_TRUE(last.CreateFromFile(folder.file("tmp.bmp")).ok());
    EXPECT_EQ(last.Width(), 50);
    EXPECT_EQ(last.SizeImage(), 152 * 36);
    EXPECT_EQ(testing::bgrRows(view.shownPicture()), movie.frames[2]);
}

// The top left `width` x `height` of BGR rows `stride` pixels wide.
std::vector<std::uint8_t> croppedRows(const std::vector<std::uint8_t>& rows, int stride, int width,
                                      int height) {
    std::vector<std::uint8_t> cropped;
    for (int y = 0; y < height; ++y) {
        const auto row = rows.begin() + static_cast<std::ptrdiff_t>(y) * stride * 3;
        cropped.insert(cropped.end(), row, row + width * 3);
    }
    return cropped;
}

TEST(AviWriter, EveryOfferedCodecWritesEveryFrameSizeARecordingMakes) {
    // Recordings are the viewer's width less 50 by its height less 164 or 170: odd sides are common.
    const std::pair<int, int> sizes[] = {{96, 64}, {351, 205}, {350, 181}};
    for (const avi::Codec& codec : avi::availableCodecs()) {
        for (const auto& [width, height] : sizes) {
            SCOPED_TRACE(std::string(codec.displayName) + " at " + std::to_string(width) + "x" +
                         std::to_string(height));
            ScratchFolder folder;
            for (int i = 0; i < 5; ++i) {
                writeJpeg(folder.file("f" + std::to_string(i) + ".jpg"), width, height, i * 5);
            }
            const std::string output = folder.file("movie.avi");
            ScriptedUser user(output, codec.fourcc);
            FakeWriterView view(folder.path().string(), "7");
            aviwrite_Click(view, user.messages);
            EXPECT_TRUE(user.messages.messages.empty()) << user.messages.texts()[0];

            // A codec of even sizes only gets the last column and row once more.
            const int movieWidth = codec.evenSize ? (width + 1) / 2 * 2 : width;
            const int movieHeight = codec.evenSize ? (height + 1) / 2 * 2 : height;
            const auto movie = decodeMovie(output);
            ASSERT_TRUE(movie.opened);
            EXPECT_EQ(movie.width, movieWidth);
            EXPECT_EQ(movie.height, movieHeight);
            EXPECT_EQ(movie.rateNum, 7);
            EXPECT_EQ(movie.rateDen, 1);
            if (codec.fourcc != 0) {
                EXPECT_EQ(movie.codecTag, codec.copiesJpegFiles ? fourcc("MJPG") : codec.fourcc);
            }
            ASSERT_EQ(movie.frames.size(), 5u);
            for (int i = 0; i < 5; ++i) {
                const auto expected = expectedFrame(folder.file("f" + std::to_string(i) + ".jpg"));
                const auto frame =
                    croppedRows(movie.frames[static_cast<std::size_t>(i)], movieWidth, width, height);
                // Copied JPEGs are decoded by FFmpeg, the expected frames by TurboJPEG, whose chroma
                // upsampling differs at sharp edges; the copy's bit-exactness is checked against FFmpeg's
                // own decoding of the files below.
                if (codec.copiesJpegFiles) {
                    EXPECT_GE(testing::psnr(frame, expected), 28.0) << "frame " << i;
                } else if (!codec.hasQuality) {
                    EXPECT_EQ(frame, expected) << "frame " << i;
                } else {
                    EXPECT_GE(testing::psnr(frame, expected), 30.0) << "frame " << i;
                }
            }
            // Every sample was asked for as a key frame and no key-frame interval was chosen.
            EXPECT_EQ(movie.keyPackets, 5);
            const auto headers = testing::readAviHeaders(output);
            EXPECT_EQ(headers.dwRate, 7u);
            EXPECT_EQ(headers.dwScale, 1u);
            EXPECT_EQ(headers.dwLength, 5u);
            EXPECT_EQ(headers.biWidth, movieWidth);
            EXPECT_EQ(headers.rcRight, movieWidth);
            EXPECT_EQ(headers.rcBottom, movieHeight);
        }
    }
}

TEST(AviWriter, NothingToConvertAndCancelledDialogs) {
    {
        SCOPED_TRACE("no JPEG files");
        ScratchFolder folder;
        std::ofstream(folder.file("frame.bmp")) << "x";
        ScriptedUser user(folder.file("out.avi"), 0);
        FakeWriterView view(folder.path().string());
        aviwrite_Click(view, user.messages);
        EXPECT_EQ(user.messages.texts(), std::vector<std::string>{"No files to convert"});
        EXPECT_EQ(user.messages.messages[0].icon, MessageIcon::None);
        EXPECT_TRUE(user.dialogs.calls.empty());
        EXPECT_EQ(user.chooser.calls, 0);
        EXPECT_FALSE(std::filesystem::exists(folder.file("tmp.bmp")));
    }
    {
        SCOPED_TRACE("save dialog cancelled");
        ScratchFolder folder;
        writeJpeg(folder.file("f.jpg"), 32, 32, 1);
        MessageRecorder messages;
        ScriptedFileDialogs dialogs;  // no answer: cancel
        ScriptedCodecChooser chooser;
        FakeWriterView view(folder.path().string());
        aviwrite_Click(view, messages);
        EXPECT_TRUE(messages.messages.empty());
        EXPECT_EQ(dialogs.calls.size(), 1u);
        EXPECT_EQ(chooser.calls, 0);
        EXPECT_FALSE(std::filesystem::exists(folder.file("MyAVI.avi")));
    }
    {
        SCOPED_TRACE("codec dialog cancelled");
        ScratchFolder folder;
        writeJpeg(folder.file("f.jpg"), 32, 32, 1);
        const std::string output = folder.file("cancelled.avi");
        ScriptedUser user(output, 0);
        user.chooser.answer.reset();
        FakeWriterView view(folder.path().string());
        aviwrite_Click(view, user.messages);
        EXPECT_EQ(user.messages.texts(), std::vector<std::string>{"Error in getting Avi Save options"});
        // Nothing is left: no movie, and no hidden file it would have been written to.
        EXPECT_EQ(testing::fileNames(folder.path()), (std::vector<std::string>{"f.jpg", "tmp.bmp"}));
    }
    {
        SCOPED_TRACE("one file");
        ScratchFolder folder;
        writeJpeg(folder.file("only.jpg"), 40, 30, 4);
        const std::string output = folder.file("one.avi");
        ScriptedUser user(output, 0);
        FakeWriterView view(folder.path().string());
        aviwrite_Click(view, user.messages);
        EXPECT_TRUE(user.messages.messages.empty());
        const auto movie = decodeMovie(output);
        ASSERT_EQ(movie.frames.size(), 1u);
        EXPECT_EQ(movie.frames[0], expectedFrame(folder.file("only.jpg")));
        EXPECT_EQ(movie.rateNum, 3);
    }
    {
        SCOPED_TRACE("file that cannot be opened");
        ScratchFolder folder;
        writeJpeg(folder.file("f.jpg"), 32, 32, 1);
        ScriptedUser user(folder.file("no/such/folder/x.avi"), 0);
        FakeWriterView view(folder.path().string());
        aviwrite_Click(view, user.messages);
        EXPECT_EQ(user.messages.texts(),
                  (std::vector<std::string>{
                      "Can't open File to write, try to use different name to save.\r\n" +
                          folder.file("no/such/folder/x.avi") + "\r\n" + std::strerror(ENOENT),
                      "There was an error writing the file."}));
        EXPECT_EQ(user.messages.messages[1].icon, MessageIcon::Information);
        EXPECT_EQ(user.chooser.calls, 0);
    }
}

TEST(AviWriter, ACorruptFrameEndsTheWriteWithTheFramesBeforeItPlayable) {
    ScratchFolder folder;
    for (int i = 1; i <= 5; ++i) {
        writeJpeg(folder.file("f" + std::to_string(i) + ".jpg"), 48, 32, i);
    }
    // Half a JPEG: the decoder cannot give the whole frame.
    const std::string broken = folder.file("f3.jpg");
    std::filesystem::resize_file(broken, std::filesystem::file_size(broken) / 2);
    const std::string output = folder.file("movie.avi");
    ScriptedUser user(output, 0);
    FakeWriterView view(folder.path().string());
    aviwrite_Click(view, user.messages);

    ASSERT_EQ(user.messages.messages.size(), 1u);
    EXPECT_EQ(user.messages.texts()[0].rfind("Could not decode frame:\r\n" + broken + "\r\n", 0), 0u)
        << user.messages.texts()[0];
    const auto movie = decodeMovie(output);
    ASSERT_TRUE(movie.opened);
    ASSERT_EQ(movie.frames.size(), 2u);
    EXPECT_EQ(movie.frames[0], expectedFrame(folder.file("f1.jpg")));
    EXPECT_EQ(movie.frames[1], expectedFrame(folder.file("f2.jpg")));

    // A broken first frame: the write stops before any stream is made, and the movie written above stays
    // as it was.
    const std::vector<char> earlier = testing::fileBytes(output);
    std::filesystem::remove(folder.file("f1.jpg"));
    std::filesystem::remove(folder.file("f2.jpg"));
    user.messages.messages.clear();
    user.dialogs.script.push_back(testing::savedAs(output));
    aviwrite_Click(view, user.messages);
    ASSERT_EQ(user.messages.messages.size(), 2u);
    EXPECT_EQ(user.messages.texts()[0].rfind("Could not decode frame:\r\n" + broken, 0), 0u);
    EXPECT_EQ(user.messages.texts()[1], "Could not load first bitmap file in list!");
    EXPECT_EQ(user.messages.messages[1].icon, MessageIcon::Exclamation);
    EXPECT_EQ(testing::fileBytes(output), earlier);
    EXPECT_EQ(testing::fileNames(folder.path()),
              (std::vector<std::string>{"f3.jpg", "f4.jpg", "f5.jpg", "movie.avi", "tmp.bmp"}));
}

TEST(AviWriter, EveryFrameIsAnnouncedAndCancelEndsTheMovieAfterTheFrameAtHandWithAWord) {
    ScratchFolder folder;
    for (int i = 1; i <= 4; ++i) {
        writeJpeg(folder.file("f" + std::to_string(i) + ".jpg"), 48, 32, i);
    }
    // Cancel pressed as frame `cancelAt` is announced (-1: never), and the frames the movie then holds.
    // The first frame is always written, so that a movie is left.
    const std::vector<std::pair<int, int>> cases = {{0, 1}, {2, 2}, {3, 3}, {-1, 4}};
    for (const auto& [cancelAt, kept] : cases) {
        SCOPED_TRACE("cancelled at " + std::to_string(cancelAt));
        const std::string output = folder.file("cancelled" + std::to_string(cancelAt + 1) + ".avi");
        ScriptedUser user(output, 0);
        FakeWriterView view(folder.path().string());
        view.onFrame = [&view, cancelAt = cancelAt](std::int32_t index) {
            view.cancelled = view.cancelled || index == cancelAt;
        };
        aviwrite_Click(view, user.messages);

        std::vector<std::pair<std::int32_t, std::int32_t>> announced;
        for (int i = 0; i < std::min(kept + 1, 4); ++i) {
            announced.emplace_back(i, 4);
        }
        EXPECT_EQ(view.progress, announced);
        EXPECT_EQ(user.messages.texts(),
                  cancelAt < 0
                      ? std::vector<std::string>{}
                      : std::vector<std::string>{"Writing was cancelled: the movie holds the first " +
                                                 std::to_string(kept) + " of 4 frames.\r\n" + output});
        const auto movie = decodeMovie(output);
        ASSERT_EQ(movie.frames.size(), static_cast<std::size_t>(kept));
        for (int i = 0; i < kept; ++i) {
            EXPECT_EQ(movie.frames[static_cast<std::size_t>(i)],
                      expectedFrame(folder.file("f" + std::to_string(i + 1) + ".jpg")));
        }
    }
}

TEST(AviWriter, ATemporaryBitmapThatCannotBeSavedIsReportedWithItsFrame) {
    ScratchFolder folder;
    writeJpeg(folder.file("f1.jpg"), 48, 32, 1);
    // A folder in the temporary bitmap's place: no file can replace it.
    std::filesystem::create_directory(folder.file("tmp.bmp"));
    const std::string output = folder.file("movie.avi");
    ScriptedUser user(output, 0);
    FakeWriterView view(folder.path().string());
    aviwrite_Click(view, user.messages);

    ASSERT_EQ(user.messages.messages.size(), 2u);
    EXPECT_EQ(user.messages.messages[0].text.rfind(
                  "Could not save the temporary bitmap:\r\n" + folder.file("tmp.bmp") + "\r\n", 0),
              0u)
        << user.messages.messages[0].text;
    EXPECT_EQ(user.messages.messages[1].text, "Could not load first bitmap file in list!");
    EXPECT_EQ(user.chooser.calls, 0);
    EXPECT_FALSE(std::filesystem::exists(output));
}

TEST(AviWriter, FramesOfAnotherSizeAreResampledToTheFirstFramesSize) {
    ScratchFolder folder;
    writeJpeg(folder.file("f1.jpg"), 64, 48, 1);
    writeJpeg(folder.file("f2.jpg"), 32, 24, 2);
    writeJpeg(folder.file("f3.jpg"), 90, 70, 3);
    writeJpeg(folder.file("f4.jpg"), 64, 48, 4);
    const std::string output = folder.file("movie.avi");
    ScriptedUser user(output, 0);
    FakeWriterView view(folder.path().string());
    aviwrite_Click(view, user.messages);

    EXPECT_TRUE(user.messages.messages.empty());
    const auto movie = decodeMovie(output);
    ASSERT_EQ(movie.frames.size(), 4u);
    EXPECT_EQ(movie.width, 64);
    EXPECT_EQ(movie.height, 48);
    EXPECT_EQ(movie.frames[0], expectedFrame(folder.file("f1.jpg")));
    EXPECT_EQ(movie.frames[3], expectedFrame(folder.file("f4.jpg")));
    for (const auto& frame : movie.frames) {
        EXPECT_EQ(frame.size(), 64u * 48u * 3u);
    }
    // The resampled frames keep their picture: the bright block stays at the top left.
    const auto& small = movie.frames[1];
    EXPECT_GT(small[(2 * 64 + 2) * 3 + 1], 200);
    EXPECT_LT(small[(40 * 64 + 60) * 3 + 1], 200);
}

TEST(AviWriter, Mp4AndMatroskaMoviesHoldTheirCodecsAndOfferNoOther) {
    struct Case {
        const char* name;  // as the save dialog gives it
        std::int32_t filterIndex;
        const char* container;  // what ffprobe must find: "mov", "matroska" or "avi"
        std::uint32_t handler;
        const char* codec;  // as ffprobe names it
    };
    // The name's extension decides; any other name is written in the container of the file type chosen.
    const Case cases[] = {
        {"movie.mp4", 1, "mov", fourcc("H264"), "h264"},
        {"movie", 2, "mov", fourcc("MJPC"), "mjpeg"},
        {"movie.MKV", 1, "matroska", fourcc("FFV1"), "ffv1"},
        {"movie.take2", 3, "matroska", fourcc("H264"), "h264"},
        {"movie", 0, "avi", fourcc("FMP4"), "mpeg4"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        ScratchFolder folder;
        for (int i = 0; i < 5; ++i) {
            writeJpeg(folder.file("f" + std::to_string(i) + ".jpg"), 95, 61, i * 5);
        }
        ScriptedUser user(folder.file(each.name), each.handler);
        user.dialogs.script.front()->filterIndex = each.filterIndex;
        FakeWriterView view(folder.path().string(), "7");
        aviwrite_Click(view, user.messages);
        ASSERT_TRUE(user.messages.messages.empty()) << user.messages.texts()[0];

        const std::string output = folder.file(each.name);
        const std::string probed = testing::runCommand(
            "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
            "stream=codec_name,nb_read_frames,r_frame_rate,pix_fmt:format=format_name -of default=nw=1 '" +
            output + "'");
        EXPECT_NE(probed.find(std::string("codec_name=") + each.codec), std::string::npos) << probed;
        EXPECT_NE(probed.find("nb_read_frames=5"), std::string::npos) << probed;
        EXPECT_NE(probed.find("r_frame_rate=7/1"), std::string::npos) << probed;
        EXPECT_EQ(testing::runCommand("ffmpeg -nostdin -v error -i '" + output + "' -f null -"), "");

        const std::string container = each.container;
        EXPECT_NE(probed.find("format_name=" + container), std::string::npos) << probed;
        const std::vector<std::uint32_t>& offered = user.chooser.offered;
        const auto isOffered = [&offered](std::uint32_t code) {
            return std::find(offered.begin(), offered.end(), code) != offered.end();
        };
        if (container == "mov") {
            // Plays in a web browser: 4:2:0 and the index before the data.
            if (each.handler == fourcc("H264")) {
                EXPECT_NE(probed.find("pix_fmt=yuv420p"), std::string::npos) << probed;
            }
            const std::vector<char> bytes = testing::fileBytes(output);
            const std::string_view file(bytes.data(), bytes.size());
            ASSERT_NE(file.find("mdat"), std::string_view::npos);
            EXPECT_LT(file.find("moov"), file.find("mdat"));
            EXPECT_FALSE(isOffered(0));
            EXPECT_FALSE(isOffered(fourcc("FFV1")));
            EXPECT_TRUE(isOffered(fourcc("MJPC")));
            EXPECT_EQ(user.chooser.notOffered,
                      "Not offered for MP4: Full Frames (Uncompressed), FFV1 lossless.");
        } else if (container == "avi") {
            EXPECT_TRUE(isOffered(0));
            EXPECT_EQ(user.chooser.notOffered, "");
        } else {
            EXPECT_FALSE(isOffered(0));
            EXPECT_TRUE(isOffered(fourcc("FFV1")));
            EXPECT_EQ(user.chooser.notOffered, "Not offered for Matroska: Full Frames (Uncompressed).");
        }
    }
}

}  // namespace
}  // namespace skorva
