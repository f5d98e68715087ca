// What a movie write meets from outside: a full disk, a file size limit, a folder from someone else,
// hostile frame files, the program being asked to end. Every movie left behind is decoded with FFmpeg.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "imaging/picture_files.h"
#include "movie/avi_writer.h"
#include "platform/avi/codecs.h"
#include "platform/file_io.h"
#include "platform/held_beside.h"
#include "platform/termination.h"
#include "tests/fakes/message_recorder.h"
#include "tests/fakes/scripted_dialogs.h"
#include "tests/movie/movie_test_support.h"
#include "tests/movie/write_failure_support.h"

namespace skorva {
namespace {

namespace fs = std::filesystem;
using testing::decodeMovie;
using testing::FakeWriterView;
using testing::fileBytes;
using testing::fileNames;
using testing::runInChild;
using testing::ScratchFolder;

using testing::ScriptedUser;
using namespace testing::write_failures;

TEST(MovieWriteFailures, AFileSizeLimitIsReportedAndLeavesAPlayableMovieOfTheWholeFrames) {
    constexpr int kFrames = 24;
    constexpr std::int64_t kFrameChunk = 8 + 64 * 3 * 48;
    ScratchFolder folder;
    writeFrames(folder, kFrames, 64, 48);
    const auto fullSize = [&folder](std::uint32_t handler, const std::string& extension = "avi") {
        const std::string reference = folder.file("reference." + extension);
        {
            ScriptedUser user(reference, handler, 10000, 5);
            FakeWriterView view(folder.path().string());
            aviwrite_Click(view, user.messages);
        }
        const auto size = static_cast<std::int64_t>(fs::file_size(reference));
        fs::remove(reference);
        return size;
    };
    const std::int64_t full = fullSize(0);
    const std::int64_t header = full - kFrames * kFrameChunk - (8 + 16 * kFrames);
    const std::int64_t fullMpeg4 = fullSize(avi::makeFourcc("FMP4"));
    // Every limit leaves room for the temporary bitmap, whose write is not what is tried here.
    const std::int64_t halfMpeg4 = header + (fullMpeg4 - header) / 2;
    ASSERT_GT(halfMpeg4, 54 + kFrameChunk);
    const std::int64_t halfMp4 = fullSize(avi::makeFourcc("MJPG"), "mp4") / 2;
    ASSERT_GT(halfMp4, 54 + kFrameChunk);
    struct Case {
        const char* what;
        std::uint32_t handler;
        std::int64_t limit;
        bool earlierMovie;
        int fewest;
        int most;
        const char* extension = "avi";  // only an AVI movie is kept in part
    };
    const Case cases[] = {
        {"the header and half a frame", 0, header + kFrameChunk / 2, false, 0, 0},
        {"half the movie", 0, full / 2, false, 1, kFrames - 1},
        {"half the movie, an earlier movie of the name", 0, full / 2, true, 1, kFrames - 1},
        {"every frame but not the index", 0, full - 100, false, kFrames, kFrames},
        {"every frame but not the index, an earlier movie of the name", 0, full - 100, true, kFrames,
         kFrames},
        {"half an MPEG-4 movie with a key frame every 5", avi::makeFourcc("FMP4"), halfMpeg4, false, 1,
         kFrames - 1},
        {"room for the whole movie", 0, full + 4096, true, kFrames, kFrames},
        {"half an MP4 movie, an earlier movie of the name", avi::makeFourcc("MJPG"), halfMp4, true, 0, 0,
         "mp4"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        const std::string extension = each.extension;
        const std::string output = folder.file("movie." + extension);
        const std::string incomplete = folder.file("movie (incomplete)." + extension);
        fs::remove(output);
        fs::remove(incomplete);
        if (each.earlierMovie) {
            writeText(output, "an earlier movie");
        }
        const auto child = runInChild([&](const auto&) {
            installTerminationHandlers();  // as the program does: a passed limit fails the write
            const rlimit limit{static_cast<rlim_t>(each.limit), static_cast<rlim_t>(each.limit)};
            setrlimit(RLIMIT_FSIZE, &limit);
            ScriptedUser user(output, each.handler, 10000, 5);
            FakeWriterView view(folder.path().string());
            aviwrite_Click(view, user.messages);
            return reportOf(user);
        });
        ASSERT_EQ(child.exitCode, 0) << child.report;
        const std::vector<std::string> texts = messagesOf(child.report);
        EXPECT_TRUE(hiddenFiles(folder.path()).empty());
        if (each.limit > full) {
            EXPECT_TRUE(texts.empty()) << child.report;
            expectPlayable(output, kFrames);
            continue;
        }
        ASSERT_FALSE(texts.empty());
        const std::string& closing = texts.back();
        EXPECT_EQ(closing.rfind("There was an error writing the file.\r\nFile too large\r\n", 0), 0u)
            << closing;
        const std::string movie = each.earlierMovie ? incomplete : output;
        if (each.earlierMovie) {
            EXPECT_EQ(textOf(output), "an earlier movie");
            EXPECT_NE(closing.find(output + " is as it was."), std::string::npos) << closing;
        }
        if (each.most == 0) {
            const std::string nothingKept =
                extension == "avi" ? "No frame could be kept, so no movie was saved."
                                   : "An MP4 movie cannot be kept in part, so no movie was saved.";
            EXPECT_NE(closing.find(nothingKept), std::string::npos) << closing;
            EXPECT_FALSE(fs::exists(incomplete));
            EXPECT_EQ(fs::exists(output), each.earlierMovie);
            continue;
        }
        const auto kept = decodeMovie(movie);
        ASSERT_TRUE(kept.opened) << movie;
        const auto frames = static_cast<int>(kept.frames.size());
        EXPECT_GE(frames, each.fewest);
        EXPECT_LE(frames, each.most);
        EXPECT_NE(closing.find("the first " + std::to_string(frames) + " of 24 frames"), std::string::npos)
            << closing;
        EXPECT_NE(closing.find(movie), std::string::npos) << closing;
        expectPlayable(movie, frames);
        if (each.handler == 0) {
            for (int i = 0; i < frames; ++i) {
                EXPECT_EQ(kept.frames[static_cast<std::size_t>(i)],
                          testing::bgrRows(LoadPicture(folder.file(frameName(i)))))
                    << "frame " << i;
            }
        }
    }
}

TEST(MovieWriteFailures, AFullDiskIsReportedAsSuchAndLeavesAPlayableMovie) {
    ScratchFolder folder;
    writeFrames(folder, 24, 64, 48);
    const fs::path disk = folder.path() / "disk";
    fs::create_directory(disk);
    const std::string output = (disk / "movie.avi").string();
    // The small disk is the child's alone: it names what the disk holds in the first line of its report and
    // copies the movie out before it ends.
    const std::string kept = folder.file("kept.avi");
    const auto child = runInChild([&](const auto&) {
        if (!mountPrivateTmpfs(disk.string(), 0, "size=96k")) {
            return std::string("no small file system can be mounted here: ") + std::strerror(errno);
        }
        ScriptedUser user(output, 0);
        FakeWriterView view(folder.path().string());
        aviwrite_Click(view, user.messages);
        std::string names;
        for (const std::string& name : fileNames(disk)) {
            names += name + kSeparator;
        }
        std::error_code ignored;
        fs::copy_file(output, kept, ignored);
        return names + "\n" + reportOf(user);
    });
    if (child.report.rfind("no small file system", 0) == 0) {
        GTEST_SKIP() << child.report;
    }

    const std::size_t namesEnd = child.report.find('\n');
    ASSERT_NE(namesEnd, std::string::npos) << child.report;
    EXPECT_EQ(child.report.substr(0, namesEnd), std::string("movie.avi") + kSeparator);
    const std::vector<std::string> texts = messagesOf(child.report.substr(namesEnd + 1));
    ASSERT_FALSE(texts.empty());
    const std::string& closing = texts.back();
    EXPECT_EQ(closing.rfind("There was an error writing the file.\r\nNo space left on device\r\n", 0), 0u)
        << closing;
    const auto movie = decodeMovie(kept, false);
    ASSERT_TRUE(movie.opened);
    EXPECT_GT(movie.frames.size(), 0u);
    EXPECT_LT(movie.frames.size(), 24u);
    expectPlayable(kept, static_cast<std::int64_t>(movie.frames.size()));
}

TEST(MovieWriteFailures, WhateverStandsAtTheTemporaryBitmapIsReplacedNeverWrittenThrough) {
    ScratchFolder outside;
    const std::string victim = outside.file("victim.txt");
    struct Case {
        const char* what;
        std::function<void(const std::string& tmp)> plant;
    };
    const Case cases[] = {
        {"a symbolic link", [&](const std::string& tmp) { fs::create_symlink(victim, tmp); }},
        {"a hard link", [&](const std::string& tmp) { fs::create_hard_link(victim, tmp); }},
        {"a dangling link",
         [&](const std::string& tmp) { fs::create_symlink(outside.file("made.txt"), tmp); }},
        {"a FIFO", [](const std::string& tmp) { ASSERT_EQ(mkfifo(tmp.c_str(), 0600), 0); }},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        writeText(victim, "someone else's file");
        ScratchFolder folder;
        writeFrames(folder, 3, 40, 30);
        const std::string tmp = folder.file("tmp.bmp");
        each.plant(tmp);
        const std::string output = folder.file("movie.avi");
        ScriptedUser user(output, 0);
        FakeWriterView view(folder.path().string());
        aviwrite_Click(view, user.messages);

        EXPECT_TRUE(user.messages.messages.empty()) << user.messages.texts()[0];
        EXPECT_EQ(textOf(victim), "someone else's file");
        EXPECT_FALSE(fs::exists(outside.file("made.txt")));
        struct stat status {};
        ASSERT_EQ(lstat(tmp.c_str(), &status), 0);
        EXPECT_TRUE(S_ISREG(status.st_mode));
        EXPECT_EQ(status.st_nlink, 1u);
        EXPECT_EQ(fs::file_size(tmp), 54u + 120u * 30u);
        EXPECT_EQ(decodeMovie(output, false).frames.size(), 3u);
    }
}

TEST(MovieWriteFailures, AMovieNamedAfterOneOfItsInputsIsRefusedBeforeAnythingIsWritten) {
    ScratchFolder folder;
    writeFrames(folder, 3, 40, 30);
    writeText(folder.file("tmp.bmp"), "last frame");
    const fs::path linked = folder.path() / "linked";
    fs::create_directory_symlink(folder.path(), linked);
    const auto before = fileNames(folder.path());
    for (const std::string& output :
         {folder.file("tmp.bmp"), folder.file("f001.jpg"), (linked / "f000.jpg").string()}) {
        SCOPED_TRACE(output);
        ScriptedUser user(output, 0);
        FakeWriterView view(folder.path().string());
        aviwrite_Click(view, user.messages);
        EXPECT_EQ(user.messages.texts(),
                  std::vector<std::string>{"The movie cannot be saved over a file it is made from:\r\n" +
                                           output + "\r\nChoose another name."});
        EXPECT_EQ(user.chooser.calls, 0);
        EXPECT_EQ(fileNames(folder.path()), before);
    }
    EXPECT_EQ(textOf(folder.file("tmp.bmp")), "last frame");
}

// A JPEG whose header claims another size: the 16x16 picture's frame header patched.
void writeClaimingSize(const std::string& path, int width, int height) {
    testing::writeJpeg(path, 16, 16, 1);
    std::vector<char> bytes = fileBytes(path);
    for (std::size_t at = 2; at + 9 < bytes.size(); ++at) {
        if (static_cast<unsigned char>(bytes[at]) == 0xFF &&
            static_cast<unsigned char>(bytes[at + 1]) == 0xC0) {
            bytes[at + 5] = static_cast<char>(height >> 8);
            bytes[at + 6] = static_cast<char>(height & 0xFF);
            bytes[at + 7] = static_cast<char>(width >> 8);
            bytes[at + 8] = static_cast<char>(width & 0xFF);
            break;
        }
    }
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TEST(MovieWriteFailures, HostileFrameFilesAreRefusedFromTheirHeaderWithinBoundedMemory) {
    struct Case {
        const char* what;
        std::function<void(const std::string& path)> make;
        std::string reason;
    };
    constexpr std::uintmax_t kGiB = 1ull << 30;
    // The most a frame of any size costs decoded: an eighth of 16384 a side, 2048 x 2048 pixels of 4 bytes,
    // and as much again on its way into the movie, twice over where a sanitizer keeps freed memory a while.
    // A frame decoded at the size it declares would cost a gigabyte.
    constexpr long kLargestScaledKiB = 4 * 2048 * 2048 * 4 / 1024;
    const Case cases[] = {
        {"ordinary", [](const std::string& path) { testing::writeJpeg(path, 320, 240, 9); }, ""},
        {"a 6 GB sparse file",
         [&](const std::string& path) {
             writeText(path, "");
             fs::resize_file(path, 6 * kGiB);
         },
         "Not a JPEG file, or a damaged one"},
        {"a frame followed by 3 GB",
         [&](const std::string& path) {
             testing::writeJpeg(path, 320, 240, 9);
             fs::resize_file(path, 3 * kGiB);
         },
         "The file is far larger than a JPEG of 320 x 240 pixels can be"},
        {"a header that claims 23000 x 23000",
         [](const std::string& path) { writeClaimingSize(path, 23000, 23000); },
         "The frame is 23000 x 23000 pixels; a movie holds at most 16384 a side"},
        // Decoded at the smallest scale that covers the movie, it holds no picture data.
        {"a small file whose header claims 16384 x 16384",
         [](const std::string& path) { writeClaimingSize(path, 16384, 16384); },
         "Corrupt JPEG data: premature end of data segment"},
    };
    long ordinaryPeak = 0;
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        ScratchFolder folder;
        testing::writeJpeg(folder.file("f0.jpg"), 320, 240, 1);
        const std::string second = folder.file("f1.jpg");
        each.make(second);
        testing::writeJpeg(folder.file("f2.jpg"), 320, 240, 2);
        const std::string output = folder.file("movie.avi");
        const auto child = runInChild([&](const auto&) {
            ScriptedUser user(output, 0);
            FakeWriterView view(folder.path().string());
            aviwrite_Click(view, user.messages);
            return reportOf(user);
        });
        ASSERT_EQ(child.exitCode, 0) << child.report;
        if (each.reason.empty()) {
            EXPECT_EQ(child.report, "");
            ordinaryPeak = child.peakKiB;
            expectPlayable(output, 3);
            continue;
        }
        EXPECT_EQ(messagesOf(child.report),
                  std::vector<std::string>{"Could not decode frame:\r\n" + second + "\r\n" + each.reason});
        expectPlayable(output, 1);
        EXPECT_LE(child.peakKiB, ordinaryPeak + kLargestScaledKiB) << "ordinary " << ordinaryPeak << " KiB";
    }
    // The copying entry encodes such a frame anew, within the same memory, and says so.
    ScratchFolder folder;
    testing::writeJpeg(folder.file("f0.jpg"), 320, 240, 1);
    writeClaimingSize(folder.file("f1.jpg"), 16384, 16384);
    testing::writeJpeg(folder.file("f2.jpg"), 320, 240, 2);
    const std::string output = folder.file("copied.avi");
    const auto child = runInChild([&](const auto&) {
        ScriptedUser user(output, avi::makeFourcc("MJPC"));
        FakeWriterView view(folder.path().string());
        aviwrite_Click(view, user.messages);
        return reportOf(user);
    });
    EXPECT_EQ(
        messagesOf(child.report),
        std::vector<std::string>{"1 of the movie's 3 frames were encoded anew, not copied as they are: 1 "
                                 "damaged or cut short."});
    EXPECT_EQ(decodeMovie(output, false).containerFrames, 3);
    EXPECT_LE(child.peakKiB, ordinaryPeak + kLargestScaledKiB) << "ordinary " << ordinaryPeak << " KiB";
}

TEST(MovieWriteFailures, SigtermDuringAWriteFinishesTheMovieWithTheFramesSoFar) {
    ScratchFolder folder;
    writeFrames(folder, 40, 64, 48);
    const std::string output = folder.file("movie.avi");
    const auto child = runInChild(
        [&](const auto& ready) {
            installTerminationHandlers();
            ScriptedUser user(output, 0);
            FakeWriterView view(folder.path().string());
            // The first frame is shown once for the format, then frame i as number i + 2: the signal comes
            // while frame 4 is converted.
            view.onShow = [&ready](int shown, Picture&) {
                if (shown == 6) {
                    ready();
                    pollfd request{terminationRequestFd(), POLLIN, 0};
                    while (!terminationRequested()) {
                        poll(&request, 1, -1);
                    }
                }
            };
            aviwrite_Click(view, user.messages);
            return reportOf(user);
        },
        [](pid_t writer) { kill(writer, SIGTERM); });

    EXPECT_EQ(child.exitCode, 0);
    EXPECT_EQ(child.report,
              "Writing was cancelled: the movie holds the first 5 of 40 frames.\r\n" + output + kSeparator);
    expectPlayable(output, 5);
    EXPECT_TRUE(testing::fileContains(output, "idx1"));
    EXPECT_TRUE(hiddenFiles(folder.path()).empty());
}

}  // namespace
}  // namespace skorva
