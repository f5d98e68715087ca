#include "tests/app_x11/recording_fixture.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/jpeg/jpeg_decoder.h"
#include "platform/jpeg/jpeg_encoder.h"
#include "platform/x11/x11_desktop.h"
#include "tests/x11/fixture/fixture_picture.h"

namespace skorva::testing {

namespace fs = std::filesystem;

namespace {

DecodedFrame decodeJpegBytes(const std::vector<unsigned char>& bytes) {
    DecodedFrame frame;
    const std::optional<JpegSize> size = readJpegSize(bytes);
    if (!size) {
        return frame;
    }
    std::vector<std::uint8_t> bgrx(static_cast<std::size_t>(size->width) *
                                   static_cast<std::size_t>(size->height) * 4);
    if (!decodeJpegBgrx(bytes, bgrx.data(), size->width, size->width * 4, size->height)) {
        return frame;
    }
    frame.width = size->width;
    frame.height = size->height;
    frame.pixels.resize(static_cast<std::size_t>(size->width) * static_cast<std::size_t>(size->height));
    for (std::size_t i = 0; i < frame.pixels.size(); ++i) {
        frame.pixels[i] =
            std::uint32_t{bgrx[4 * i + 2]} << 16 | std::uint32_t{bgrx[4 * i + 1]} << 8 | bgrx[4 * i];
    }
    return frame;
}

}  // namespace

DecodedFrame decodeJpeg(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return decodeJpegBytes(
        std::vector<unsigned char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
}

double referencePsnr(const ExpectedGrab& grab, std::uint32_t seed) {
    std::vector<unsigned char> rgb(static_cast<std::size_t>(grab.width) *
                                   static_cast<std::size_t>(grab.height) * 3);
    std::size_t i = 0;
    for (int y = 0; y < grab.height; ++y) {
        for (int x = 0; x < grab.width; ++x) {
            const std::uint32_t pixel = fixture::pixel(x + grab.clientX, y + grab.clientY, seed);
            rgb[i++] = static_cast<unsigned char>(pixel >> 16);
            rgb[i++] = static_cast<unsigned char>(pixel >> 8);
            rgb[i++] = static_cast<unsigned char>(pixel);
        }
    }
    JpegEncoder encoder;
    const JpegInput input{.pixels = rgb.data(),
                          .width = grab.width,
                          .height = grab.height,
                          .pitch = grab.width * 3,
                          .format = JpegPixels::Rgb,
                          .bottomUp = false};
    if (!encoder.encode(input, JpegSubsampling::Quarter420, 70)) {
        return 0;
    }
    const std::span<const std::uint8_t> output = encoder.output();
    return psnrAgainstFixture(decodeJpegBytes(std::vector<unsigned char>(output.begin(), output.end())), grab,
                              seed);
}

double psnrAgainstFixture(const DecodedFrame& frame, const ExpectedGrab& grab, std::uint32_t seed, int dx,
                          int dy) {
    double squares = 0;
    std::size_t samples = 0;
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            const std::uint32_t expected = fixture::pixel(x + grab.clientX + dx, y + grab.clientY + dy, seed);
            const std::uint32_t actual = frame.at(x, y);
            for (int shift = 0; shift <= 16; shift += 8) {
                const double difference = static_cast<double>((expected >> shift) & 0xFF) -
                                          static_cast<double>((actual >> shift) & 0xFF);
                squares += difference * difference;
                ++samples;
            }
        }
    }
    if (samples == 0) {
        return 0;
    }
    const double meanSquare = squares / static_cast<double>(samples);
    return meanSquare == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / meanSquare);
}

void RecordingTest::SetUp() {
    if (std::getenv("DISPLAY") == nullptr) {
        GTEST_SKIP() << "DISPLAY is not set: no X server to record from";
    }
    desktop = makeX11Desktop();
    server = XServer::connect();
    if (!desktop || !server) {
        GTEST_SKIP() << "no X server can be reached";
    }
    installed = std::make_unique<ScopedServices>(Services{.desktop = desktop.get()});
    messages = std::make_unique<MessageRecorder>();
    scratch.emplace("skorva-recording");
    output = scratch->path();
}

void RecordingTest::TearDown() {
    form.reset();
    messages.reset();
    installed.reset();
    scratch.reset();
}

bool RecordingTest::listed(const std::vector<WindowHandle>& windows) const {
    return eventually([&] {
        std::vector<WindowHandle> all;
        desktop->enumWindows([&](WindowHandle window) {
            all.push_back(window);
            return true;
        });
        return std::all_of(windows.begin(), windows.end(), [&](WindowHandle window) {
            return std::find(all.begin(), all.end(), window) != all.end();
        });
    });
}

void RecordingTest::load() {
    form = std::make_unique<Form1>();
    form->txtPath->setText(QString::fromStdString(output.string()));
}

void RecordingTest::startRecording(const std::string& entryText) {
    const auto items = form->List1->findItems(QString::fromStdString(entryText), Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << entryText << " is not listed";
    form->List1->setCurrentItem(items.front());
    form->Start_Click();
    ASSERT_TRUE(form->Timer1->ticking());
    ASSERT_FALSE(form->recording.recordingFolder.empty());
    folder = output / form->recording.recordingFolder;
    // The ticks come from the test, not from the timer.
    form->Timer1->setEnabled(false);
}

std::vector<std::string> RecordingTest::filesInRecording() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

ExpectedGrab RecordingTest::expectedGrab(WindowHandle window) const {
    ExpectedGrab grab;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    EXPECT_TRUE(server->clientGeometry(window, x, y, width, height));
    // left, right, top, bottom
    std::vector<std::uint32_t> frame = server->cardinals(window, "_NET_FRAME_EXTENTS");
    frame.resize(4, 0);
    const int left = x - static_cast<int>(frame[0]);
    const int top = y - static_cast<int>(frame[2]);
    const int outerWidth = width + static_cast<int>(frame[0] + frame[1]);
    const int outerHeight = height + static_cast<int>(frame[2] + frame[3]);
    const bool large = outerWidth > 250;
    grab.left = left + 25;
    grab.top = top + (large ? 50 : 44);
    grab.width = outerWidth - 50;
    grab.height = outerHeight - (large ? 170 : 164);
    grab.clientX = grab.left - x;
    grab.clientY = grab.top - y;
    return grab;
}

std::string RecordingTest::buttons() const {
    std::string states;
    for (const QPushButton* button : {form->Start, form->btstop, form->pause, form->reset}) {
        states += button->isEnabled() ? '1' : '0';
    }
    return states;
}

}  // namespace skorva::testing
