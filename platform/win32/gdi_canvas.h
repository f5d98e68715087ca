#pragma once
// A GDI memory canvas: a top-down 32-bit DIB section selected into a memory device context, for BitBlt
// and PrintWindow to draw into and the program to read from.

#include <windows.h>

#include <cstdint>

#include "core/picture.h"

namespace skorva::win32 {

class GdiCanvas {
  public:
    // An empty canvas (valid() false) when GDI refuses the size or runs out of resources.
    GdiCanvas(std::int32_t width, std::int32_t height);
    ~GdiCanvas();
    GdiCanvas(const GdiCanvas&) = delete;
    GdiCanvas& operator=(const GdiCanvas&) = delete;

    bool valid() const { return bits_ != nullptr; }
    HDC dc() const { return dc_; }
    std::uint8_t* bits() const { return bits_; }
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    std::int32_t stride() const { return width_ * 4; }

    // Fills every byte with `value`.
    void fill(std::uint8_t value);
    // True when every pixel of the rectangle at (left, top) that lies on the canvas was drawn over a fill of
    // `value`: its fourth byte, which GDI leaves 0, no longer holds it. A window that draws its frame but
    // not its inside leaves the inside as filled.
    bool drawnOver(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                   std::uint8_t value) const;

    // The canvas's rectangle at (left, top), `width` x `height`, as a picture; what lies outside the canvas
    // is black. Pixels come out opaque (GDI leaves the fourth byte 0).
    Picture crop(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) const;

  private:
    std::int32_t width_;
    std::int32_t height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    std::uint8_t* bits_ = nullptr;
};

}  // namespace skorva::win32
