// A long recording leaves the process as it found it: 1,000 ticks of a 320 x 240 recording through
// the main window take no memory, X resources, shared memory segments or file descriptors of their own.

#include <gmock/gmock.h>
#include <unistd.h>

#include <QApplication>
#include <QWindow>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "tests/app_x11/recording_fixture.h"
#include "tests/app_x11/x_resources.h"
#include "tests/fakes/process_figures.h"

// AddressSanitizer keeps freed memory in quarantine, so the resident size grows by design there; that
// run finds leaks with LeakSanitizer instead.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

namespace skorva::testing {
namespace {

namespace fs = std::filesystem;

std::string describe(const ClientResources& resources) {
    std::string text = std::to_string(resources.clients) + " clients:";
    for (const auto& [type, count] : resources.byType) {
        text += " " + type + "=" + std::to_string(count);
    }
    return text;
}

constexpr int kWarmUpTicks = 20;
constexpr int kTicks = 1000;
constexpr long kResidentSlack = 2L << 20;

TEST_F(RecordingTest, ThousandTicksKeepMemoryXResourcesAndDescriptorsWhereTheyWere) {
    // A moving picture, so that every frame differs as a webcam's would.
    FixtureProcess fixture({"x=100 y=100 w=368 h=385 moving title=Webcam for soak"});
    ASSERT_EQ(fixture.windows().size(), 1u);
    ASSERT_TRUE(listed(fixture.windows()));
    load();
    form->show();
    startRecording("Webcam for soak");
    // Each tick as in the program: the tick, then the event loop paints the previews.
    const auto tick = [&] {
        form->Timer1_Timer();
        QApplication::processEvents();
    };
    for (int i = 0; i < kWarmUpTicks; ++i) {
        tick();
    }
    ASSERT_TRUE(messages->messages.empty()) << messages->messages.front().text;
    // From frame 0 again: the warm-up's frames are replaced, so the folder ends with exactly kTicks.
    form->reset_Click();

    const long resident = residentBytes();
    const int descriptors = openDescriptors();
    const int segments = sharedMemoryMappings();
    const std::optional<ClientResources> resources = resourcesOfThisProcess(*server);
    ASSERT_TRUE(resources.has_value()) << "the X server has no X-Resource extension";
    // The desktop's connection and the test's own.
    ASSERT_GE(resources->clients, 2) << "the server does not know this process's connections";
    RecordProperty("x_resources", describe(*resources));
    // One segment the previews show, one for the next frame.
    if (server->hasShm()) {
        EXPECT_EQ(segments, 2);
    }

    for (int i = 0; i < kTicks; ++i) {
        tick();
        ASSERT_EQ(form->recording.frameCounter, i + 1) << messages->messages.size() << " message boxes";
    }
    EXPECT_TRUE(messages->messages.empty());

    const std::optional<ClientResources> after = resourcesOfThisProcess(*server);
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->clients, resources->clients);
    EXPECT_EQ(after->byType, resources->byType) << describe(*resources) << " before, " << describe(*after);
    EXPECT_EQ(openDescriptors(), descriptors);
    EXPECT_EQ(sharedMemoryMappings(), segments);
    if (!kAddressSanitizer) {
        EXPECT_LE(residentBytes(), resident + kResidentSlack)
            << "resident " << resident / 1024 << " KiB before, " << residentBytes() / 1024 << " KiB after";
    }

    // Every frame is there, complete, under its own number; nothing else is.
    const std::regex frameName("soak\\d{7}\\.jpg");
    int frames = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(std::regex_match(name, frameName)) << name;
        frames += std::regex_match(name, frameName) ? 1 : 0;
    }
    EXPECT_EQ(frames, kTicks);
    EXPECT_TRUE(fs::exists(folder / "soak0000999.jpg"));
    const DecodedFrame last = decodeJpeg(folder / "soak0000999.jpg");
    EXPECT_EQ(last.width, 320);
    EXPECT_EQ(last.height, 240);
}

}  // namespace
}  // namespace skorva::testing
