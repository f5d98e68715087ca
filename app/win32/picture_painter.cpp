#include "app/win32/picture_painter.h"

#include <cstring>
#include <vector>

namespace skorva::win32 {

void paintStretched(HDC dc, const RECT& into, const Picture& picture) {
    if (picture.isEmpty()) {
        return;
    }
    const std::int32_t width = picture.width();
    const std::int32_t height = picture.height();
    // A DIB's rows are as wide as its pixels at 32 bits: a picture with padded rows is packed first.
    const std::uint8_t* bits = picture.bits();
    std::vector<std::uint8_t> packed;
    if (picture.stride() != width * 4) {
        packed.resize(static_cast<std::size_t>(width) * 4 * static_cast<std::size_t>(height));
        for (std::int32_t y = 0; y < height; ++y) {
            std::memcpy(packed.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4,
                        picture.row(y), static_cast<std::size_t>(width) * 4);
        }
        bits = packed.data();
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    ::SetStretchBltMode(dc, HALFTONE);
    ::StretchDIBits(dc, into.left, into.top, into.right - into.left, into.bottom - into.top, 0, 0, width,
                    height, bits, &info, DIB_RGB_COLORS, SRCCOPY);
}

}  // namespace skorva::win32
