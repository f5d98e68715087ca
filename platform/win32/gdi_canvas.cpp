#include "platform/win32/gdi_canvas.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace skorva::win32 {

GdiCanvas::GdiCanvas(std::int32_t width, std::int32_t height) : width_(width), height_(height) {
    if (width <= 0 || height <= 0) {
        return;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows, as a picture stores them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = ::CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    bitmap_ = dc_ != nullptr ? ::CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    if (bitmap_ != nullptr) {
        previous_ = ::SelectObject(dc_, bitmap_);
        bits_ = static_cast<std::uint8_t*>(bits);
    }
}

GdiCanvas::~GdiCanvas() {
    if (previous_ != nullptr) {
        ::SelectObject(dc_, previous_);
    }
    if (bitmap_ != nullptr) {
        ::DeleteObject(bitmap_);
    }
    if (dc_ != nullptr) {
        ::DeleteDC(dc_);
    }
}

void GdiCanvas::fill(std::uint8_t value) {
    ::GdiFlush();
    std::memset(bits_, value, static_cast<std::size_t>(stride()) * static_cast<std::size_t>(height_));
}

bool GdiCanvas::drawnOver(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                          std::uint8_t value) const {
    ::GdiFlush();
    const std::int32_t firstColumn = std::max(left, 0);
    const std::int32_t endColumn = std::min(left + width, width_);
    const std::int32_t firstRow = std::max(top, 0);
    const std::int32_t endRow = std::min(top + height, height_);
    if (firstColumn >= endColumn || firstRow >= endRow) {
        return false;  // nothing of the rectangle on the canvas: nothing was drawn for it
    }
    for (std::int32_t y = firstRow; y < endRow; ++y) {
        const std::uint8_t* row = bits_ + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride());
        for (std::int32_t x = firstColumn; x < endColumn; ++x) {
            if (row[4 * x + 3] == value) {
                return false;
            }
        }
    }
    return true;
}

Picture GdiCanvas::crop(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) const {
    ::GdiFlush();
    const std::int32_t pictureStride = width * 4;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(pictureStride) *
                                     static_cast<std::size_t>(height));
    // Black and opaque where the canvas has nothing.
    for (std::size_t at = 3; at < pixels.size(); at += 4) {
        pixels[at] = 0xFF;
    }
    const std::int32_t firstX = std::max(0, -left);
    const std::int32_t lastX = std::min(width, width_ - left);
    for (std::int32_t y = std::max(0, -top); y < std::min(height, height_ - top) && firstX < lastX; ++y) {
        const std::uint8_t* from = bits_ +
                                   static_cast<std::size_t>(top + y) * static_cast<std::size_t>(stride()) +
                                   static_cast<std::size_t>(left + firstX) * 4;
        std::uint8_t* to = pixels.data() +
                           static_cast<std::size_t>(y) * static_cast<std::size_t>(pictureStride) +
                           static_cast<std::size_t>(firstX) * 4;
        for (std::int32_t x = firstX; x < lastX; ++x, from += 4, to += 4) {
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
        }
    }
    return Picture::fromPixels(width, height, pictureStride, PixelFormat::Bgrx32, std::move(pixels));
}

}  // namespace skorva::win32
