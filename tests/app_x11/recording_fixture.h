#pragma once
// A main window over the real X11 desktop, its message boxes captured and its output folder a fresh
// temporary one; and what the tests need to check the frames it writes against the viewer fixture.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/form1.h"
#include "tests/fakes/message_recorder.h"
#include "tests/fakes/scratch_folder.h"
#include "tests/x11/x11_test_support.h"

namespace skorva::testing {

// A decoded JPEG as 0xRRGGBB pixels, rows top-down; empty when the file cannot be decoded.
struct DecodedFrame {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};
DecodedFrame decodeJpeg(const std::filesystem::path& file);

// Where the tick must grab from a viewer window, worked out from the server's own answers (client
// geometry and the window manager's frame extents), not from the code under test.
struct ExpectedGrab {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    // The grab's top-left corner inside the client, where the fixture's picture starts at 0, 0.
    int clientX = 0;
    int clientY = 0;
};

// The peak signal-to-noise ratio of `frame` against the fixture picture painted with `seed`, the
// frame's pixel (x, y) taken as client pixel (x + clientX + dx, y + clientY + dy).
double psnrAgainstFixture(const DecodedFrame& frame, const ExpectedGrab& grab, std::uint32_t seed, int dx = 0,
                          int dy = 0);

// The same ratio for the fixture's picture encoded straight by TurboJPEG at quality 70, 4:2:0: what a
// frame of that area can reach at best.
double referencePsnr(const ExpectedGrab& grab, std::uint32_t seed);

class RecordingTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Waits until the window manager lists each window (it may still be managing a new one).
    bool listed(const std::vector<WindowHandle>& windows) const;
    // Makes the main window (its Form_Load lists the viewer windows as they are now).
    void load();
    // Selects the entry with this text and starts a recording; the test drives the ticks itself.
    void startRecording(const std::string& entryText);
    std::vector<std::string> filesInRecording() const;
    ExpectedGrab expectedGrab(WindowHandle window) const;
    std::string buttons() const;

    std::unique_ptr<Desktop> desktop;
    std::unique_ptr<XServer> server;
    std::unique_ptr<ScopedServices> installed;
    std::unique_ptr<MessageRecorder> messages;
    std::unique_ptr<Form1> form;
    std::optional<ScratchFolder> scratch;
    std::filesystem::path output;
    std::filesystem::path folder;
};

}  // namespace skorva::testing
