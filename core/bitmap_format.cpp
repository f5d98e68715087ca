#include "core/bitmap_format.h"

#include <limits>
#include <stdexcept>

#include "core/little_endian.h"

namespace skorva {
namespace {

std::int16_t readI16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(readLe16(p));
}

std::int32_t readI32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(readLe32(p));
}

void writeI16(std::uint8_t* p, std::int16_t value) {
    writeLe16(p, static_cast<std::uint16_t>(value));
}

void writeI32(std::uint8_t* p, std::int32_t value) {
    writeLe32(p, static_cast<std::uint32_t>(value));
}

std::int32_t toInt32OrOverflow(std::int64_t value, const char* what) {
    if (value > std::numeric_limits<std::int32_t>::max() ||
        value < std::numeric_limits<std::int32_t>::min()) {
        throw std::overflow_error(what);
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace

std::optional<BitmapFileHeader> readBitmapFileHeader(const void* bytes, std::int64_t length) {
    if (bytes == nullptr || length < kBitmapFileHeaderSize) {
        return std::nullopt;
    }
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    BitmapFileHeader header;
    header.bfType = readI16(p);
    header.bfSize = readI32(p + 2);
    header.bfReserved1 = readI16(p + 6);
    header.bfReserved2 = readI16(p + 8);
    header.bfOffBits = readI32(p + 10);
    return header;
}

std::optional<BitmapInfoHeader> readBitmapInfoHeader(const void* bytes, std::int64_t length) {
    if (bytes == nullptr || length < kBitmapInfoHeaderSize) {
        return std::nullopt;
    }
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    BitmapInfoHeader header;
    header.biSize = readI32(p);
    header.biWidth = readI32(p + 4);
    header.biHeight = readI32(p + 8);
    header.biPlanes = readI16(p + 12);
    header.biBitCount = readI16(p + 14);
    header.biCompression = readI32(p + 16);
    header.biSizeImage = readI32(p + 20);
    header.biXPelsPerMeter = readI32(p + 24);
    header.biYPelsPerMeter = readI32(p + 28);
    header.biClrUsed = readI32(p + 32);
    header.biClrImportant = readI32(p + 36);
    return header;
}

std::array<std::uint8_t, kBitmapFileHeaderSize> bitmapFileHeaderBytes(const BitmapFileHeader& header) {
    std::array<std::uint8_t, kBitmapFileHeaderSize> bytes{};
    writeI16(bytes.data(), header.bfType);
    writeI32(bytes.data() + 2, header.bfSize);
    writeI16(bytes.data() + 6, header.bfReserved1);
    writeI16(bytes.data() + 8, header.bfReserved2);
    writeI32(bytes.data() + 10, header.bfOffBits);
    return bytes;
}

std::array<std::uint8_t, kBitmapInfoHeaderSize> bitmapInfoHeaderBytes(const BitmapInfoHeader& header) {
    std::array<std::uint8_t, kBitmapInfoHeaderSize> bytes{};
    writeI32(bytes.data(), header.biSize);
    writeI32(bytes.data() + 4, header.biWidth);
    writeI32(bytes.data() + 8, header.biHeight);
    writeI16(bytes.data() + 12, header.biPlanes);
    writeI16(bytes.data() + 14, header.biBitCount);
    writeI32(bytes.data() + 16, header.biCompression);
    writeI32(bytes.data() + 20, header.biSizeImage);
    writeI32(bytes.data() + 24, header.biXPelsPerMeter);
    writeI32(bytes.data() + 28, header.biYPelsPerMeter);
    writeI32(bytes.data() + 32, header.biClrUsed);
    writeI32(bytes.data() + 36, header.biClrImportant);
    return bytes;
}

std::int32_t BytesPerScanLine(std::int32_t width) {
    return toInt32OrOverflow(3 * static_cast<std::int64_t>(width) + 3, "scan line size overflows") & ~3;
}

std::int64_t scanLineBytes(std::int32_t width, std::int32_t bitCount) {
    return (static_cast<std::int64_t>(width) * bitCount + 31) / 32 * 4;
}

std::int64_t rowsLength(const BitmapInfoHeader& info) {
    const bool uncompressed = info.biCompression == kBiRgb || info.biCompression == kBiBitfields;
    if (!uncompressed || info.biWidth <= 0 || info.biHeight == 0 || info.biBitCount <= 0) {
        return -1;
    }
    const std::int64_t stride = scanLineBytes(info.biWidth, info.biBitCount);
    const std::int64_t rows = info.biHeight < 0 ? -static_cast<std::int64_t>(info.biHeight) : info.biHeight;
    if (rows > std::numeric_limits<std::int32_t>::max() / stride) {
        return -1;
    }
    return stride * rows;
}

BitmapInfoHeader bitmapInfoHeader24(std::int32_t width, std::int32_t height) {
    const std::int32_t stride = BytesPerScanLine(width);
    BitmapInfoHeader header;
    header.biSize = kBitmapInfoHeaderSize;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = kBiRgb;
    header.biSizeImage =
        toInt32OrOverflow(static_cast<std::int64_t>(stride) * height, "image size overflows");
    return header;
}

BitmapFileHeader bitmapFileHeaderFor(const BitmapInfoHeader& info) {
    constexpr std::int32_t offBits = kBitmapFileHeaderSize + kBitmapInfoHeaderSize;
    BitmapFileHeader header;
    header.bfType = kBitmapFileType;
    // Wraps as the 32-bit field would, rather than overflowing, for an image size near the limit.
    header.bfSize = static_cast<std::int32_t>(static_cast<std::uint32_t>(offBits) +
                                              static_cast<std::uint32_t>(info.biSizeImage));
    header.bfOffBits = offBits;
    return header;
}

}  // namespace skorva
