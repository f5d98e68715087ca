#pragma once
// cDib: one Windows bitmap file held as its two headers and two byte blocks, the info block (the info
// header and whatever follows it up to the pixels: colour table or masks) and the pixel block. The AVI
// writer reads each frame's temporary bitmap through it and hands the blocks on unchanged.

#include <cstdint>
#include <string>
#include <vector>

#include "core/bitmap_format.h"
#include "core/status.h"

namespace skorva {

class cDib {
  public:
    // Loads a BMP file. A failure says, for the caller to show, that the file is missing, locked,
    // unreadable or not a bitmap this model can hold; the object then keeps its previous image.
    Status CreateFromFile(const std::string& sFile);
    // A 40-byte info header followed directly by the pixels; only 16 bits per pixel and more.
    bool CreateFromPackedDIBPointer(const std::uint8_t* lPtr);
    // Writes the file header, the info block and the pixel block; an existing file is replaced.
    bool WriteToFile(const std::string& sFile) const;
    // Memory for the next file's pixel block, kept when it is larger than the spare block: a caller done
    // with a buffer of a frame's size spares a fresh allocation, whose page faults cost more than the read.
    void ReusePixelMemory(std::vector<std::uint8_t> block);

    std::int32_t BitCount() const { return info_.biBitCount; }
    std::int32_t Height() const { return info_.biHeight; }
    std::int32_t Width() const { return info_.biWidth; }
    std::int32_t Compression() const { return info_.biCompression; }
    std::int32_t SizeInfoHeader() const { return info_.biSize; }
    std::int32_t SizeImage() const { return info_.biSizeImage; }
    std::int32_t Planes() const { return info_.biPlanes; }
    std::int32_t ClrImportant() const { return info_.biClrImportant; }
    std::int32_t ClrUsed() const { return info_.biClrUsed; }
    std::int32_t XPPM() const { return info_.biXPelsPerMeter; }
    std::int32_t YPPM() const { return info_.biYPelsPerMeter; }
    std::int32_t FileType() const { return file_.bfType; }
    std::int32_t SizeFileHeader() const { return file_.bfSize; }
    std::int32_t BitOffset() const { return file_.bfOffBits; }

    // The blocks exist only after a successful creation; before it these throw std::out_of_range.
    const std::uint8_t* PointerToBits() const;
    const std::uint8_t* PointerToBitmapInfo() const;
    std::int32_t SizeBitmapInfo() const;

  private:
    std::vector<std::uint8_t> bits_;
    std::vector<std::uint8_t> bitmapInfo_;
    // The blocks of the previous image, kept to read the next file into: a frame a time, without a
    // fresh allocation per frame.
    std::vector<std::uint8_t> spareBits_;
    std::vector<std::uint8_t> spareBitmapInfo_;
    bool loaded_ = false;
    BitmapInfoHeader info_;
    BitmapFileHeader file_;
};

}  // namespace skorva
