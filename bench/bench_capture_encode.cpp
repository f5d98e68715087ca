// What one captured frame costs on its way to disk: the copy into a 24-bit section, and SaveJPG at the
// tick's quality 70 into a file, against the bare TurboJPEG encode of the same pixels into memory, which
// no writer of JPEG files can beat.

#include <benchmark/benchmark.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/dib_section.h"
#include "imaging/save_jpg.h"
#include "platform/jpeg/turbojpeg_handle.h"

namespace {

using skorva::Picture;

// Something like a webcam frame: smooth shading with some fine texture, not a flat colour that would
// flatter the encoder.
Picture syntheticFrame(std::int32_t width, std::int32_t height) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    std::uint32_t noise = 12345;
    std::size_t i = 0;
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const auto grain = static_cast<int>(noise >> 28);
            bytes[i++] = static_cast<std::uint8_t>((x * 255 / width + grain) & 0xFF);
            bytes[i++] = static_cast<std::uint8_t>((y * 255 / height + grain) & 0xFF);
            bytes[i++] = static_cast<std::uint8_t>(((x + y) * 127 / (width + height) + 64 + grain) & 0xFF);
            bytes[i++] = 0xFF;
        }
    }
    return Picture::fromPixels(width, height, width * 4, skorva::PixelFormat::Bgrx32, std::move(bytes));
}

// A file on tmpfs when there is one, so that the figures show the CPU's work rather than the disk's.
std::string scratchFile() {
    const std::filesystem::path shm = "/dev/shm";
    const auto folder = std::filesystem::is_directory(shm) ? shm : std::filesystem::temp_directory_path();
    return (folder / ("skorva-bench-" + std::to_string(::getpid()) + ".jpg")).string();
}

void setPixelCounters(benchmark::State& state, const Picture& picture) {
    state.counters["pixels/s"] = benchmark::Counter(
        static_cast<double>(picture.width()) * picture.height() * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}

void BM_CreateFromPicture(benchmark::State& state) {
    const Picture picture =
        syntheticFrame(static_cast<std::int32_t>(state.range(0)), static_cast<std::int32_t>(state.range(1)));
    for (auto _ : state) {
        skorva::cDIBSection section;
        section.CreateFromPicture(picture);
        benchmark::DoNotOptimize(section.DIBSectionBitsPtr());
    }
    setPixelCounters(state, picture);
}

void BM_CreateFromPictureAndSaveJPG(benchmark::State& state) {
    const Picture picture =
        syntheticFrame(static_cast<std::int32_t>(state.range(0)), static_cast<std::int32_t>(state.range(1)));
    const std::string path = scratchFile();
    for (auto _ : state) {
        skorva::cDIBSection section;
        section.CreateFromPicture(picture);
        if (!skorva::SaveJPG(section, path, 70)) {
            state.SkipWithError("SaveJPG failed");
            break;
        }
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
    std::filesystem::remove(path);
    setPixelCounters(state, picture);
}

void BM_TurboJpegEncodeOnly(benchmark::State& state) {
    const Picture picture =
        syntheticFrame(static_cast<std::int32_t>(state.range(0)), static_cast<std::int32_t>(state.range(1)));
    const skorva::TurboJpegHandle encoder(tjInitCompress());
    const unsigned long capacity = tjBufSize(picture.width(), picture.height(), TJSAMP_420);
    const skorva::TurboJpegBuffer buffer(tjAlloc(static_cast<int>(capacity)));
    unsigned long size = 0;
    for (auto _ : state) {
        unsigned char* output = buffer.get();
        size = capacity;
        if (tjCompress2(encoder.get(), picture.bits(), picture.width(), picture.stride(), picture.height(),
                        TJPF_BGRX, &output, &size, TJSAMP_420, 70, TJFLAG_NOREALLOC) != 0) {
            state.SkipWithError(tjGetErrorStr2(encoder.get()));
            break;
        }
        benchmark::DoNotOptimize(output);
    }
    state.counters["bytes"] = static_cast<double>(size);
    setPixelCounters(state, picture);
}

void frameSizes(benchmark::internal::Benchmark* bench) {
    bench->Args({320, 240})->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BM_CreateFromPicture)->Apply(frameSizes);
BENCHMARK(BM_CreateFromPictureAndSaveJPG)->Apply(frameSizes);
BENCHMARK(BM_TurboJpegEncodeOnly)->Apply(frameSizes);
