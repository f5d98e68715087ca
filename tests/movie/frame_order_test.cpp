// The writer decodes frames ahead of the list on other cores; the movie must still follow the list, also
// where the list departs from the folder's name order.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "imaging/picture_files.h"
#include "movie/avi_writer.h"
#include "platform/file_list.h"
#include "tests/fakes/message_recorder.h"
#include "tests/fakes/scripted_dialogs.h"
#include "tests/movie/movie_test_support.h"

namespace skorva {
namespace {

using testing::ScratchFolder;

TEST(FrameOrder, TheMovieAndThePreviewFollowTheListWhereverItDepartsFromTheFolder) {
    ScratchFolder folder;
    std::vector<std::vector<std::uint8_t>> frames;
    for (int i = 0; i < 7; ++i) {
        const std::string path = folder.file("f" + std::to_string(i) + ".jpg");
        testing::writeJpeg(path, 20, 14, i * 11);
        frames.push_back(testing::bgrRows(LoadPicture(path)));
    }
    // In order, then a jump back, a repeat and a jump ahead: each departure from the frames decoded ahead.
    const std::vector<std::size_t> orders[] = {
        {0, 1, 2, 3, 4, 5, 6},
        {6, 5, 4, 3, 2, 1, 0},
        {0, 1, 5, 5, 2, 6, 3},
    };
    for (const auto& order : orders) {
        testing::MessageRecorder messages;
        testing::ScriptedFileDialogs dialogs;
        const std::string output = folder.file("movie.avi");
        dialogs.script.push_back(testing::savedAs(output));
        testing::ScriptedCodecChooser chooser;
        chooser.answer = CompressOptions{};
        // The list orders the folder's frames its own way.
        testing::FakeWriterView view(folder.path().string());
        view.list.order = order;
        std::vector<std::vector<std::uint8_t>> shown;
        view.onShow = [&shown](int, Picture& preview) { shown.push_back(testing::bgrRows(preview)); };
        aviwrite_Click(view, messages);
        EXPECT_TRUE(messages.messages.empty());

        const auto movie = testing::decodeMovie(output);
        ASSERT_EQ(movie.frames.size(), order.size());
        ASSERT_EQ(shown.size(), order.size() + 1);  // the first frame is shown for the format too
        EXPECT_EQ(shown[0], frames[order[0]]);
        for (std::size_t i = 0; i < order.size(); ++i) {
            EXPECT_EQ(movie.frames[i], frames[order[i]]) << "frame " << i;
            EXPECT_EQ(shown[i + 1], frames[order[i]]) << "preview " << i;
        }
    }
}

}  // namespace
}  // namespace skorva
