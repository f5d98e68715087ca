// The Win32 backends of the platform interfaces, on the system itself (under Wine in the test command):
// files placed whole, held and locked, folders held, listed and named; JPEG through WIC; AVI through
// Video for Windows.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/avi/avifile.h"
#include "platform/file_list.h"
#include "platform/file_replacement.h"
#include "platform/held_file.h"
#include "platform/jpeg/jpeg_decoder.h"
#include "platform/jpeg/jpeg_encoder.h"
#include "platform/own_folder.h"
#include "platform/path_names.h"
#include "tests/fakes/scratch_folder.h"

namespace skorva {
namespace {

using testing::ScratchFolder;

std::string contentsOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(Win32Files, AFileIsReplacedWholeAndNothingIsLeftBeside) {
    const ScratchFolder folder;
    const std::string path = folder.file("frame.jpg");
    EXPECT_EQ(replaceFileContents(path, bytesOf("first")), "");
    EXPECT_EQ(replaceFileContents(path, bytesOf("second, longer")), "");
    EXPECT_EQ(contentsOf(path), "second, longer");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"frame.jpg"});
    // A missing folder is refused with the system's words, and nothing is made.
    EXPECT_NE(replaceFileContents(folder.file("missing/frame.jpg"), bytesOf("x")), "");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"frame.jpg"});
}

TEST(Win32Files, AHeldFileRefusesASecondHolderAndNoticesItsNameReplaced) {
    const ScratchFolder folder;
    const std::string path = folder.file("tmp.bmp");
    HeldFile first;
    ASSERT_EQ(first.hold(path), HeldFile::Result::Held) << first.failure();
    HeldFile second;
    EXPECT_EQ(second.hold(path), HeldFile::Result::InUse);
    ASSERT_TRUE(first.write(bytesOf("a frame of some length")));
    ASSERT_TRUE(first.write(bytesOf("shorter")));
    // The lock covers no byte of the file: others read it while it is held.
    EXPECT_EQ(contentsOf(path), "shorter");
    // Windows refuses to replace a file others hold open, and keeps the name of one removed until it is let
    // go; one renamed away meanwhile is noticed.
    EXPECT_EQ(replaceFileContents(path, bytesOf("another program's")), "Permission denied");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"tmp.bmp"});
    EXPECT_TRUE(first.write(bytesOf("still ours")));
    EXPECT_FALSE(first.replaced());
    std::filesystem::rename(path, path + ".moved");
    EXPECT_FALSE(first.write(bytesOf("lost")));
    EXPECT_TRUE(first.replaced());
}

TEST(Win32Files, ARecordingFolderIsHeldByOneHolderAtATime) {
    const ScratchFolder folder;
    const std::string path = folder.file("bob06_Dec_2026_02_05_09_PM");
    std::string reason;
    UniqueFd first;
    ASSERT_EQ(holdOwnFolder(path, first, reason), OwnFolder::Held) << reason;
    // The lock lies beside the folder, hidden, and goes with its holder: the folder holds frames alone.
    EXPECT_TRUE(std::filesystem::is_empty(path));
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{".bob06_Dec_2026_02_05_09_PM.skorva-lock",
                                                          "bob06_Dec_2026_02_05_09_PM"}));
    UniqueFd second;
    EXPECT_EQ(holdOwnFolder(path, second, reason), OwnFolder::Foreign);
    first.close();
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"bob06_Dec_2026_02_05_09_PM"});
    EXPECT_EQ(holdOwnFolder(path, second, reason), OwnFolder::Held);
    second.close();
    ASSERT_EQ(replaceFileContents(folder.file("file"), bytesOf("x")), "");
    EXPECT_EQ(holdOwnFolder(folder.file("file"), second, reason), OwnFolder::FileInTheWay);
    EXPECT_EQ(reason, "a file of that name is in the way");
}

TEST(Win32Files, ListsMatchingFilesWithoutCaseAndNamesStartAfterEitherSeparator) {
    const ScratchFolder folder;
    for (const char* name : {"b.JPG", "a.jpg", "c.bmp", ".hidden.jpg"}) {
        ASSERT_EQ(replaceFileContents(folder.file(name), bytesOf("x")), "");
    }
    std::filesystem::create_directory(folder.path() / "d.jpg");
    EXPECT_EQ(listMatchingFiles(folder.path().string(), "*.jpg"),
              (std::vector<std::string>{".hidden.jpg", "a.jpg", "b.JPG"}));
    const std::pair<const char*, std::size_t> names[] = {{"C:\\Videos\\bob.avi", 10},
                                                         {"C:/Videos/bob.avi", 10},
                                                         {"C:bob.avi", 2},
                                                         {"bob.avi", 0},
                                                         {"C:\\", 3}};
    for (const auto& [path, start] : names) {
        EXPECT_EQ(fileNameStart(path), start) << path;
    }
}

TEST(Win32Jpeg, AFrameEncodedByWicDecodesUprightToItsPixels) {
    constexpr int kWidth = 64;
    constexpr int kHeight = 48;
    // Bottom-up BGR rows, as a bitmap keeps them: a red gradient across, green down.
    const int pitch = (kWidth * 3 + 3) & ~3;
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(pitch) * kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            std::uint8_t* pixel = rows.data() + static_cast<std::size_t>(kHeight - 1 - y) * pitch + 3 * x;
            pixel[0] = 60;
            pixel[1] = static_cast<std::uint8_t>(4 * y);
            pixel[2] = static_cast<std::uint8_t>(3 * x);
        }
    }
    JpegEncoder encoder;
    ASSERT_TRUE(encoder.ready());
    const JpegInput input{rows.data(), kWidth, kHeight, pitch, JpegPixels::Bgr, true};
    ASSERT_TRUE(encoder.encode(input, JpegSubsampling::Quarter420, 90));
    const std::span<const std::uint8_t> jpeg = encoder.output();
    ASSERT_GT(jpeg.size(), 100u);
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8);
    const std::optional<JpegSize> size = readJpegSize(jpeg);
    ASSERT_TRUE(size);
    EXPECT_EQ(size->width, kWidth);
    EXPECT_EQ(size->height, kHeight);
    std::vector<std::uint8_t> decoded(static_cast<std::size_t>(kWidth) * kHeight * 4);
    ASSERT_TRUE(decodeJpegBgrx(jpeg, decoded.data(), kWidth, kWidth * 4, kHeight));
    int worst = 0;
    for (int y = 2; y < kHeight - 2; ++y) {
        for (int x = 2; x < kWidth - 2; ++x) {
            const std::uint8_t* pixel = decoded.data() + (static_cast<std::size_t>(y) * kWidth + x) * 4;
            worst = std::max(
                {worst, std::abs(pixel[0] - 60), std::abs(pixel[1] - 4 * y), std::abs(pixel[2] - 3 * x)});
            ASSERT_EQ(pixel[3], 0xFF);
        }
    }
    EXPECT_LE(worst, 12);
    // A reduced decode covers what was asked for and no more than needed.
    const JpegSize reduced = jpegScaleCovering({800, 600}, {200, 150});
    EXPECT_EQ(reduced.width, 200);
    EXPECT_EQ(reduced.height, 150);
}

// One movie of 32x24 full frames, written through the AVI library step by step.
class MovieWrite {
  public:
    // Opens the movie and sets its format unless told not to; `opened` is the open's result.
    MovieWrite(const std::string& path, bool setFormat) {
        using namespace avi;
        AVIFileInit();
        opened_ = AVIFileOpen(&file_, path, OF_WRITE | OF_CREATE, nullptr);
        if (opened_ != AVIERR_OK) {
            reason_ = AVIFileOpenErrorText();
            return;
        }
        AVISTREAMINFO header;
        header.fccType = kStreamTypeVideo;
        header.dwScale = 1;
        header.dwRate = 5;
        header.rcFrame = Rect{0, 0, 32, 24};
        EXPECT_EQ(AVIFileCreateStream(file_, &source_, &header), AVIERR_OK);
        const AVICOMPRESSOPTIONS fullFrames;
        EXPECT_EQ(AVIMakeCompressedStream(&compressed_, source_, &fullFrames, nullptr), AVIERR_OK);
        std::vector<std::uint8_t> format(40);
        const std::int32_t fields[] = {40, 32, 24};
        std::memcpy(format.data(), fields, sizeof fields);
        format[12] = 1;   // planes
        format[14] = 24;  // bits a pixel
        if (setFormat) {
            EXPECT_EQ(AVIStreamSetFormat(compressed_, 0, format.data(), 40), AVIERR_OK);
        }
    }

    void write(int frames) {
        if (opened_ != avi::AVIERR_OK) {
            return;
        }
        std::vector<std::uint8_t> rows(32 * 3 * 24, 0x80);
        for (int i = 0; i < frames; ++i) {
            EXPECT_EQ(avi::AVIStreamWrite(compressed_, written_++, 1, rows.data(),
                                          static_cast<std::int32_t>(rows.size()), avi::AVIIF_KEYFRAME,
                                          nullptr, nullptr),
                      avi::AVIERR_OK);
        }
    }

    // Finishes the movie; what became of it. A movie that could not be opened ends with the open's result.
    avi::MovieFileEnd finish() {
        using namespace avi;
        MovieFileEnd end{opened_, reason_, 0, {}};
        if (opened_ == AVIERR_OK) {
            AVIStreamRelease(compressed_);
            AVIStreamRelease(source_);
            end = AVIFileFinish(file_);
            AVIFileRelease(file_);
        }
        AVIFileExit();
        return end;
    }

  private:
    std::int32_t opened_ = avi::AVIERR_OK;
    std::string reason_;
    avi::PAVIFILE file_ = 0;
    avi::PAVISTREAM source_ = 0;
    avi::PAVISTREAM compressed_ = 0;
    std::int32_t written_ = 0;
};

avi::MovieFileEnd writeMovie(const std::string& path, int frames, bool setFormat) {
    MovieWrite movie(path, setFormat);
    movie.write(frames);
    return movie.finish();
}

TEST(Win32Avi, AMovieTakesItsNameWhenFinishedAndAFailedOneLeavesNothing) {
    const ScratchFolder folder;
    const std::string movie = folder.file("bob.avi");
    ASSERT_EQ(replaceFileContents(movie, bytesOf("an earlier movie")), "");
    const avi::MovieFileEnd written = writeMovie(movie, 3, true);
    EXPECT_EQ(written.result, avi::AVIERR_OK) << written.reason;
    EXPECT_EQ(written.frames, 3);
    EXPECT_EQ(written.savedAs, movie);
    EXPECT_EQ(contentsOf(movie).substr(0, 4), "RIFF");
    EXPECT_EQ(contentsOf(movie).substr(8, 4), "AVI ");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"bob.avi"});

    // A movie that never got its format is removed; the earlier file stays as it was.
    const std::string kept = contentsOf(movie);
    const avi::MovieFileEnd abandoned = writeMovie(movie, 0, false);
    EXPECT_EQ(abandoned.result, avi::AVIERR_OK);
    EXPECT_EQ(abandoned.savedAs, "");
    EXPECT_EQ(contentsOf(movie), kept);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"bob.avi"});

    const std::pair<std::string, std::string> refused[] = {
        {folder.file("bob.mp4"), "MP4 movies are not made by the Windows program"},
        {folder.file("missing/bob.avi"), "No such file or directory"},
        {folder.path().string(), "Is a directory"},
    };
    for (const auto& [path, reason] : refused) {
        const avi::MovieFileEnd end = writeMovie(path, 1, true);
        EXPECT_NE(end.result, avi::AVIERR_OK) << path;
        EXPECT_NE(end.reason.find(reason), std::string::npos) << path << ": " << end.reason;
    }
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"bob.avi"});
}

TEST(Win32Avi, TwoWritesOfOneNameEachFinishTheirOwnMovieAndTheLastOneStays) {
    const ScratchFolder folder;
    const std::string movie = folder.file("bob.avi");
    MovieWrite first(movie, true);
    first.write(2);
    // The second finds the first's hidden file held and takes another name beside it.
    MovieWrite second(movie, true);
    second.write(4);
    const avi::MovieFileEnd firstEnd = first.finish();
    EXPECT_EQ(firstEnd.result, avi::AVIERR_OK) << firstEnd.reason;
    EXPECT_EQ(firstEnd.frames, 2);
    const avi::MovieFileEnd secondEnd = second.finish();
    EXPECT_EQ(secondEnd.result, avi::AVIERR_OK) << secondEnd.reason;
    EXPECT_EQ(secondEnd.frames, 4);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"bob.avi"});
    // The main header's frame count (after RIFF, LIST and the "avih" tag): the second movie's four.
    const std::string kept = contentsOf(movie);
    ASSERT_GT(kept.size(), 52u);
    EXPECT_EQ(kept.substr(24, 4), "avih");
    EXPECT_EQ(static_cast<unsigned char>(kept[48]), 4);
}

}  // namespace
}  // namespace skorva
