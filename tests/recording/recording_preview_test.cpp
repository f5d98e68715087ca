// A recording whose view shows its frames paints the preview while each frame is encoded; one without a
// preview (the command line) has nothing to paint meanwhile and encodes on its own. Both store the same
// frames.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "recording/recording.h"
#include "tests/fakes/fake_desktop.h"
#include "tests/fakes/message_recorder.h"
#include "tests/fakes/scratch_folder.h"

namespace skorva {
namespace {

using testing::FakeDesktop;
using testing::MessageRecorder;
using testing::ScratchFolder;

class PreviewView final : public RecordingView {
  public:
    PreviewView(ViewerEntry entry, std::string output, bool preview)
        : entry_(std::move(entry)), output_(std::move(output)), preview_(preview) {}

    std::optional<ViewerEntry> selectedEntry() override { return entry_; }
    std::string outputFolder() override { return output_; }
    bool saveAsJpg() override { return true; }
    bool saveAsBmp() override { return false; }
    bool keepWindowOnTop() override { return true; }
    void showFrame(const Picture&) override {}
    void paintPreview() override { ++paints; }
    bool hasPreview() override { return preview_; }
    void setFrameCountText(const std::string& text) override { counted.push_back(text); }
    void setSizeClassCaption(std::string_view) override {}
    void setTimerInterval(std::int32_t) override {}
    void setTimerEnabled(bool) override {}
    void setStartEnabled(bool) override {}
    void setStopEnabled(bool) override {}
    void setResetEnabled(bool) override {}
    LocaleNames localeNames() override {
        return {
            {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"}, "AM", "PM"};
    }

    int paints = 0;
    std::vector<std::string> counted;

  private:
    ViewerEntry entry_;
    std::string output_;
    bool preview_;
};

std::string contentsOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(RecordingPreview, ThePreviewIsPaintedWhileAFrameIsEncodedOnlyWhereThereIsOneAndTheFramesAreTheSame) {
    std::vector<std::string> framesOf[2];
    for (const bool preview : {true, false}) {
        SCOPED_TRACE(preview ? "with a preview" : "without");
        FakeDesktop desktop;
        MessageRecorder messages;
        ScratchFolder output("skorva-preview");
        const WindowHandle bob = desktop.add("Webcam for bob");
        PreviewView view({"Webcam for bob", bob}, output.path().string(), preview);
        Recording recording(view, messages);
        recording.start();
        for (int tick = 0; tick < 3; ++tick) {
            recording.tick();
        }
        EXPECT_TRUE(messages.texts().empty());
        EXPECT_EQ(view.counted, (std::vector<std::string>{"0", "1", "2"}));
        EXPECT_EQ(view.paints, preview ? 3 : 0);
        const std::filesystem::path folder = output.path() / recording.recordingFolder;
        ASSERT_EQ(testing::fileNames(folder),
                  (std::vector<std::string>{"bob0000000.jpg", "bob0000001.jpg", "bob0000002.jpg"}));
        for (const std::string& name : testing::fileNames(folder)) {
            framesOf[preview ? 0 : 1].push_back(contentsOf(folder / name));
        }
    }
    // The fake screen's picture, encoded the same way whichever core did it.
    EXPECT_EQ(framesOf[0], framesOf[1]);
    EXPECT_GT(framesOf[0][0].size(), 100u);
}

}  // namespace
}  // namespace skorva
