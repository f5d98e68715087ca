// The frames of a write made ready ahead on one thread: each one in order as it would be made now, never
// more than a few ahead, off the order on the spot, and what making one threw thrown on the taker's thread.

#include "movie/frame_read_ahead.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "movie/frame_file.h"
#include "tests/fakes/scratch_folder.h"

namespace skorva {
namespace {

TEST(FrameReadAhead, GivesEachFrameInOrderBoundedAheadAndThrowsWhatMakingOneThrewOnTheTakersThread) {
    std::vector<std::string> paths;
    for (int i = 0; i < 14; ++i) {
        paths.push_back("f" + std::to_string(i));
    }
    std::atomic<int> begun{0};
    std::atomic<int> taken{0};
    std::atomic<int> mostAhead{0};
    FrameReadAhead readAhead(paths, [&](PreparedFrame& frame) {
        const int ahead = ++begun - taken;
        for (int most = mostAhead; ahead > most && !mostAhead.compare_exchange_weak(most, ahead);) {
        }
        if (frame.path == "f5") {
            throw std::runtime_error("f5 broke");
        }
        frame.bytes.assign(frame.path.begin(), frame.path.end());
    });
    // The thread fills what it may before anything is taken.
    while (begun < static_cast<int>(FrameReadAhead::kAhead)) {
        std::this_thread::yield();
    }
    const std::thread::id taker = std::this_thread::get_id();
    // In order, out of it (the rest made on the spot), and on in order after that.
    for (const int i : {0, 1, 2, 3, 4, 5, 6, 7, 10, 8, 9, 11, 12, 13}) {
        const std::string& path = paths[static_cast<std::size_t>(i)];
        if (i == 5) {
            try {
                static_cast<void>(readAhead.take(path));
                ADD_FAILURE() << "nothing thrown";
            } catch (const std::runtime_error& error) {
                EXPECT_STREQ(error.what(), "f5 broke");
                EXPECT_EQ(std::this_thread::get_id(), taker);
            }
        } else {
            PreparedFrame frame = readAhead.take(path);
            EXPECT_EQ(frame.path, path);
            EXPECT_EQ(std::string(frame.bytes.begin(), frame.bytes.end()), path);
            readAhead.giveBack(std::move(frame));
        }
        ++taken;
    }
    // The one being taken on the spot, and the read-ahead's own.
    EXPECT_LE(mostAhead, static_cast<int>(FrameReadAhead::kAhead) + 1);
}

TEST(FrameFile, IsReadWholeAndNothingButARegularFileOfBoundedLength) {
    testing::ScratchFolder folder;
    const std::string frame = folder.file("f.jpg");
    std::ofstream(frame, std::ios::binary) << std::string(50, 'a');
    const std::string fifo = folder.file("fifo.jpg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(folder.file("long.jpg"), std::ios::binary) << std::string(51, 'z');

    std::vector<std::uint8_t> bytes(1000, 'x');
    ASSERT_TRUE(readFrameFile(frame, 50, bytes).ok());
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), std::string(50, 'a'));
    // A FIFO is refused without waiting; a missing file and one over the limit are refused too.
    for (const std::string& refused : {fifo, folder.file("gone.jpg"), folder.file("long.jpg")}) {
        EXPECT_FALSE(readFrameFile(refused, 50, bytes).ok()) << refused;
    }
}

}  // namespace
}  // namespace skorva
