// The AVI writer's own path, with scripted dialogs and a stand-in main window, on a folder of JPEG
// frames: decode, "tmp.bmp", cDib, encode, mux. bench/run_write_avi.sh runs it beside ffmpeg.
//
//   bench_write_avi --make-frames DIR WIDTH HEIGHT COUNT   writes COUNT JPEG frames (quality 70)
//   bench_write_avi --peak-memory DIR CODEC                writes one movie, prints the peak resident KiB
//   bench_write_avi [benchmark flags]                      SKORVA_BENCH_FRAMES names the frame folder

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <turbojpeg.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "movie/avi_writer.h"
#include "platform/avi/codecs.h"
#include "platform/file_list.h"
#include "platform/services.h"

namespace {

using namespace skorva;

struct TjFree {
    void operator()(void* handle) const { tjDestroy(handle); }
};
struct TjBufferFree {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

// Moving gradients with noise and a few sharp edges: content that costs what a webcam frame costs.
int makeFrames(const std::string& folder, int width, int height, int count) {
    std::filesystem::create_directories(folder);
    std::unique_ptr<void, TjFree> encoder(tjInitCompress());
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
        unsigned char* raw = nullptr;
        unsigned long size = 0;
        if (tjCompress2(encoder.get(), rgb.data(), width, width * 3, height, TJPF_RGB, &raw, &size,
                        TJSAMP_420, 70, 0) != 0) {
            return 1;
        }
        std::unique_ptr<unsigned char, TjBufferFree> jpeg(raw);
        char name[32];
        std::snprintf(name, sizeof name, "/frame%06d.jpg", n);
        std::FILE* out = std::fopen((folder + name).c_str(), "wb");
        if (out == nullptr) {
            return 1;
        }
        std::fwrite(jpeg.get(), 1, size, out);
        std::fclose(out);
    }
    return 0;
}

class FrameList final : public FrameListControl {
  public:
    void setPattern(const std::string& pattern) override { pattern_ = pattern; }
    void setPath(const std::string& folder) override { names_ = listMatchingFiles(folder, pattern_); }
    std::int32_t listCount() const override { return static_cast<std::int32_t>(names_.size()); }
    void setListIndex(std::int32_t index) override { index_ = index; }
    std::string fileName() const override { return names_[static_cast<std::size_t>(index_)]; }

  private:
    std::string pattern_;
    std::vector<std::string> names_;
    std::int32_t index_ = 0;
};

class View final : public AviWriterView {
  public:
    explicit View(std::string folder) : folder_(std::move(folder)) {}
    std::string outputFolder() override { return folder_; }
    std::string frameRateText() override { return "3"; }
    FrameListControl& frameList() override { return list_; }
    void showPicture(const Picture& picture) override { shown_ = picture; }
    Picture shownPicture() override { return shown_; }
    WindowHandle ownerHandle() override { return 0; }

  private:
    std::string folder_;
    FrameList list_;
    Picture shown_;
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
    bool choose(WindowHandle, std::uint32_t, CompressOptions& options) override {
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
    return 0;
}

// One movie from `folder` into a file beside it (not inside: it would not be a frame, but keep it apart).
void writeMovie(const std::string& folder, std::uint32_t fourcc) {
    const std::string output = folder + ".avi";
    SaveTo dialogs(output);
    Pick chooser(fourcc);
    Messages messages;
    ScopedServices installed(
        Services{.messages = &messages, .fileDialogs = &dialogs, .codecChooser = &chooser});
    View view(folder);
    aviwrite_Click(view);
}

void BM_WriteAvi(benchmark::State& state, const char* codec) {
    const char* folder = std::getenv("SKORVA_BENCH_FRAMES");
    if (folder == nullptr) {
        state.SkipWithError("SKORVA_BENCH_FRAMES names no frame folder (see bench/run_write_avi.sh)");
        return;
    }
    const auto frames = static_cast<double>(listMatchingFiles(folder, "*.jpg").size());
    for (auto _ : state) {
        writeMovie(folder, codecOf(codec));
    }
    state.counters["fps"] =
        benchmark::Counter(frames * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(BM_WriteAvi, uncompressed, "raw")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_WriteAvi, mjpeg, "mjpeg")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK_CAPTURE(BM_WriteAvi, h264, "h264")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 6 && std::string(argv[1]) == "--make-frames") {
        return makeFrames(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
    }
    if (argc == 4 && std::string(argv[1]) == "--peak-memory") {
        writeMovie(argv[2], codecOf(argv[3]));
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%ld\n", usage.ru_maxrss);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
