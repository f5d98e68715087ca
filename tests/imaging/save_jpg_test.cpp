#include "imaging/save_jpg.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <thread>

#include "imaging/replace_file.h"
#include "platform/file_placement.h"
#include "tests/fakes/message_recorder.h"
#include "tests/imaging/imaging_test_support.h"

namespace skorva {
namespace {

using testing::Decoded;
using testing::ScratchFolder;

// The fixed warning with the system's reason after it, for a box with the exclamation icon.
Message writeFailed(const std::string& reason) {
    return {"Failed to save to JPG, seems webcam window is closed or no space left. Reason: " + reason + ".",
            MessageIcon::Exclamation};
}
const Message kNoPixels = writeFailed("the frame has no pixels");

// What a save handed back: nothing on success, else its warning.
std::optional<Message> failureOf(const Status& status) {
    return status ? std::nullopt : std::optional<Message>(status.message());
}

Picture flippedVertically(const Picture& picture) {
    return testing::makePicture(picture.width(), picture.height(), [&](int x, int y) {
        const std::uint8_t* p = picture.row(picture.height() - 1 - y) + 4 * x;
        return static_cast<std::uint32_t>(p[2] << 16 | p[1] << 8 | p[0]);
    });
}

TEST(SaveJpg, WritesAnUprightJpegCloseToTheSource) {
    testing::MessageRecorder messages;
    ScratchFolder folder;
    const Picture picture = testing::gradientPicture(320, 240);
    cDIBSection section;
    section.CreateFromPicture(picture);

    ASSERT_TRUE(SaveJPG(section, folder.file("bob0000000.jpg"), 70));
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"bob0000000.jpg"});
    const Decoded decoded = testing::decodeJpegFile(folder.file("bob0000000.jpg"));
    ASSERT_TRUE(decoded.ok);
    ASSERT_EQ(decoded.width, 320);
    ASSERT_EQ(decoded.height, 240);
    EXPECT_GT(testing::psnr(decoded, picture), 30.0);
    EXPECT_LT(testing::psnr(decoded, flippedVertically(picture)), 20.0);

    // The section is only read.
    cDIBSection again;
    again.CreateFromPicture(picture);
    EXPECT_EQ(0, std::memcmp(again.DIBSectionBitsPtr(), section.DIBSectionBitsPtr(), 960 * 240));
}

TEST(SaveJpg, HandlesEveryRowPaddingWhetherTheSectionSharesThePictureOrHasItsOwnRows) {
    testing::MessageRecorder messages;
    ScratchFolder folder;
    for (int width = 1; width <= 4; ++width) {
        // Smooth across columns: 4:2:0 shares colour between neighbouring pixels. A wrong row pitch would
        // shear the rows and show as a large error all the same.
        const Picture picture = testing::makePicture(width, 24, [](int x, int y) {
            return static_cast<std::uint32_t>((40 + 7 * y) << 16 | (100 + 8 * x) << 8 | (120 - 3 * y));
        });
        std::vector<std::vector<std::uint8_t>> written;
        // Straight from the picture's rows, and from the section's own rows once its bytes were asked for.
        for (const bool ownRows : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "width " << width << (ownRows ? ", own rows" : ", shared"));
            cDIBSection section;
            section.CreateFromPicture(picture);
            if (ownRows) {
                ASSERT_NE(section.DIBSectionBitsPtr(), nullptr);
            }
            EXPECT_EQ(section.RowsToEncode().fourBytes, !ownRows);
            EXPECT_EQ(section.BytesPerScanLine() - 3 * width, (4 - (3 * width) % 4) % 4);
            const std::string path =
                folder.file("w" + std::to_string(width) + (ownRows ? "own" : "") + ".jpg");
            ASSERT_TRUE(SaveJPG(section, path, 70));
            const Decoded decoded = testing::decodeJpegFile(path);
            ASSERT_TRUE(decoded.ok);
            ASSERT_EQ(decoded.width, width);
            ASSERT_EQ(decoded.height, 24);
            EXPECT_GT(testing::psnr(decoded, picture), 30.0);
            // Red grows from the top row to the bottom row of the picture.
            EXPECT_LT(decoded.bgr[2] + 60, decoded.bgr[static_cast<std::size_t>(23 * width) * 3 + 2]);
            written.push_back(testing::readFile(path));
        }
        // The same pixels make the same file, whichever rows the encoder read.
        EXPECT_EQ(written[0], written[1]) << width;
    }
    EXPECT_TRUE(messages.messages.empty());
}

TEST(SaveJpg, TheSamePixelsMakeTheSameFileWhateverThePreviewCostsOnEveryThread) {
    testing::MessageRecorder messages;
    ScratchFolder folder;
    // A webcam frame, a full-HD one and one of odd size about as large: sizes where the picture used to be
    // cut for two cores.
    for (const auto& [width, height] : {std::pair{640, 480}, std::pair{1920, 1080}, std::pair{1281, 721}}) {
        SCOPED_TRACE(::testing::Message() << width << "x" << height);
        const Picture picture = testing::makePicture(width, height, [&](int x, int y) {
            const auto red = static_cast<std::uint32_t>(x * 255 / width);
            const auto green = static_cast<std::uint32_t>(y * 255 / height);
            const std::uint32_t blue = (x / 9 + y / 5) % 2 == 0 ? 40 : 200;
            return red << 16 | green << 8 | blue;
        });
        cDIBSection section;
        section.CreateFromPicture(picture);
        const std::string plainPath = folder.file("plain.jpg");
        ASSERT_TRUE(SaveJPG(section, plainPath, 70));
        const std::vector<std::uint8_t> plain = testing::readFile(plainPath);
        ASSERT_TRUE(testing::decodeJpegFile(plainPath).ok);

        // The tick's write, its preview painted meanwhile in no time, a little, or longer than the encoding.
        const std::string path = folder.file("tick.jpg");
        for (const auto previewTime : {std::chrono::microseconds{0}, std::chrono::microseconds{300},
                                       std::chrono::microseconds{15000}, std::chrono::microseconds{0}}) {
            int painted = 0;
            ASSERT_TRUE(SaveJPG(section, path, 70, [&] {
                const auto until = std::chrono::steady_clock::now() + previewTime;
                while (std::chrono::steady_clock::now() < until) {
                }
                ++painted;
            }));
            EXPECT_EQ(painted, 1);
            EXPECT_TRUE(testing::readFile(path) == plain) << "preview " << previewTime.count() << " us";
        }
        // A thread of its own makes its own encoders, as a new run of the program does.
        std::thread([&] { EXPECT_TRUE(SaveJPG(section, path, 70, [] {}).ok()); }).join();
        EXPECT_TRUE(testing::readFile(path) == plain) << "on another thread";
    }
    EXPECT_TRUE(messages.messages.empty());
}

TEST(SaveJpg, WhatThePreviewThrowsReachesTheTickWithoutAFileAndTheNextFrameIsWritten) {
    ScratchFolder folder;
    cDIBSection section;
    section.CreateFromPicture(testing::gradientPicture(320, 240));
    EXPECT_THROW(
        (void)SaveJPG(section, folder.file("a.jpg"), 70, [] { throw std::runtime_error("no paint"); }),
        std::runtime_error);
    EXPECT_TRUE(folder.entries().empty());
    ASSERT_TRUE(SaveJPG(section, folder.file("b.jpg"), 70, [] {}));
    EXPECT_TRUE(testing::decodeJpegFile(folder.file("b.jpg")).ok);
}

TEST(SaveJpg, ASectionWithoutPixelsFailsWithTheWarning) {
    testing::MessageRecorder messages;
    ScratchFolder folder;
    cDIBSection never;
    EXPECT_EQ(failureOf(SaveJPG(never, folder.file("a.jpg"), 70)), kNoPixels);
    cDIBSection cleared;
    ASSERT_TRUE(cleared.Create(8, 8));
    cleared.ClearUp();
    EXPECT_EQ(failureOf(SaveJPG(cleared, folder.file("b.jpg"), 70)), kNoPixels);
    // What the tick gets for a closed viewer window: a grab of negative size.
    cDIBSection closed;
    closed.CreateFromPicture(Picture::black(-50, -164));
    EXPECT_EQ(failureOf(SaveJPG(closed, folder.file("c.jpg"), 70)), kNoPixels);

    // The caller shows the warning: the writer opens no box of its own.
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_TRUE(folder.entries().empty());
}

TEST(SaveJpg, UnwritablePlacesFailAndLeaveNothingBehind) {
    testing::MessageRecorder messages;
    ScratchFolder folder;
    cDIBSection section;
    section.CreateFromPicture(testing::gradientPicture(16, 16));
    // A folder that does not exist, a "folder" that is a file, a name that is a folder, no name at all.
    testing::writeFile(folder.file("plain"), {1, 2, 3});
    std::filesystem::create_directory(folder.file("taken.jpg"));
    EXPECT_EQ(failureOf(SaveJPG(section, folder.file("missing/x.jpg"), 70)),
              writeFailed(std::strerror(ENOENT)));
    EXPECT_EQ(failureOf(SaveJPG(section, folder.file("plain/x.jpg"), 70)),
              writeFailed(std::strerror(ENOTDIR)));
    EXPECT_EQ(failureOf(SaveJPG(section, folder.file("taken.jpg"), 70)), writeFailed(std::strerror(EISDIR)));
    EXPECT_EQ(failureOf(SaveJPG(section, "", 70)), kNoPixels);
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"plain", "taken.jpg"}));
}

TEST(SaveJpg, ReplacesAnOlderFileOnlyWithACompleteOne) {
    testing::MessageRecorder messages;
    ScratchFolder folder;
    const std::string path = folder.file("x.jpg");
    const std::vector<std::uint8_t> old(5000, 0x5A);
    testing::writeFile(path, old);

    // The temporary name sits in the same folder and is never taken for a frame.
    const std::string temporary = temporaryNameFor(path);
    EXPECT_EQ(temporary.rfind(folder.file(".x.jpg.tmp-"), 0), 0u) << temporary;
    EXPECT_FALSE(temporary.ends_with(".jpg"));

    // Noise compresses badly: the JPEG is far larger than the file size limit below.
    cDIBSection noise;
    ASSERT_TRUE(noise.Create(640, 480));
    noise.RandomiseBits(false);

    // A full disk, as a file size limit in a child process (the limit would outlive the test otherwise);
    // then the same limit with its signal's default action, which kills the child in the middle of the
    // write. Neither leaves anything beside the old file.
    for (const bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "killed" : "disk full");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGXFSZ, killed ? SIG_DFL : SIG_IGN);
            const rlimit limit{4096, 4096};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                _exit(3);
            }
            const Status saved = SaveJPG(noise, path, 70);
            const bool warned = failureOf(saved) == writeFailed(std::strerror(EFBIG));
            _exit(saved ? 1 : warned ? 0 : 2);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        if (killed) {
            ASSERT_TRUE(WIFSIGNALED(status));
            EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
        } else {
            ASSERT_TRUE(WIFEXITED(status));
            EXPECT_EQ(WEXITSTATUS(status), 0) << "1: reported success, 2: wrong warning, 3: no limit";
        }
        EXPECT_EQ(folder.entries(), std::vector<std::string>{"x.jpg"});
        EXPECT_EQ(testing::readFile(path), old);
    }

    // With room on the disk the old file is replaced by the new frame.
    ASSERT_TRUE(SaveJPG(noise, path, 70));
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"x.jpg"});
    const Decoded decoded = testing::decodeJpegFile(path);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.width, 640);
    EXPECT_EQ(decoded.height, 480);
    // A new file gets the usual permissions, not those of a private temporary file.
    const auto permissions = std::filesystem::status(path).permissions();
    EXPECT_NE(permissions & std::filesystem::perms::others_read, std::filesystem::perms::none);
    EXPECT_TRUE(messages.messages.empty());
}

}  // namespace
}  // namespace skorva
