#include "core/picture.h"

#include <stdexcept>

namespace skorva {

PixelBuffer PixelBuffer::uninitialised(std::size_t size) {
    PixelBuffer buffer;
    buffer.bytes_ = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    buffer.size_ = size;
    return buffer;
}

void Picture::checkSize(std::int32_t width, std::int32_t height, std::int32_t stride, PixelFormat format,
                        std::size_t bytes) {
    if (width < 0 || height < 0 || stride < 0) {
        throw std::invalid_argument("picture size is negative");
    }
    const auto needed = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
    if (static_cast<std::int64_t>(width) * bytesPerPixel(format) > stride || bytes < needed) {
        throw std::invalid_argument("picture buffer is smaller than its size");
    }
}

Picture Picture::fromPixels(std::int32_t width, std::int32_t height, std::int32_t stride, PixelFormat format,
                            std::vector<std::uint8_t> bytes) {
    checkSize(width, height, stride, format, bytes.size());
    Data data{width, height, stride, format, std::move(bytes), {}, {}, nullptr, 0};
    data.begin = data.vector.data();
    data.size = data.vector.size();
    Picture picture;
    picture.data_ = std::make_shared<const Data>(std::move(data));
    return picture;
}

Picture Picture::fromBuffer(std::int32_t width, std::int32_t height, std::int32_t stride, PixelFormat format,
                            PixelBuffer bytes) {
    checkSize(width, height, stride, format, bytes.size());
    Data data{width, height, stride, format, {}, std::move(bytes), {}, nullptr, 0};
    data.begin = data.buffer.data();
    data.size = data.buffer.size();
    Picture picture;
    picture.data_ = std::make_shared<const Data>(std::move(data));
    return picture;
}

Picture Picture::fromShared(std::int32_t width, std::int32_t height, std::int32_t stride, PixelFormat format,
                            const std::uint8_t* begin, std::size_t size, std::shared_ptr<const void> owner) {
    checkSize(width, height, stride, format, size);
    Data data{width, height, stride, format, {}, {}, std::move(owner), begin, size};
    Picture picture;
    picture.data_ = std::make_shared<const Data>(std::move(data));
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
