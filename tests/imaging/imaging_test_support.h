#pragma once
// Helpers for the imaging tests: scratch folders, synthetic pictures, decoding JPEGs independently of the
// code under test, and comparing pixels.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/picture.h"
#include "tests/fakes/scratch_folder.h"

namespace skorva::testing {

// A picture whose pixel (x, y) is pixel(x, y) as 0x00RRGGBB, with the fourth byte 0xFF.
template <typename F>
Picture makePicture(std::int32_t width, std::int32_t height, F pixel) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    std::size_t i = 0;
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint32_t v = pixel(x, y);
            bytes[i++] = static_cast<std::uint8_t>(v);
            bytes[i++] = static_cast<std::uint8_t>(v >> 8);
            bytes[i++] = static_cast<std::uint8_t>(v >> 16);
            bytes[i++] = 0xFF;
        }
    }
    return Picture::fromPixels(width, height, width * 4, PixelFormat::Bgrx32, std::move(bytes));
}

// A smooth picture that is not symmetric top to bottom or left to right, so that a flip shows.
Picture gradientPicture(std::int32_t width, std::int32_t height);

// A decoded JPEG, top-down, 3 bytes per pixel (B, G, R), rows packed.
struct Decoded {
    bool ok = false;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgr;
};
Decoded decodeJpegFile(const std::string& path);

// Peak signal-to-noise ratio in dB of decoded pixels against a picture's (B, G, R); +inf when equal.
double psnr(const Decoded& decoded, const Picture& picture);

std::vector<std::uint8_t> readFile(const std::string& path);
void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace skorva::testing
