#pragma once
// The Windows bitmap format: the 14-byte file header and the 40-byte info header (BITMAPINFOHEADER),
// each read and written field by field, little-endian, and the rule for the length of a pixel row. The
// 24-bit section, the bitmap file model, the bitmap file writer and the AVI library (which takes the info
// header as a stream's format) all speak it through here.

#include <array>
#include <cstdint>
#include <optional>

namespace skorva {

inline constexpr std::int32_t kBitmapFileHeaderSize = 14;
inline constexpr std::int32_t kBitmapInfoHeaderSize = 40;
// The type field of every bitmap file: the bytes 'B', 'M'.
inline constexpr std::int16_t kBitmapFileType = 19778;
// Compression codes of uncompressed rows: plain, and with colour masks after the header.
inline constexpr std::int32_t kBiRgb = 0;
inline constexpr std::int32_t kBiBitfields = 3;

// Every field is signed and as wide as it is in the file.
struct BitmapFileHeader {
    std::int16_t bfType = 0;
    std::int32_t bfSize = 0;
    std::int16_t bfReserved1 = 0;
    std::int16_t bfReserved2 = 0;
    std::int32_t bfOffBits = 0;
    friend bool operator==(const BitmapFileHeader&, const BitmapFileHeader&) = default;
};

struct BitmapInfoHeader {
    std::int32_t biSize = 0;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;  // negative: rows top-down
    std::int16_t biPlanes = 0;
    std::int16_t biBitCount = 0;
    std::int32_t biCompression = 0;
    std::int32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::int32_t biClrUsed = 0;
    std::int32_t biClrImportant = 0;
    friend bool operator==(const BitmapInfoHeader&, const BitmapInfoHeader&) = default;
};

// The header at the start of `bytes`, as it stands; nothing when `bytes` is null or shorter than the
// header. No field is checked: what a header may claim is for its reader to judge.
std::optional<BitmapFileHeader> readBitmapFileHeader(const void* bytes, std::int64_t length);
std::optional<BitmapInfoHeader> readBitmapInfoHeader(const void* bytes, std::int64_t length);

// The header's bytes as the file holds them.
std::array<std::uint8_t, kBitmapFileHeaderSize> bitmapFileHeaderBytes(const BitmapFileHeader& header);
std::array<std::uint8_t, kBitmapInfoHeaderSize> bitmapInfoHeaderBytes(const BitmapInfoHeader& header);

// The row length of 24 bits a pixel: (3 x width + 3) rounded down to a multiple of 4. The system computes
// it in 32 bits, so std::overflow_error when it does not fit them.
std::int32_t BytesPerScanLine(std::int32_t width);
// The row length for any bit count, padded to 4 bytes: (width x bitCount + 31) / 32 x 4. In 64 bits, so
// that no header from outside overflows it; for 24 bits and widths from 0 it equals BytesPerScanLine.
std::int64_t scanLineBytes(std::int32_t width, std::int32_t bitCount);
// The length of the rows an uncompressed header (plain or with colour masks) describes, bottom-up or
// top-down: scanLineBytes x |height|. -1 for a compressed header, a width or bit count below 1, a height
// of 0, or rows longer than 32 bits can count.
std::int64_t rowsLength(const BitmapInfoHeader& info);

// The info header of a 24-bit bottom-up bitmap of that size: one plane, uncompressed, the image size
// filled, no resolution or colour counts. std::overflow_error when the row or image size does not fit 32
// bits. A size without pixels still gets its header.
BitmapInfoHeader bitmapInfoHeader24(std::int32_t width, std::int32_t height);
// The file header of a file whose pixels follow the two headers directly: type "BM", size 54 + image size,
// pixels at offset 54.
BitmapFileHeader bitmapFileHeaderFor(const BitmapInfoHeader& info);

}  // namespace skorva
