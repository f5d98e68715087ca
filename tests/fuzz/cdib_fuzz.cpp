// Feeds arbitrary bytes to cDib::CreateFromFile as a bitmap file. A load may fail, but never read or
// allocate beyond the file, and a successful one must keep the model's invariants.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "movie/cdib.h"

namespace {

const std::string& inputPath() {
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("cdib-fuzz-" + std::to_string(getpid()) + ".bmp"))
            .string();
    return path;
}

volatile unsigned sink = 0;

// The input file goes with the process.
struct RemoveInput {
    ~RemoveInput() { std::remove(inputPath().c_str()); }
};

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static RemoveInput removeInput;

    std::FILE* file = std::fopen(inputPath().c_str(), "wb");
    if (file == nullptr) {
        return 0;
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    skorva::cDib dib;
    if (dib.CreateFromFile(inputPath()).ok()) {
        check(dib.FileType() == 19778);
        check(dib.BitOffset() >= 54 && static_cast<std::size_t>(dib.BitOffset()) <= size);
        check(dib.SizeBitmapInfo() == dib.BitOffset() - 14);
        check(dib.SizeImage() >= 0 && static_cast<std::size_t>(dib.SizeImage()) <= size - dib.BitOffset());
        // Touch every byte of both blocks, so that the sanitizer sees any overrun.
        unsigned sum = 0;
        for (std::int32_t i = 0; i < dib.SizeBitmapInfo(); ++i) {
            sum += dib.PointerToBitmapInfo()[i];
        }
        for (std::int32_t i = 0; i < dib.SizeImage(); ++i) {
            sum += dib.PointerToBits()[i];
        }
        sink = sum;
    }
    return 0;
}
