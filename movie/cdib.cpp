#include "movie/cdib.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <span>
#include <stdexcept>

#include "platform/file_io.h"
#include "platform/message_box.h"

namespace skorva {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

constexpr const char* kLineBreak = "\r\n";
constexpr std::int32_t kBiRgb = 0;
constexpr std::int32_t kBiBitfields = 3;

std::int32_t readI32(const std::uint8_t* p) {
    const std::uint32_t value = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                                (static_cast<std::uint32_t>(p[2]) << 16) |
                                (static_cast<std::uint32_t>(p[3]) << 24);
    return static_cast<std::int32_t>(value);
}

std::int16_t readI16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

void writeI32(std::int32_t value, std::uint8_t* p) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
}

void writeI16(std::int16_t value, std::uint8_t* p) {
    const auto bits = static_cast<std::uint16_t>(value);
    p[0] = static_cast<std::uint8_t>(bits & 0xFF);
    p[1] = static_cast<std::uint8_t>(bits >> 8);
}

// The whole block from `offset`, or false.
bool readBlock(int fd, std::int64_t offset, std::uint8_t* into, std::size_t length) {
    return readAt(fd, offset, std::span<std::uint8_t>(into, length)) == static_cast<std::int64_t>(length);
}

// The image size a header's size field stands for. The format allows 0 for uncompressed bitmaps, so
// then it is computed from the rows; -1 when no trustworthy size can be found.
std::int64_t pixelBlockLength(const cDib::InfoHeader& info) {
    if (info.biSizeImage > 0) {
        return info.biSizeImage;
    }
    if (info.biSizeImage < 0) {
        return -1;
    }
    const bool uncompressed = info.biCompression == kBiRgb || info.biCompression == kBiBitfields;
    if (!uncompressed || info.biWidth <= 0 || info.biHeight == 0 || info.biBitCount <= 0) {
        return -1;
    }
    const std::int64_t stride = (static_cast<std::int64_t>(info.biWidth) * info.biBitCount + 31) / 32 * 4;
    const std::int64_t rows = info.biHeight < 0 ? -static_cast<std::int64_t>(info.biHeight) : info.biHeight;
    if (rows > std::numeric_limits<std::int32_t>::max() / stride) {
        return -1;
    }
    return stride * rows;
}

}  // namespace

cDib::FileHeader cDib::readFileHeader(const std::uint8_t* bytes) {
    FileHeader header;
    header.bfType = readI16(bytes);
    header.bfSize = readI32(bytes + 2);
    header.bfReserved1 = readI16(bytes + 6);
    header.bfReserved2 = readI16(bytes + 8);
    header.bfOffBits = readI32(bytes + 10);
    return header;
}

cDib::InfoHeader cDib::readInfoHeader(const std::uint8_t* bytes) {
    InfoHeader header;
    header.biSize = readI32(bytes);
    header.biWidth = readI32(bytes + 4);
    header.biHeight = readI32(bytes + 8);
    header.biPlanes = readI16(bytes + 12);
    header.biBitCount = readI16(bytes + 14);
    header.biCompression = readI32(bytes + 16);
    header.biSizeImage = readI32(bytes + 20);
    header.biXPelsPerMeter = readI32(bytes + 24);
    header.biYPelsPerMeter = readI32(bytes + 28);
    header.biClrUsed = readI32(bytes + 32);
    header.biClrImportant = readI32(bytes + 36);
    return header;
}

void cDib::writeFileHeader(const FileHeader& header, std::uint8_t* bytes) {
    writeI16(header.bfType, bytes);
    writeI32(header.bfSize, bytes + 2);
    writeI16(header.bfReserved1, bytes + 6);
    writeI16(header.bfReserved2, bytes + 8);
    writeI32(header.bfOffBits, bytes + 10);
}

void cDib::writeInfoHeader(const InfoHeader& header, std::uint8_t* bytes) {
    writeI32(header.biSize, bytes);
    writeI32(header.biWidth, bytes + 4);
    writeI32(header.biHeight, bytes + 8);
    writeI16(header.biPlanes, bytes + 12);
    writeI16(header.biBitCount, bytes + 14);
    writeI32(header.biCompression, bytes + 16);
    writeI32(header.biSizeImage, bytes + 20);
    writeI32(header.biXPelsPerMeter, bytes + 24);
    writeI32(header.biYPelsPerMeter, bytes + 28);
    writeI32(header.biClrUsed, bytes + 32);
    writeI32(header.biClrImportant, bytes + 36);
}

bool cDib::CreateFromFile(const std::string& sFile) {
    struct stat status {};
    if (::stat(sFile.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        MsgBox("File does not exist:" + std::string(kLineBreak) + sFile, MessageIcon::Critical);
        return false;
    }
    // Without blocking: a FIFO that took the name since the test above must not hang the program.
    const UniqueFd file(::open(sFile.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file) {
        const int error = errno;
        if (error == EACCES) {
            MsgBox("File is locked - cannot access:" + std::string(kLineBreak) + sFile,
                   MessageIcon::Critical);
        } else {
            MsgBox(std::strerror(error), MessageIcon::Information);
        }
        return false;
    }
    const auto notSupported = [&sFile] {
        MsgBox("File is not a supported bitmap format:" + std::string(kLineBreak) + sFile,
               MessageIcon::Information);
        return false;
    };

    // The length of the file that is open now, not of whatever the name pointed at a moment ago.
    struct stat opened {};
    if (::fstat(file.get(), &opened) != 0) {
        MsgBox(std::strerror(errno), MessageIcon::Information);
        return false;
    }
    if (!S_ISREG(opened.st_mode)) {
        MsgBox("File does not exist:" + std::string(kLineBreak) + sFile, MessageIcon::Critical);
        return false;
    }
    const std::int64_t fileLength = opened.st_size;

    std::uint8_t headerBytes[kFileHeaderSize + kInfoHeaderSize] = {};
    if (!readBlock(file.get(), 0, headerBytes, kFileHeaderSize)) {
        return notSupported();
    }
    const FileHeader fileHeader = readFileHeader(headerBytes);
    if (fileHeader.bfType != kBitmapType) {
        // What was read stays visible through FileType; the image itself is kept.
        file_ = fileHeader;
        return notSupported();
    }
    if (!readBlock(file.get(), kFileHeaderSize, headerBytes + kFileHeaderSize, kInfoHeaderSize)) {
        return notSupported();
    }
    InfoHeader infoHeader = readInfoHeader(headerBytes + kFileHeaderSize);

    // Never trust the header: every length must lie inside the file before anything is allocated.
    const std::int64_t pixelOffset = fileHeader.bfOffBits;
    const std::int64_t imageLength = pixelBlockLength(infoHeader);
    if (pixelOffset < kFileHeaderSize + kInfoHeaderSize || pixelOffset > fileLength || imageLength < 0 ||
        imageLength > fileLength - pixelOffset) {
        return notSupported();
    }
    // Read into the spare blocks; the image in use stays untouched until everything has been read.
    spareBits_.resize(static_cast<std::size_t>(imageLength));
    spareBitmapInfo_.resize(static_cast<std::size_t>(pixelOffset - kFileHeaderSize));
    if (!readBlock(file.get(), pixelOffset, spareBits_.data(), spareBits_.size()) ||
        !readBlock(file.get(), kFileHeaderSize, spareBitmapInfo_.data(), spareBitmapInfo_.size())) {
        return notSupported();
    }

    infoHeader.biSizeImage = static_cast<std::int32_t>(imageLength);
    file_ = fileHeader;
    info_ = infoHeader;
    bits_.swap(spareBits_);
    bitmapInfo_.swap(spareBitmapInfo_);
    loaded_ = true;
    return true;
}

bool cDib::CreateFromPackedDIBPointer(const std::uint8_t* lPtr) {
    if (lPtr == nullptr) {
        return false;
    }
    info_ = readInfoHeader(lPtr);
    if (info_.biBitCount < 16 || info_.biSizeImage < 1) {
        return false;
    }
    bits_.assign(lPtr + kInfoHeaderSize, lPtr + kInfoHeaderSize + info_.biSizeImage);
    bitmapInfo_.assign(lPtr, lPtr + kInfoHeaderSize);
    file_ = FileHeader{kBitmapType, kFileHeaderSize + kInfoHeaderSize + info_.biSizeImage, 0, 0,
                       kFileHeaderSize + kInfoHeaderSize};
    loaded_ = true;
    return true;
}

bool cDib::WriteToFile(const std::string& sFile) const {
    if (!loaded_) {
        return false;
    }
    FilePtr file(std::fopen(sFile.c_str(), "wb"));
    if (!file) {
        return false;
    }
    std::uint8_t header[kFileHeaderSize];
    writeFileHeader(file_, header);
    bool written = std::fwrite(header, 1, sizeof header, file.get()) == sizeof header;
    written =
        written && std::fwrite(bitmapInfo_.data(), 1, bitmapInfo_.size(), file.get()) == bitmapInfo_.size();
    written = written && std::fwrite(bits_.data(), 1, bits_.size(), file.get()) == bits_.size();
    // A full disk may only show when the buffered rest is flushed.
    return std::fclose(file.release()) == 0 && written;
}

const std::uint8_t* cDib::PointerToBits() const {
    if (!loaded_) {
        throw std::out_of_range("cDib: no pixel block before the first creation");
    }
    return bits_.data();
}

const std::uint8_t* cDib::PointerToBitmapInfo() const {
    if (!loaded_) {
        throw std::out_of_range("cDib: no info block before the first creation");
    }
    return bitmapInfo_.data();
}

std::int32_t cDib::SizeBitmapInfo() const {
    if (!loaded_) {
        throw std::out_of_range("cDib: no info block before the first creation");
    }
    return static_cast<std::int32_t>(bitmapInfo_.size());
}

}  // namespace skorva
