#include "tests/imaging/imaging_test_support.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <stdexcept>

#include "platform/jpeg/turbojpeg_handle.h"

namespace skorva::testing {

Picture gradientPicture(std::int32_t width, std::int32_t height) {
    return makePicture(width, height, [&](std::int32_t x, std::int32_t y) {
        const auto r = static_cast<std::uint32_t>(40 + 180 * y / std::max(1, height - 1));
        const auto g = static_cast<std::uint32_t>(200 - 150 * x / std::max(1, width - 1));
        const auto b = static_cast<std::uint32_t>(60 + (x + 2 * y) * 100 / std::max(1, width + 2 * height));
        return (r << 16) | (g << 8) | b;
    });
}

Decoded decodeJpegFile(const std::string& path) {
    Decoded result;
    std::vector<std::uint8_t> jpeg = readFile(path);
    if (jpeg.empty()) {
        return result;
    }
    const TurboJpegHandle handle(tjInitDecompress());
    int subsampling = 0;
    int colourspace = 0;
    if (tjDecompressHeader3(handle.get(), jpeg.data(), jpeg.size(), &result.width, &result.height,
                            &subsampling, &colourspace) != 0) {
        return result;
    }
    result.bgr.resize(static_cast<std::size_t>(result.width) * static_cast<std::size_t>(result.height) * 3);
    result.ok = tjDecompress2(handle.get(), jpeg.data(), jpeg.size(), result.bgr.data(), result.width,
                              result.width * 3, result.height, TJPF_BGR, 0) == 0;
    return result;
}

double psnr(const Decoded& decoded, const Picture& picture) {
    double squares = 0;
    std::size_t count = 0;
    for (int y = 0; y < decoded.height; ++y) {
        for (int x = 0; x < decoded.width; ++x) {
            for (int k = 0; k < 3; ++k) {
                const double a = decoded.bgr[(static_cast<std::size_t>(y) * decoded.width + x) * 3 + k];
                const double b = picture.row(y)[x * 4 + k];
                squares += (a - b) * (a - b);
                ++count;
            }
        }
    }
    if (squares == 0) {
        return std::numeric_limits<double>::infinity();
    }
    return 10 * std::log10(255.0 * 255.0 / (squares / static_cast<double>(count)));
}

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace skorva::testing
