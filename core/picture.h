#pragma once
// The picture object: a reference-counted, immutable pixel buffer. Copies share the pixels; the last copy
// to go frees them. Grabs, decoded JPEG frames and the previews all pass pictures around this way.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace skorva {

// Bytes per pixel in memory order. Bgrx32 is what the X server's root window gives on a true-colour
// display (blue, green, red, unused); the unused byte is kept at 0xFF so that the pixels can be shown as
// opaque RGB32 without another pass.
enum class PixelFormat : std::uint8_t { Bgrx32 };

// Pixel memory that is not cleared when it is made, for a picture whose every byte is written at once
// (a screen grab): clearing a frame first would cost a pass over it for nothing.
class PixelBuffer {
  public:
    PixelBuffer() = default;
    // Throws std::bad_alloc when the memory cannot be had.
    static PixelBuffer uninitialised(std::size_t size);

    std::uint8_t* data() { return bytes_.get(); }
    std::size_t size() const { return size_; }

  private:
    friend class Picture;
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::size_t size_ = 0;
};

class Picture {
  public:
    // No picture at all ("no object").
    Picture() = default;

    // Takes ownership of rows stored top-down, `stride` bytes apart. An empty picture (0 x 0) is valid.
    static Picture fromPixels(std::int32_t width, std::int32_t height, std::int32_t stride,
                              PixelFormat format, std::vector<std::uint8_t> bytes);
    // The same for memory that the caller has filled completely.
    static Picture fromBuffer(std::int32_t width, std::int32_t height, std::int32_t stride,
                              PixelFormat format, PixelBuffer bytes);
    // Rows that live in memory owned elsewhere (a shared memory segment the X server wrote into): `owner`
    // keeps `size` bytes from `begin` alive and unchanged for as long as the picture or a copy of it lives.
    static Picture fromShared(std::int32_t width, std::int32_t height, std::int32_t stride,
                              PixelFormat format, const std::uint8_t* begin, std::size_t size,
                              std::shared_ptr<const void> owner);
    // A picture of the given size with every pixel black (and opaque).
    static Picture black(std::int32_t width, std::int32_t height);

    bool isNull() const { return !data_; }
    bool isEmpty() const { return !data_ || data_->width <= 0 || data_->height <= 0; }
    std::int32_t width() const { return data_ ? data_->width : 0; }
    std::int32_t height() const { return data_ ? data_->height : 0; }
    std::int32_t stride() const { return data_ ? data_->stride : 0; }
    PixelFormat format() const { return data_ ? data_->format : PixelFormat::Bgrx32; }
    const std::uint8_t* bits() const { return data_ ? data_->begin : nullptr; }
    const std::uint8_t* row(std::int32_t y) const {
        return bits() + static_cast<std::ptrdiff_t>(y) * stride();
    }
    std::size_t byteCount() const { return data_ ? data_->size : 0; }

    // A shared reference that keeps the pixels alive, for views such as a zero-copy QImage.
    std::shared_ptr<const void> keepAlive() const { return data_; }
    long useCount() const { return data_.use_count(); }

    friend bool operator==(const Picture& a, const Picture& b) { return a.data_ == b.data_; }

  private:
    struct Data {
        std::int32_t width = 0;
        std::int32_t height = 0;
        std::int32_t stride = 0;
        PixelFormat format = PixelFormat::Bgrx32;
        // The pixels live in one of the three.
        std::vector<std::uint8_t> vector;
        PixelBuffer buffer;
        std::shared_ptr<const void> owner;
        const std::uint8_t* begin = nullptr;
        std::size_t size = 0;
    };
    static void checkSize(std::int32_t width, std::int32_t height, std::int32_t stride, PixelFormat format,
                          std::size_t bytes);
    std::shared_ptr<const Data> data_;
};

constexpr int bytesPerPixel(PixelFormat) {
    return 4;
}

}  // namespace skorva
