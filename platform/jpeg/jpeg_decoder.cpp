#include "platform/jpeg/jpeg_decoder.h"

#include "platform/jpeg/jpeg_scaling.h"
#include "platform/jpeg/turbojpeg_handle.h"

#include <cstddef>
#include <new>
#include <vector>

namespace skorva {

std::optional<JpegSize> readJpegSize(std::span<const std::uint8_t> jpeg) {
    // A header read that failed leaves a TurboJPEG 2.1 handle broken for what follows: one handle a try.
    const TurboJpegHandle decoder(tjInitDecompress());
    JpegSize size;
    int subsampling = 0;
    int colourspace = 0;
    if (!decoder ||
        tjDecompressHeader3(decoder.get(), jpeg.data(), static_cast<unsigned long>(jpeg.size()), &size.width,
                            &size.height, &subsampling, &colourspace) != 0 ||
        size.width <= 0 || size.height <= 0) {
        return std::nullopt;
    }
    return size;
}

void JpegHeaderReader::HandleDestroy::operator()(void* handle) const {
    tjDestroy(handle);
}

std::optional<JpegSize> JpegHeaderReader::read(std::span<const std::uint8_t> jpeg) {
    if (!handle_) {
        handle_.reset(tjInitDecompress());
        if (!handle_) {
            return std::nullopt;
        }
    }
    JpegSize size;
    int subsampling = 0;
    int colourspace = 0;
    if (tjDecompressHeader3(handle_.get(), jpeg.data(), static_cast<unsigned long>(jpeg.size()), &size.width,
                            &size.height, &subsampling, &colourspace) != 0) {
        handle_.reset();
        return std::nullopt;
    }
    if (size.width <= 0 || size.height <= 0) {
        return std::nullopt;
    }
    return size;
}

JpegSize jpegScaleCovering(JpegSize declared, JpegSize cover) {
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    std::vector<ScaleFraction> scales;
    for (int i = 0; factors != nullptr && i < count; ++i) {
        scales.push_back({factors[i].num, factors[i].denom});
    }
    return smallestScaleCovering(declared, cover, scales);
}

Status decodeJpegBgrx(std::span<const std::uint8_t> jpeg, std::uint8_t* pixels, int width, int pitch,
                      int height, bool acceptDamage, bool* damaged) {
    const TurboJpegHandle decoder(tjInitDecompress());
    if (!decoder) {
        return Status::failure("Not enough memory");
    }
    const auto* bytes = jpeg.data();
    const auto length = static_cast<unsigned long>(jpeg.size());
    int declaredWidth = 0;
    int declaredHeight = 0;
    int subsampling = 0;
    int colourspace = 0;
    const bool inks = tjDecompressHeader3(decoder.get(), bytes, length, &declaredWidth, &declaredHeight,
                                          &subsampling, &colourspace) == 0 &&
                      (colourspace == TJCS_CMYK || colourspace == TJCS_YCCK);
    // TurboJPEG turns inks into nothing but inks: those are decoded as they are and made colours here.
    std::vector<std::uint8_t> cmyk;
    if (inks) {
        try {
            cmyk.resize(static_cast<std::size_t>(width) * 4 * static_cast<std::size_t>(height));
        } catch (const std::bad_alloc&) {
            return Status::failure("Not enough memory");
        }
    }
    // TurboJPEG sets the unused fourth byte to 0xFF itself: the pixels are opaque as they come.
    const bool warned =
        inks ? tjDecompress2(decoder.get(), bytes, length, cmyk.data(), width, width * 4, height, TJPF_CMYK,
                             0) != 0
             : tjDecompress2(decoder.get(), bytes, length, pixels, width, pitch, height, TJPF_BGRX, 0) != 0;
    if (damaged != nullptr) {
        *damaged = warned;
    }
    if (warned && !(acceptDamage && tjGetErrorCode(decoder.get()) == TJERR_WARNING)) {
        return Status::failure(tjGetErrorStr2(decoder.get()));
    }
    if (inks) {
        // The files of the programs that write inks keep them inverted (255: no ink): each colour is its
        // ink times the black.
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* from = cmyk.data() + static_cast<std::size_t>(y) * width * 4;
            std::uint8_t* to = pixels + static_cast<std::ptrdiff_t>(y) * pitch;
            for (int x = 0; x < width; ++x, from += 4, to += 4) {
                to[0] = static_cast<std::uint8_t>(from[2] * from[3] / 255);
                to[1] = static_cast<std::uint8_t>(from[1] * from[3] / 255);
                to[2] = static_cast<std::uint8_t>(from[0] * from[3] / 255);
                to[3] = 0xFF;
            }
        }
    }
    return {};
}

}  // namespace skorva
