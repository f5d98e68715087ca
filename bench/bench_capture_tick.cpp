// What one capture tick costs on a real X server: Form1::Timer1_Timer() on a real main window over the X11
// desktop (restore check, keep on top, outer rectangle, the viewer's own pixels through a named pixmap and
// SHM, preview, section, SaveJPG at quality 70 into a file), with the preview painted at once. Against it,
// the bare TurboJPEG encode of the same grabbed pixels into memory, which no tick can beat, and the parts of
// the tick one by one.
//
// Needs an X server with viewer windows titled "Webcam for <W>x<H>" whose video area is W x H;
// bench/run_capture.sh sets that up. Wall time is "Time", CPU time "CPU": the CPU time of this whole
// process (all its threads); the X server's own work for the grab shows in the wall time only.
//
//   bench_capture_tick --grab-rects   prints "<W>x<H> <left> <top>" for each viewer window and exits.

#include <benchmark/benchmark.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/form1.h"
#include "app/window_system.h"
#include "imaging/dib_section.h"
#include "imaging/save_jpg.h"
#include "platform/jpeg/turbojpeg_handle.h"
#include "platform/services.h"
#include "platform/x11/x11_desktop.h"
#include "recording/capture_geometry.h"

namespace {

using namespace skorva;
namespace fs = std::filesystem;

constexpr int kQuality = 70;
// Frame numbers start again from 0 now and then, so that the scratch folder stays small.
constexpr std::int32_t kFramesBeforeReset = 200;

// Message boxes would stop the run; count them and say what they said.
class CountingMessages final : public MessageBoxes {
  public:
    void show(const std::string& text, MessageIcon) override {
        ++count;
        std::cerr << "message box: " << text << '\n';
    }
    int count = 0;
};

struct Environment {
    std::unique_ptr<Desktop> desktop;
    CountingMessages messages;
    std::unique_ptr<ScopedServices> installed;
    std::unique_ptr<Form1> form;
    fs::path scratch;
};

Environment& environment() {
    static Environment instance;
    return instance;
}

std::string sizeTitle(std::int64_t width, std::int64_t height) {
    return "Webcam for " + std::to_string(width) + "x" + std::to_string(height);
}

// The viewer window titled for this size, or 0.
WindowHandle viewerFor(std::int64_t width, std::int64_t height) {
    WindowHandle found = 0;
    const std::string title = sizeTitle(width, height);
    services().desktop->enumWindows([&](WindowHandle window) {
        if (services().desktop->windowTitle(window) == title) {
            found = window;
        }
        return found == 0;
    });
    return found;
}

// The grab rectangle the tick takes from this viewer window.
GrabRect grabOf(WindowHandle window) {
    Rect outer{0, 0, 0, 0};
    (void)services().desktop->windowRect(window, outer);
    return grabRectOf(outer, sizeClassOf(outer));
}

// Selects the viewer of this size in the main window and starts a recording; false (and the run
// skipped) when there is none or its grab has another size.
bool startRecording(benchmark::State& state) {
    Form1& form = *environment().form;
    form.btstop_Click();
    form.Command1_Click();
    const QString title = QString::fromStdString(sizeTitle(state.range(0), state.range(1)));
    const QList<QListWidgetItem*> items = form.List1->findItems(title, Qt::MatchExactly);
    if (items.size() != 1) {
        state.SkipWithError("no viewer window of this size");
        return false;
    }
    form.List1->setCurrentItem(items.front());
    const GrabRect grab = grabOf(items.front()->data(Qt::UserRole).value<WindowHandle>());
    if (grab.width != state.range(0) || grab.height != state.range(1)) {
        state.SkipWithError("the viewer window's video area has another size");
        return false;
    }
    form.reset_Click();
    form.Start_Click();
    return !form.recording.recordingFolder.empty();
}

void setFrameCounters(benchmark::State& state) {
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Wall and process CPU time of every single frame. On a machine shared with other work the mean is
// dragged up by the frames that lost the processor; the median is what a frame costs.
class FrameClock {
  public:
    void start() {
        wall_ = now(CLOCK_MONOTONIC);
        cpu_ = now(CLOCK_PROCESS_CPUTIME_ID);
    }
    void stop() {
        walls_.push_back(now(CLOCK_MONOTONIC) - wall_);
        cpus_.push_back(now(CLOCK_PROCESS_CPUTIME_ID) - cpu_);
    }
    void report(benchmark::State& state) {
        state.counters["wall_median_ms"] = median(walls_);
        state.counters["cpu_median_ms"] = median(cpus_);
    }

  private:
    static double now(clockid_t clock) {
        timespec t{};
        clock_gettime(clock, &t);
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
    }
    static double median(std::vector<double>& values) {
        if (values.empty()) {
            return 0;
        }
        const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
        std::nth_element(values.begin(), middle, values.end());
        return *middle;
    }

    double wall_ = 0;
    double cpu_ = 0;
    std::vector<double> walls_;
    std::vector<double> cpus_;
};

void runTicks(benchmark::State& state, bool paint);

void BM_CaptureTick(benchmark::State& state) {
    runTicks(state, true);
}

// The same without painting the preview: what the preview's paint and Qt's flush to the server add.
void BM_CaptureTickUnpainted(benchmark::State& state) {
    runTicks(state, false);
}

void runTicks(benchmark::State& state, bool paint) {
    if (!startRecording(state)) {
        return;
    }
    Form1& form = *environment().form;
    const int messagesBefore = environment().messages.count;
    FrameClock clock;
    for (auto _ : state) {
        clock.start();
        form.Timer1_Timer();
        // Whatever the tick left for the event loop to paint is painted now, so that it counts.
        if (paint) {
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
        clock.stop();
        if (form.recording.frameCounter >= kFramesBeforeReset) {
            form.reset_Click();
        }
    }
    clock.report(state);
    if (environment().messages.count != messagesBefore) {
        state.SkipWithError("the tick showed a message box");
    }
    const fs::path lastFrame = fs::path(form.txtPath->text().toStdString()) / form.recording.recordingFolder /
                               (sizeTitle(state.range(0), state.range(1)).substr(11) + "0000000.jpg");
    std::error_code error;
    state.counters["bytes"] = static_cast<double>(fs::file_size(lastFrame, error));
    form.btstop_Click();
    setFrameCounters(state);
}

// The grabbed pixels of this size's viewer, or an empty picture (and the run skipped).
Picture grabbedPixels(benchmark::State& state) {
    const WindowHandle window = viewerFor(state.range(0), state.range(1));
    if (window == 0) {
        state.SkipWithError("no viewer window of this size");
        return {};
    }
    const GrabRect grab = grabOf(window);
    Picture picture = services().desktop->grabScreen(grab.left, grab.top, grab.width, grab.height);
    if (picture.width() != state.range(0) || picture.height() != state.range(1)) {
        state.SkipWithError("the viewer window's video area has another size");
        return {};
    }
    return picture;
}

// The limit: TurboJPEG alone, the grabbed pixels as they are (4 bytes a pixel, top-down) into a buffer
// allocated once.
void BM_BareEncode(benchmark::State& state) {
    const Picture picture = grabbedPixels(state);
    if (picture.isEmpty()) {
        return;
    }
    TurboJpegHandle handle(tjInitCompress());
    const unsigned long capacity = tjBufSize(picture.width(), picture.height(), TJSAMP_420);
    TurboJpegBuffer buffer(tjAlloc(static_cast<int>(capacity)));
    unsigned long size = 0;
    FrameClock clock;
    for (auto _ : state) {
        clock.start();
        unsigned char* output = buffer.get();
        size = capacity;
        if (tjCompress2(handle.get(), picture.bits(), picture.width(), picture.stride(), picture.height(),
                        TJPF_BGRX, &output, &size, TJSAMP_420, kQuality, TJFLAG_NOREALLOC) != 0) {
            state.SkipWithError("tjCompress2 failed");
            break;
        }
        benchmark::DoNotOptimize(output);
        clock.stop();
    }
    clock.report(state);
    state.counters["bytes"] = static_cast<double>(size);
    setFrameCounters(state);
}

// The tick's parts one by one, to see where the time goes.
void BM_WindowState(benchmark::State& state) {
    const WindowHandle window = viewerFor(state.range(0), state.range(1));
    if (window == 0) {
        state.SkipWithError("no viewer window of this size");
        return;
    }
    Desktop& desktop = *services().desktop;
    FrameClock clock;
    for (auto _ : state) {
        clock.start();
        if (desktop.isIconic(window)) {
            desktop.restoreWindow(window);
        }
        desktop.keepOnTop(window);
        Rect outer{0, 0, 0, 0};
        benchmark::DoNotOptimize(desktop.windowRect(window, outer));
        clock.stop();
    }
    clock.report(state);
}

// The tick's grab: the viewer's own pixels, its video area counted from its outer corner.
void BM_Grab(benchmark::State& state) {
    const WindowHandle window = viewerFor(state.range(0), state.range(1));
    if (window == 0) {
        state.SkipWithError("no viewer window of this size");
        return;
    }
    Rect outer{0, 0, 0, 0};
    (void)services().desktop->windowRect(window, outer);
    const GrabRect grab = grabOf(window);
    FrameClock clock;
    for (auto _ : state) {
        clock.start();
        const Picture picture = services().desktop->grabWindow(
            window, grab.left - outer.left, grab.top - outer.top, grab.width, grab.height, nullptr);
        benchmark::DoNotOptimize(picture.bits());
        clock.stop();
    }
    clock.report(state);
    services().desktop->endWindowGrabs();
}

void BM_Preview(benchmark::State& state) {
    const Picture picture = grabbedPixels(state);
    if (picture.isEmpty()) {
        return;
    }
    Form1& form = *environment().form;
    FrameClock clock;
    for (auto _ : state) {
        clock.start();
        form.Picture1->setPicture(picture);
        form.Image1->setPicture(picture);
        form.Image1->repaint();
        clock.stop();
    }
    clock.report(state);
}

void BM_SectionAndSaveJPG(benchmark::State& state) {
    const Picture picture = grabbedPixels(state);
    if (picture.isEmpty()) {
        return;
    }
    const std::string path = (environment().scratch / "section.jpg").string();
    FrameClock clock;
    for (auto _ : state) {
        clock.start();
        cDIBSection section;
        section.CreateFromPicture(picture);
        if (!SaveJPG(section, path, kQuality)) {
            state.SkipWithError("SaveJPG failed");
            break;
        }
        clock.stop();
    }
    clock.report(state);
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Args({320, 240})->Args({640, 480})->Args({1920, 1080});
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
}

BENCHMARK(BM_CaptureTick)->Apply(sizes);
BENCHMARK(BM_CaptureTickUnpainted)->Apply(sizes);
BENCHMARK(BM_BareEncode)->Apply(sizes);
BENCHMARK(BM_WindowState)->Apply(sizes);
BENCHMARK(BM_Grab)->Apply(sizes);
BENCHMARK(BM_Preview)->Apply(sizes);
BENCHMARK(BM_SectionAndSaveJPG)->Apply(sizes);

int printGrabRects() {
    services().desktop->enumWindows([](WindowHandle window) {
        const std::string title = services().desktop->windowTitle(window);
        if (title.rfind("Webcam for ", 0) == 0) {
            const GrabRect grab = grabOf(window);
            std::printf("%dx%d %d %d\n", grab.width, grab.height, grab.left, grab.top);
        }
        return true;
    });
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Pixel sizes are device pixels.
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    // As the program starts its window system.
    prepareWindowSystem();
    QApplication application(argc, argv);
    Environment& env = environment();
    env.desktop = makeX11Desktop();
    if (!env.desktop) {
        std::fputs("bench_capture_tick: no X server\n", stderr);
        return 1;
    }
    env.installed =
        std::make_unique<ScopedServices>(Services{.desktop = env.desktop.get(), .messages = &env.messages});
    if (argc > 1 && std::string(argv[1]) == "--grab-rects") {
        return printGrabRects();
    }

    // Frames go to memory when the machine has a tmpfs, so that the disk does not decide the figures.
    const char* base = std::getenv("SKORVA_BENCH_DIR");
    const fs::path parent = base != nullptr                ? fs::path(base)
                            : fs::is_directory("/dev/shm") ? fs::path("/dev/shm")
                                                           : fs::temp_directory_path();
    std::string pattern = (parent / "skorva-tick-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("bench_capture_tick: scratch folder");
        return 1;
    }
    env.scratch = pattern;

    // The main window as the user has it: shown, in a corner where it covers no viewer window.
    env.form = std::make_unique<Form1>();
    env.form->txtPath->setText(QString::fromStdString(env.scratch.string()));
    env.form->move(0, 0);
    if (const char* place = std::getenv("SKORVA_BENCH_FORM_AT")) {
        int x = 0;
        int y = 0;
        if (std::sscanf(place, "%d,%d", &x, &y) == 2) {
            env.form->move(x, y);
        }
    }
    env.form->show();
    // Qt paints nothing into a window that the server has not exposed yet.
    for (int wait = 0; wait < 500 && !(env.form->windowHandle() && env.form->windowHandle()->isExposed());
         ++wait) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        ::usleep(10'000);
    }
    if (!env.form->windowHandle() || !env.form->windowHandle()->isExposed()) {
        std::fputs("bench_capture_tick: the main window did not come on screen\n", stderr);
        return 1;
    }

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    env.form.reset();
    std::error_code ignored;
    fs::remove_all(env.scratch, ignored);
    return 0;
}
