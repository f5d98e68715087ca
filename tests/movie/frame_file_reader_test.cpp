// The copying entry's files read ahead: each one whole and in the expected order, the rest read on the spot
// once the order is left, and nothing but a regular file of bounded length.

#include "movie/frame_file_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/fakes/scratch_folder.h"

namespace skorva {
namespace {

TEST(FrameFileReader, GivesEachFileWholeInOrderOrOnTheSpotAndRefusesWhatIsNoFrameFile) {
    testing::ScratchFolder folder;
    std::filesystem::create_directories(folder.path());
    std::vector<std::string> paths;
    for (int i = 0; i < 8; ++i) {
        paths.push_back(folder.file("f" + std::to_string(i) + ".jpg"));
        std::ofstream(paths.back(), std::ios::binary)
            << std::string(static_cast<std::size_t>(10 + i), static_cast<char>('a' + i));
    }
    const std::string fifo = folder.file("fifo.jpg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string missing = folder.file("gone.jpg");
    std::ofstream(folder.file("long.jpg"), std::ios::binary) << std::string(100, 'z');

    FrameFileReader reader(paths, 50);
    std::vector<std::uint8_t> bytes;
    // In order, out of it (the rest read on the spot), and again in order after that.
    for (const int i : {0, 1, 2, 5, 3, 4, 6, 7}) {
        ASSERT_TRUE(reader.take(paths[static_cast<std::size_t>(i)], bytes).ok()) << i;
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
                  std::string(static_cast<std::size_t>(10 + i), static_cast<char>('a' + i)));
    }
    // A FIFO is refused without waiting; a missing file and one over the limit are refused too.
    for (const std::string& refused : {fifo, missing, folder.file("long.jpg")}) {
        EXPECT_FALSE(reader.take(refused, bytes).ok()) << refused;
        EXPECT_FALSE(readFrameFile(refused, 50, bytes).ok()) << refused;
    }
}

}  // namespace
}  // namespace skorva
