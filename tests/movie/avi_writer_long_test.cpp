// A movie past 1 GiB: libavformat continues it as OpenDML, and every frame must still be found.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include <sys/resource.h>

#include "movie/avi_writer.h"
#include "platform/termination.h"
#include "tests/fakes/message_recorder.h"
#include "tests/fakes/scripted_dialogs.h"
#include "tests/movie/movie_test_support.h"

namespace skorva {
namespace {

TEST(AviWriterLong, AMovieOverOneGibIsOpenDmlAndCountedFully) {
    testing::ScratchFolder folder;
    // 1280 x 960 full frames are 3,686,400 bytes: 300 of them pass 1 GiB.
    testing::writeJpeg(folder.file("base0.jpg"), 1280, 960, 1);
    testing::writeJpeg(folder.file("base1.jpg"), 1280, 960, 2);
    constexpr int kFrames = 300;
    for (int i = 0; i < kFrames; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "frame%04d.jpg", i);
        std::filesystem::create_hard_link(folder.file(i % 2 == 0 ? "base0.jpg" : "base1.jpg"),
                                          folder.file(name));
    }
    std::filesystem::remove(folder.file("base0.jpg"));
    std::filesystem::remove(folder.file("base1.jpg"));

    const std::string output = folder.file("big.avi");
    testing::MessageRecorder messages;
    testing::ScriptedFileDialogs dialogs;
    dialogs.script.push_back(testing::savedAs(output));
    testing::ScriptedCodecChooser chooser;
    chooser.answer = CompressOptions{};
    testing::FakeWriterView view(folder.path().string(), "30");
    aviwrite_Click(view, messages);

    EXPECT_TRUE(messages.messages.empty());
    ASSERT_GT(std::filesystem::file_size(output), 1ull << 30);
    EXPECT_TRUE(testing::fileContains(output, "AVIX"));  // the RIFF list that continues a file past 1 GiB
    const std::string counted = testing::runCommand(
        "ffprobe -v error -select_streams v:0 -count_packets -show_entries "
        "stream=nb_read_packets,r_frame_rate "
        "-of default=noprint_wrappers=1 '" +
        output + "'");
    EXPECT_NE(counted.find("nb_read_packets=300"), std::string::npos) << counted;
    EXPECT_NE(counted.find("r_frame_rate=30/1"), std::string::npos) << counted;

    // The same movie on a disk that ends two and a half frames short: the continuation past 1 GiB keeps its
    // whole frames, with an index and headers that count them.
    const auto limit = static_cast<rlim_t>(std::filesystem::file_size(output) - 5 * 3686408 / 2);
    std::filesystem::remove(output);
    const auto child = testing::runInChild([&](const auto&) {
        installTerminationHandlers();
        const rlimit fileSizeLimit{limit, limit};
        setrlimit(RLIMIT_FSIZE, &fileSizeLimit);
        testing::MessageRecorder childMessages;
        dialogs.script.push_back(testing::savedAs(output));
        testing::FakeWriterView childView(folder.path().string(), "30");
        aviwrite_Click(childView, childMessages);
        return childMessages.texts().empty() ? std::string() : childMessages.texts().back();
    });
    EXPECT_EQ(
        child.report.rfind("There was an error writing the file.\r\nFile too large\r\nThe movie holds the "
                           "first 297 of 300 frames:",
                           0),
        0u)
        << child.report;
    const std::string cut = testing::runCommand(
        "ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets,nb_frames "
        "-of default=noprint_wrappers=1 '" +
        output + "'");
    EXPECT_EQ(cut, "nb_frames=297\nnb_read_packets=297\n");
    EXPECT_EQ(testing::runCommand("ffmpeg -nostdin -v error -i '" + output + "' -f null -"), "");
}

}  // namespace
}  // namespace skorva
