#include "imaging/picture.h"

#include <stdexcept>

namespace skorva {

Picture Picture::fromPixels(std::int32_t width, std::int32_t height, std::int32_t stride, PixelFormat format,
                            std::vector<std::uint8_t> bytes) {
    if (width < 0 || height < 0 || stride < 0) {
        throw std::invalid_argument("picture size is negative");
    }
    const auto needed = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
    if (static_cast<std::int64_t>(width) * bytesPerPixel(format) > stride || bytes.size() < needed) {
        throw std::invalid_argument("picture buffer is smaller than its size");
    }
    Picture picture;
    picture.data_ = std::make_shared<const Data>(Data{width, height, stride, format, std::move(bytes)});
    return picture;
}

Picture Picture::black(std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) {
        return fromPixels(0, 0, 0, PixelFormat::Bgrx32, {});
    }
    const std::int32_t stride = width * 4;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height), 0);
    for (std::size_t i = 3; i < bytes.size(); i += 4) {
        bytes[i] = 0xFF;
    }
    return fromPixels(width, height, stride, PixelFormat::Bgrx32, std::move(bytes));
}

}  // namespace skorva
