// A movie past 1 GiB: libavformat continues it as OpenDML, and every frame must still be found.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "movie/avi_writer.h"
#include "tests/fakes/message_recorder.h"
#include "tests/fakes/scripted_dialogs.h"
#include "tests/movie/movie_test_support.h"

namespace skorva {
namespace {

struct PipeClose {
    void operator()(std::FILE* pipe) const { pclose(pipe); }
};

std::string run(const std::string& command) {
    std::unique_ptr<std::FILE, PipeClose> pipe(popen(command.c_str(), "r"));
    std::string output;
    char buffer[256];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr) {
        output += buffer;
    }
    return output;
}

bool contains(const std::string& path, const std::string& tag) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> chunk(1 << 20);
    std::string carry;
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const std::string text = carry + std::string(chunk.data(), static_cast<std::size_t>(in.gcount()));
        if (text.find(tag) != std::string::npos) {
            return true;
        }
        carry = text.size() >= tag.size() ? text.substr(text.size() - tag.size()) : text;
    }
    return false;
}

TEST(AviWriterLong, AMovieOverOneGibIsOpenDmlAndCountedFully) {
    testing::TempFolder folder;
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
    aviwrite_Click(view);

    EXPECT_TRUE(messages.messages.empty());
    ASSERT_GT(std::filesystem::file_size(output), 1ull << 30);
    EXPECT_TRUE(contains(output, "AVIX"));  // the RIFF list that continues a file past 1 GiB
    const std::string counted =
        run("ffprobe -v error -select_streams v:0 -count_packets -show_entries "
            "stream=nb_read_packets,r_frame_rate "
            "-of default=noprint_wrappers=1 '" +
            output + "'");
    EXPECT_NE(counted.find("nb_read_packets=300"), std::string::npos) << counted;
    EXPECT_NE(counted.find("r_frame_rate=30/1"), std::string::npos) << counted;
}

}  // namespace
}  // namespace skorva
