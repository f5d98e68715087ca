#pragma once
// cDIBSection: an owned 24-bit pixel buffer laid out as a bottom-up device-independent bitmap: 3 bytes per
// pixel (blue, green, red), rows BytesPerScanLine bytes apart and padded to 4 bytes, row 0 in memory is
// the bottom row of the image. The capture tick fills one from each grab and hands it to SaveJPG, which
// encodes straight from this memory.
//
// X11 has no device contexts: the copies that would go through one take the surface they copy from or to
// directly (a Picture, or another section), and hDC and hDib are 0.

#include <cstdint>
#include <memory>

#include "core/bitmap_format.h"
#include "core/picture.h"
#include "core/status.h"

namespace skorva {

// The owned pixel memory of a section.
using SectionBits = std::unique_ptr<std::uint8_t[]>;

class cDIBSection {
  public:
    cDIBSection() = default;
    ~cDIBSection() { ClearUp(); }
    cDIBSection(const cDIBSection&) = delete;
    cDIBSection& operator=(const cDIBSection&) = delete;

    // Puts a copy of the pixels on the clipboard as a bitmap. bAsDIB true is not supported: the failure
    // says so, for the caller to show. A failure too when there are no pixels or the clipboard refuses them.
    Status CopyToClipboard(bool bAsDIB);
    // Fills the header for lWidth x lHeight and allocates zeroed pixel memory into hDib. False for a size
    // without pixels or when the memory cannot be had; std::overflow_error when the size does not fit.
    bool CreateDIB(std::int32_t lWidth, std::int32_t lHeight, SectionBits& hDib);
    // Takes the picture's size and a 24-bit copy of its pixels, bottom row first. A null or empty picture
    // leaves the section without pixels. The copy is made when the section's bytes are first asked for:
    // until then the section shares the picture's pixels, which an encoder can read as they are.
    void CreateFromPicture(const Picture& picThis);
    // Releases what the section held and makes a new zeroed one of that size.
    bool Create(std::int32_t lWidth, std::int32_t lHeight);

    // (3 x Width + 3) rounded down to a multiple of 4.
    std::int32_t BytesPerScanLine() const;
    std::int32_t Width() const { return header_.biWidth; }
    std::int32_t Height() const { return header_.biHeight; }
    // The section's header, in the fields a bitmap file carries. Kept after ClearUp, so that Width,
    // Height and BytesPerScanLine still answer the last size.
    const BitmapInfoHeader& Header() const { return header_; }

    // Copies a rectangle of `source`, from (lSrcLeft, lSrcTop) down and right, into the section at its top
    // left corner. A negative width or height means the section's. What falls outside either is left out.
    void LoadPictureBlt(const Picture& source, std::int32_t lSrcLeft, std::int32_t lSrcTop,
                        std::int32_t lSrcWidth = -1, std::int32_t lSrcHeight = -1);
    void LoadPictureBlt(const cDIBSection& source, std::int32_t lSrcLeft, std::int32_t lSrcTop,
                        std::int32_t lSrcWidth = -1, std::int32_t lSrcHeight = -1);
    // Paints the section's pixels from (lSrcLeft, lSrcTop) onto `target` at (lDestLeft, lDestTop); a
    // negative width or height means the section's. Pictures are immutable, so `target` is replaced by
    // the painted copy; a null target stays null.
    void PaintPicture(Picture& target, std::int32_t lDestLeft, std::int32_t lDestTop, std::int32_t lDestWidth,
                      std::int32_t lDestHeight, std::int32_t lSrcLeft, std::int32_t lSrcTop) const;

    std::uint32_t hDC() const { return 0; }
    std::uint32_t hDib() const { return 0; }
    std::uint8_t* DIBSectionBitsPtr() {
        own();
        return bits_.get();
    }
    const std::uint8_t* DIBSectionBitsPtr() const {
        own();
        return bits_.get();
    }

    // The section's rows as an encoder can read them without another pass over the pixels: the shared
    // picture's B, G, R, X rows, top row first, while the section has made no copy of its own; its own
    // B, G, R rows, bottom row first, after. `first` is null for a section without pixels.
    struct EncoderRows {
        const std::uint8_t* first = nullptr;
        std::int32_t pitch = 0;
        bool fourBytes = false;
        bool bottomUp = true;
    };
    EncoderRows RowsToEncode() const;

    // Fills the pixels with random values (grey or colour); padding bytes are left alone.
    void RandomiseBits(bool bGray);
    // Frees the pixels. The header keeps the last size.
    void ClearUp();
    // A bilinear resample to lNewWidth x lNewHeight (height first), or nullptr when no section of that
    // size can be made. std::out_of_range when the source is 1 pixel wide or high.
    std::unique_ptr<cDIBSection> Resample(std::int32_t lNewHeight, std::int32_t lNewWidth) const;

  private:
    // Makes the section's own 24-bit copy of the picture it shares, if any; without memory for it the
    // section has no pixels.
    void own() const;
    void ResampleDib(cDIBSection& target) const;
    // Byte x of memory row y, with both indexes tested against the grid (std::out_of_range).
    void checkIndex(std::int32_t y, std::int32_t x) const;
    std::uint8_t& byteAt(std::int32_t y, std::int32_t x);
    std::uint8_t byteAt(std::int32_t y, std::int32_t x) const;
    std::uint8_t* memoryRow(std::int32_t y) {
        return bits_.get() + static_cast<std::ptrdiff_t>(y) * BytesPerScanLine();
    }
    const std::uint8_t* memoryRow(std::int32_t y) const {
        return bits_.get() + static_cast<std::ptrdiff_t>(y) * BytesPerScanLine();
    }

    // Made on first use from `shared_`, hence mutable: reading the bytes does not change what they are.
    mutable SectionBits bits_;
    mutable Picture shared_;
    BitmapInfoHeader header_;
};

}  // namespace skorva
