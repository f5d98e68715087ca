// "tmp.bmp" is rewritten where it stands for every frame: it must always hold exactly the frame last
// converted, one write holds it at a time, and a frame whose bitmap cannot be written must end the movie
// with a word about that frame.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <thread>

#include "imaging/picture_files.h"
#include "movie/avi_writer.h"
#include "movie/cdib.h"
#include "movie/temporary_bitmap.h"
#include "tests/fakes/message_recorder.h"
#include "tests/fakes/scripted_dialogs.h"
#include "tests/movie/movie_test_support.h"

namespace skorva {
namespace {

using testing::ScratchFolder;
using testing::writeJpeg;

Picture pattern(std::int32_t width, std::int32_t height) {
    std::vector<std::uint8_t> pixels;
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            pixels.insert(pixels.end(), {static_cast<std::uint8_t>(x * 17), static_cast<std::uint8_t>(y * 29),
                                         static_cast<std::uint8_t>(x * y), 0xFF});
        }
    }
    return Picture::fromPixels(width, height, width * 4, PixelFormat::Bgrx32, std::move(pixels));
}

// The bytes of `picture`'s bitmap file.
std::vector<std::uint8_t> bitmapFile(const Picture& picture) {
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(BitmapFileBytes(picture, bytes).ok());
    return bytes;
}

TEST(TemporaryBitmap, HoldsExactlyTheFrameLastWrittenAndOneWriteAtATime) {
    ScratchFolder folder;
    const Picture picture = pattern(13, 7);  // 39 bytes a row, padded to 40
    ASSERT_TRUE(SavePicture(picture, folder.file("replaced.bmp")).ok());
    const std::string path = folder.file("tmp.bmp");
    {
        std::ofstream old(path, std::ios::binary);
        old << std::string(100000, 'x');
    }
    TemporaryBitmap temporary(folder.path().string());
    EXPECT_EQ(temporary.path(), path);
    ASSERT_TRUE(temporary.write(bitmapFile(picture)).ok());
    EXPECT_EQ(testing::fileBytes(path), testing::fileBytes(folder.file("replaced.bmp")));
    EXPECT_EQ(std::filesystem::file_size(path), 54u + 40u * 7u);

    cDib dib;
    ASSERT_TRUE(dib.CreateFromFile(path).ok());
    EXPECT_EQ(dib.Width(), 13);
    EXPECT_EQ(dib.Height(), 7);
    EXPECT_EQ(dib.SizeImage(), 40 * 7);
    // Bottom-up: the first row in the file is the picture's last; the padding byte is zero.
    EXPECT_EQ(dib.PointerToBits()[1], static_cast<std::uint8_t>(6 * 29));
    EXPECT_EQ(dib.PointerToBits()[39], 0);

    // A buffer that held other bytes, of the same length or of another, gives the same file.
    const std::vector<char> expected = testing::fileBytes(folder.file("replaced.bmp"));
    for (const std::size_t stale : {expected.size(), std::size_t{5}, std::size_t{70000}}) {
        std::vector<std::uint8_t> bytes(stale, 0xAB);
        ASSERT_TRUE(BitmapFileBytes(picture, bytes).ok());
        EXPECT_EQ(std::vector<char>(bytes.begin(), bytes.end()), expected) << "stale length " << stale;
    }

    // A smaller frame over a larger one: the file is exactly the new frame.
    ASSERT_TRUE(temporary.write(bitmapFile(pattern(2, 2))).ok());
    EXPECT_EQ(std::filesystem::file_size(path), 54u + 8u * 2u);
    ASSERT_TRUE(dib.CreateFromFile(path).ok());
    EXPECT_EQ(dib.Width(), 2);

    // A second write from the folder is refused while the first holds the file, and takes it after.
    {
        TemporaryBitmap second(folder.path().string());
        EXPECT_FALSE(second.write(bitmapFile(pattern(3, 3))).ok());
        EXPECT_TRUE(second.inUse());
        EXPECT_EQ(std::filesystem::file_size(path), 54u + 8u * 2u);
    }
    {
        const auto refused = testing::runInChild([&folder](const std::function<void()>&) {
            TemporaryBitmap other(folder.path().string());
            const Status written = other.write(bitmapFile(pattern(3, 3)));
            return other.inUse() ? std::string("in use") : written.ok() ? "written" : written.text();
        });
        EXPECT_EQ(refused.report, "in use") << "another process";
    }
    ASSERT_TRUE(temporary.write(bitmapFile(pattern(2, 2))).ok());
}

TEST(TemporaryBitmap, FailuresAreReportedWithTheirCause) {
    ScratchFolder folder;
    EXPECT_EQ(TemporaryBitmap(folder.file("missing")).write(bitmapFile(pattern(4, 4))).text(),
              std::strerror(ENOENT));
    std::filesystem::create_directory(folder.file("tmp.bmp"));
    EXPECT_EQ(TemporaryBitmap(folder.path().string()).write(bitmapFile(pattern(4, 4))).text(),
              std::strerror(EISDIR));
    std::vector<std::uint8_t> bytes;
    EXPECT_EQ(BitmapFileBytes(Picture(), bytes).text(), std::strerror(EINVAL));
    EXPECT_FALSE(BitmapFileBytes(Picture::black(0, 3), bytes).ok());
}

// A darkened copy of the picture: what a preview control that converts pictures would hold.
Picture darkened(const Picture& picture) {
    std::vector<std::uint8_t> pixels(picture.bits(), picture.bits() + picture.byteCount());
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint8_t>(i % 4 == 3 ? 0xFF : pixels[i] / 2);
    }
    return Picture::fromPixels(picture.width(), picture.height(), picture.stride(), PixelFormat::Bgrx32,
                               std::move(pixels));
}

TEST(TemporaryBitmap, TheWriterLeavesExactlyTheLastFrameAndEndsAtAFrameItCannotSave) {
    ScratchFolder folder;
    for (int i = 0; i < 4; ++i) {
        writeJpeg(folder.file("f" + std::to_string(i) + ".jpg"), 30, 20, i * 7);
    }
    // A stale, larger bitmap from an earlier write of bigger frames.
    {
        std::ofstream stale(folder.file("tmp.bmp"), std::ios::binary);
        stale << std::string(500000, 'x');
    }
    {
        testing::MessageRecorder messages;
        testing::ScriptedFileDialogs dialogs;
        dialogs.script.push_back(testing::savedAs(folder.file("whole.avi")));
        testing::ScriptedCodecChooser chooser;
        chooser.answer = CompressOptions{};
        testing::FakeWriterView view(folder.path().string());
        aviwrite_Click(view, messages);
        EXPECT_TRUE(messages.messages.empty());
        EXPECT_EQ(std::filesystem::file_size(folder.file("tmp.bmp")), 54u + 92u * 20u);
        cDib last;
        ASSERT_TRUE(last.CreateFromFile(folder.file("tmp.bmp")).ok());
        const auto movie = testing::decodeMovie(folder.file("whole.avi"));
        ASSERT_EQ(movie.frames.size(), 4u);
        EXPECT_EQ(testing::expectedFrame(folder.file("f3.jpg")), movie.frames[3]);
    }
    {
        testing::MessageRecorder messages;
        testing::ScriptedFileDialogs dialogs;
        dialogs.script.push_back(testing::savedAs(folder.file("broken.avi")));
        testing::ScriptedCodecChooser chooser;
        chooser.answer = CompressOptions{};
        testing::FakeWriterView view(folder.path().string(), "5");
        // Before frame 2 is saved, a folder takes the temporary bitmap's place, as if the disk refused the
        // write (the first frame is shown once more for the format, so frame 2 is shown fourth).
        view.onShow = [&folder](int shown, Picture&) {
            if (shown == 4) {
                std::filesystem::remove(folder.file("tmp.bmp"));
                std::filesystem::create_directory(folder.file("tmp.bmp"));
            }
        };
        aviwrite_Click(view, messages);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text.rfind(
                      "Could not save the temporary bitmap:\r\n" + folder.file("tmp.bmp") + "\r\n", 0),
                  0u)
            << messages.messages[0].text;
        EXPECT_EQ(messages.messages[0].icon, MessageIcon::Exclamation);
        // The frames before it stay a playable movie.
        const auto movie = testing::decodeMovie(folder.file("broken.avi"));
        ASSERT_TRUE(movie.opened);
        ASSERT_EQ(movie.frames.size(), 2u);
        EXPECT_EQ(testing::expectedFrame(folder.file("f1.jpg")), movie.frames[1]);
    }
}

TEST(TemporaryBitmap, TheMovieHoldsWhatThePreviewHoldsAndDecodedFramesAreOpaque) {
    ScratchFolder folder;
    for (int i = 0; i < 3; ++i) {
        writeJpeg(folder.file("f" + std::to_string(i) + ".jpg"), 24, 16, i * 9);
    }
    const Picture decoded = LoadPicture(folder.file("f1.jpg"));
    ASSERT_FALSE(decoded.isEmpty());
    for (std::size_t i = 3; i < decoded.byteCount(); i += 4) {
        ASSERT_EQ(decoded.bits()[i], 0xFF) << "byte " << i;
    }

    testing::MessageRecorder messages;
    testing::ScriptedFileDialogs dialogs;
    dialogs.script.push_back(testing::savedAs(folder.file("dim.avi")));
    testing::ScriptedCodecChooser chooser;
    chooser.answer = CompressOptions{};
    testing::FakeWriterView view(folder.path().string(), "5");
    view.onShow = [](int, Picture& preview) { preview = darkened(preview); };
    aviwrite_Click(view, messages);
    EXPECT_TRUE(messages.messages.empty());
    // The bitmap is saved from the preview's picture, not from the decoded frame.
    const auto movie = testing::decodeMovie(folder.file("dim.avi"));
    ASSERT_EQ(movie.frames.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        auto expected = testing::expectedFrame(folder.file("f" + std::to_string(i) + ".jpg"));
        for (auto& byte : expected) {
            byte = static_cast<std::uint8_t>(byte / 2);
        }
        EXPECT_EQ(movie.frames[static_cast<std::size_t>(i)], expected) << "frame " << i;
    }
}

TEST(TemporaryBitmap, ASecondWriteFromTheSameFolderIsRefusedAndTheFirstIsWhatALoneWriteGives) {
    ScratchFolder folder;
    for (int i = 0; i < 8; ++i) {
        writeJpeg(folder.file("f" + std::to_string(i) + ".jpg"), 64, 48, i * 11);
    }
    const std::string lone = folder.file("lone.avi");
    {
        testing::ScriptedUser user(lone, 0);
        testing::FakeWriterView view(folder.path().string());
        aviwrite_Click(view, user.messages);
        ASSERT_TRUE(user.messages.messages.empty());
    }
    // The first write is held before its fourth frame while a second one, of any codec, is tried.
    const std::string first = folder.file("first.avi");
    testing::ScriptedUser firstUser(first, 0);
    testing::FakeWriterView firstView(folder.path().string());
    std::promise<void> held;
    std::promise<void> released;
    firstView.onFrame = [&held, wait = released.get_future().share()](std::int32_t index) {
        if (index == 3) {
            held.set_value();
            wait.wait();
        }
    };
    std::thread firstWrite([&] { aviwrite_Click(firstView, firstUser.messages); });
    held.get_future().wait();
    for (const std::uint32_t handler : {0u, testing::fourcc("MJPC")}) {
        const std::string second = folder.file("second" + std::to_string(handler) + ".avi");
        testing::ScriptedUser secondUser(second, handler);
        testing::FakeWriterView secondView(folder.path().string());
        aviwrite_Click(secondView, secondUser.messages);
        EXPECT_EQ(
            secondUser.messages.texts(),
            std::vector<std::string>{"This folder is in use by another movie write:\r\n" +
                                     folder.path().string() + "\r\nTry again once that movie is finished."});
        EXPECT_FALSE(std::filesystem::exists(second));
    }
    released.set_value();
    firstWrite.join();
    EXPECT_TRUE(firstUser.messages.messages.empty());
    const std::vector<std::string> checksums = testing::frameChecksums(lone);
    EXPECT_EQ(checksums.size(), 8u);
    EXPECT_EQ(testing::frameChecksums(first), checksums);
    // Nothing but the movies, the frames and the temporary bitmap is left.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        ++files;
    }
    EXPECT_EQ(files, 8u + 3u);
}

}  // namespace
}  // namespace skorva
