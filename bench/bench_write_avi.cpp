// "Write Avi" as the user meets it, on a folder of JPEG frames: the program's own main window on Qt's
// offscreen platform (the write on its own thread, the preview and the file list following it), scripted
// dialogs, then decode, "tmp.bmp", cDib, encode, mux; for mjpeg-copy the JPEG files' own bytes, checked and
// muxed. bench/run_write_avi.sh runs it beside whole processes of the command line and of ffmpeg.
//
//   bench_write_avi --make-frames DIR WIDTH HEIGHT COUNT [SOURCE]
//                                                          writes COUNT JPEG frames (quality 70); SOURCE
//                                                          gets their pixels before encoding, raw RGB
//   CODEC is uncompressed, mjpeg, h264 or mjpeg-copy.
//   bench_write_avi --peak-memory DIR CODEC                writes one movie, prints the peak resident KiB
//   bench_write_avi --fps DIR CODEC [--no-progress]        writes one movie, prints frames per second
//                                                          of the click (the window is up beforehand),
//                                                          the CPU milliseconds a frame (all threads), the
//                                                          longest the event loop waited (ms), and the CPU
//                                                          milliseconds a frame of the user-interface
//                                                          thread alone. --no-progress: the writer alone on
//                                                          this thread, as the command line runs it
//   bench_write_avi --weigh-progress DIR CODEC TURNS       TURNS movies of the window and TURNS of the
//                                                          writer alone, in turn in one process: the median
//                                                          frames a second of each, then the median CPU ms
//                                                          a frame of the user-interface thread
//   bench_write_avi [benchmark flags]                      SKORVA_BENCH_FRAMES names the frame folder

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/form1.h"
#include "movie/avi_writer.h"
#include "movie/folder_frame_list.h"
#include "platform/avi/codecs.h"
#include "platform/file_list.h"
#include "platform/jpeg/jpeg_encoder.h"
#include "platform/services.h"

namespace {

using namespace skorva;

// Moving gradients with noise and a few sharp edges: content that costs what a webcam frame costs. With
// `source`, the pixels before they became JPEGs go there as raw RGB video: what a movie's PSNR is
// measured against.
int makeFrames(const std::string& folder, int width, int height, int count, const char* source) {
    std::filesystem::create_directories(folder);
    std::FILE* sourceFile = source != nullptr ? std::fopen(source, "wb") : nullptr;
    if (source != nullptr && sourceFile == nullptr) {
        return 1;
    }
    JpegEncoder encoder;
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    unsigned noise = 12345;
    for (int n = 0; n < count; ++n) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                noise = noise * 1103515245u + 12345u;
                unsigned char* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
                const bool edge = ((x + n * 3) / 40 + y / 30) % 2 == 0;
                p[0] = static_cast<unsigned char>((x + n * 2) % 256 / (edge ? 1 : 2) + (noise >> 28));
                p[1] = static_cast<unsigned char>((y + n) % 256 / (edge ? 2 : 1) + (noise >> 29));
                p[2] = static_cast<unsigned char>((x * y / 64 + n * 5) % 256);
            }
        }
        if (!encoder.encode({rgb.data(), width, height, width * 3, JpegPixels::Rgb, false},
                            JpegSubsampling::Quarter420, 70)) {
            return 1;
        }
        if (sourceFile != nullptr) {
            std::fwrite(rgb.data(), 1, rgb.size(), sourceFile);
        }
        char name[32];
        std::snprintf(name, sizeof name, "/frame%06d.jpg", n);
        std::FILE* out = std::fopen((folder + name).c_str(), "wb");
        if (out == nullptr) {
            return 1;
        }
        std::fwrite(encoder.output().data(), 1, encoder.output().size(), out);
        std::fclose(out);
    }
    return sourceFile != nullptr && std::fclose(sourceFile) != 0 ? 1 : 0;
}

// Counts the paints the preview receives: proof that every frame was drawn, not only handed over.
class PaintCounter final : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
    std::int64_t paints = 0;
};

class SaveTo final : public FileDialogs {
  public:
    explicit SaveTo(std::string path) : path_(std::move(path)) {}
    bool run(FileDialogKind, OpenFileName& record) override {
        record.file = path_;
        record.fileTitle = "bench.avi";
        return true;
    }

  private:
    std::string path_;
};

class Pick final : public CodecChooser {
  public:
    explicit Pick(std::uint32_t fourcc) : fourcc_(fourcc) {}
    bool choose(WindowHandle, std::uint32_t, const std::vector<OfferedCodec>&,
                CompressOptions& options) override {
        options.fccHandler = fourcc_;
        options.quality = 7500;
        return true;
    }

  private:
    std::uint32_t fourcc_;
};

class Messages final : public MessageBoxes {
  public:
    void show(const std::string& text, MessageIcon) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
    }
};

std::uint32_t codecOf(const std::string& name) {
    if (name == "mjpeg") {
        return avi::makeFourcc("MJPG");
    }
    if (name == "h264") {
        return avi::makeFourcc("H264");
    }
    if (name == "mjpeg-copy") {
        return avi::makeFourcc("MJPC");
    }
    return 0;
}

class StandardErrorMessages final : public MessageSink {
  public:
    void show(const Message& message) override {
        std::fprintf(stderr, "message: %s\n", message.text.c_str());
    }
};

// The writer on the calling thread with no window, as the command line runs it: what the window's part
// (the writing thread, the preview, the list and the progress dialog) costs is the difference.
class BareView final : public AviWriterView {
  public:
    explicit BareView(std::string folder) : folder_(std::move(folder)) {}
    std::string outputFolder() override { return folder_; }
    std::string frameRateText() override { return "3"; }
    FrameListControl& frameList() override { return list_; }
    void showPicture(const Picture& picture) override { shown_ = picture; }
    Picture shownPicture() override { return shown_; }
    WindowHandle ownerHandle() override { return 0; }
    void writingFrame(std::int32_t, std::int32_t) override {}
    bool stopRequested() override { return false; }

  private:
    std::string folder_;
    FolderFrameList list_;
    Picture shown_;
};

// The main window of the run, shown on the offscreen platform so that its repaints really paint.
Form1* window = nullptr;
PaintCounter* previewPaints = nullptr;

// User and system time of every thread of the process so far.
double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// CPU time of the calling thread alone so far.
double threadCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// One movie from `folder` into a file beside it (not inside: it would not be a frame, but keep it apart).
// With `progress` false, the writer alone on this thread.
void writeMovie(const std::string& folder, std::uint32_t fourcc, bool progress = true) {
    const std::string output = folder + ".avi";
    SaveTo dialogs(output);
    Pick chooser(fourcc);
    Messages messages;
    ScopedServices installed(
        Services{.messages = &messages, .fileDialogs = &dialogs, .codecChooser = &chooser});
    window->txtPath->setText(QString::fromStdString(folder));
    window->txtFPS->setText(QStringLiteral("3"));
    if (progress) {
        QEventLoop loop;
        QObject::connect(window, &Form1::writeEnded, &loop, &QEventLoop::quit);
        window->aviwrite_Click();
        if (window->writing()) {
            loop.exec();
        }
        return;
    }
    BareView bare(folder);
    StandardErrorMessages said;
    skorva::aviwrite_Click(bare, said);
}

void BM_WriteAvi(benchmark::State& state, const char* codec) {
    const char* folder = std::getenv("SKORVA_BENCH_FRAMES");
    if (folder == nullptr) {
        state.SkipWithError("SKORVA_BENCH_FRAMES names no frame folder (see bench/run_write_avi.sh)");
        return;
    }
    const auto frames = static_cast<double>(listMatchingFiles(folder, "*.jpg").size());
    const std::int64_t paintsBefore = previewPaints->paints;
    for (auto _ : state) {
        writeMovie(folder, codecOf(codec));
    }
    state.counters["fps"] =
        benchmark::Counter(frames * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    // Paints of the preview a write.
    state.counters["previews"] =
        static_cast<double>(previewPaints->paints - paintsBefore) / static_cast<double>(state.iterations());
}

BENCHMARK_CAPTURE(BM_WriteAvi, uncompressed, "raw")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_WriteAvi, mjpeg, "mjpeg")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK_CAPTURE(BM_WriteAvi, h264, "h264")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK_CAPTURE(BM_WriteAvi, mjpeg_copy, "mjpeg-copy")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    if ((argc == 6 || argc == 7) && std::string(argv[1]) == "--make-frames") {
        return makeFrames(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]),
                          argc == 7 ? argv[6] : nullptr);
    }
    // No display needed: the window paints into memory.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    Messages messages;
    ScopedServices quiet(Services{.messages = &messages});
    Form1 form;
    PaintCounter paints;
    form.Image1->installEventFilter(&paints);
    form.show();
    QCoreApplication::processEvents();
    window = &form;
    previewPaints = &paints;
    if (argc == 4 && std::string(argv[1]) == "--peak-memory") {
        writeMovie(argv[2], codecOf(argv[3]));
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%ld\n", usage.ru_maxrss);
        return 0;
    }
    if (argc == 5 && std::string(argv[1]) == "--weigh-progress") {
        // Turns of the window's own write and of the writer on its controls alone, taken in turn in this
        // one process, so that both meet the same machine; the medians of the turns count.
        const auto frames = static_cast<double>(listMatchingFiles(argv[2], "*.jpg").size());
        std::vector<double> fps[2], uiCpu[2];
        for (int turn = 0; turn < 2 * std::atoi(argv[4]); ++turn) {
            const int side = turn % 2;
            const double threadCpuBefore = threadCpuSeconds();
            const auto start = std::chrono::steady_clock::now();
            writeMovie(argv[2], codecOf(argv[3]), side == 0);
            // What a write left the event loop to do is part of it.
            QCoreApplication::processEvents();
            const std::chrono::duration<double> taken = std::chrono::steady_clock::now() - start;
            fps[side].push_back(frames / taken.count());
            uiCpu[side].push_back((threadCpuSeconds() - threadCpuBefore) * 1000 / frames);
        }
        const auto median = [](std::vector<double> values) {
            std::sort(values.begin(), values.end());
            return values[values.size() / 2];
        };
        // Frames a second with and without, then CPU milliseconds a frame of the user-interface thread.
        std::printf("%.2f %.2f %.4f %.4f\n", median(fps[0]), median(fps[1]), median(uiCpu[0]),
                    median(uiCpu[1]));
        return 0;
    }
    if ((argc == 4 || (argc == 5 && std::string(argv[4]) == "--no-progress")) &&
        std::string(argv[1]) == "--fps") {
        const auto frames = static_cast<double>(listMatchingFiles(argv[2], "*.jpg").size());
        const std::int64_t paintsBefore = paints.paints;
        // A timer that would fire every millisecond: the longest gap between its ticks is the longest the
        // window waited for the event loop.
        QTimer heartbeat;
        heartbeat.setTimerType(Qt::PreciseTimer);
        QElapsedTimer sinceBeat;
        qint64 longestWaitNs = 0;
        QObject::connect(&heartbeat, &QTimer::timeout, [&] {
            longestWaitNs = std::max(longestWaitNs, sinceBeat.nsecsElapsed());
            sinceBeat.start();
        });
        heartbeat.start(1);
        sinceBeat.start();
        const double cpuBefore = cpuSeconds();
        const double threadCpuBefore = threadCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        writeMovie(argv[2], codecOf(argv[3]), argc == 4);
        // What a write left the event loop to do is part of it.
        QCoreApplication::processEvents();
        const std::chrono::duration<double> taken = std::chrono::steady_clock::now() - start;
        const double cpu = cpuSeconds() - cpuBefore;
        const double threadCpu = threadCpuSeconds() - threadCpuBefore;
        longestWaitNs = std::max(longestWaitNs, sinceBeat.nsecsElapsed());
        // The preview follows the write as fast as the window paints, and always ends on the last frame.
        if (argc == 4 && paints.paints == paintsBefore) {
            std::fprintf(stderr, "the preview was not painted\n");
            return 1;
        }
        std::printf("%.2f %.3f %.1f %.3f", frames / taken.count(), cpu * 1000 / frames,
                    static_cast<double>(longestWaitNs) / 1e6, threadCpu * 1000 / frames);
        std::printf("\n");
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
