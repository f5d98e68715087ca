#include "platform/jpeg/jpeg_decoder.h"

#include "platform/jpeg/turbojpeg_handle.h"

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

Status decodeJpegBgrx(std::span<const std::uint8_t> jpeg, std::uint8_t* pixels, int width, int pitch,
                      int height, bool acceptDamage) {
    const TurboJpegHandle decoder(tjInitDecompress());
    if (!decoder) {
        return Status::failure("Not enough memory");
    }
    // TurboJPEG sets the unused fourth byte to 0xFF itself: the pixels are opaque as they come.
    if (tjDecompress2(decoder.get(), jpeg.data(), static_cast<unsigned long>(jpeg.size()), pixels, width,
                      pitch, height, TJPF_BGRX, 0) != 0 &&
        !(acceptDamage && tjGetErrorCode(decoder.get()) == TJERR_WARNING)) {
        return Status::failure(tjGetErrorStr2(decoder.get()));
    }
    return {};
}

}  // namespace skorva
