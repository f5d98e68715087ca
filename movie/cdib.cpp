#include "movie/cdib.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>

#include "core/frame_memory.h"
#include "platform/file_io.h"

namespace skorva {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

constexpr const char* kLineBreak = "\r\n";

// The whole block from `offset`, or false.
bool readBlock(int fd, std::int64_t offset, std::uint8_t* into, std::size_t length) {
    return readAt(fd, offset, std::span<std::uint8_t>(into, length)) == static_cast<std::int64_t>(length);
}

// The image size a header's size field stands for. The format allows 0 for uncompressed bitmaps, so
// then it is computed from the rows; -1 when no trustworthy size can be found.
std::int64_t pixelBlockLength(const BitmapInfoHeader& info) {
    if (info.biSizeImage != 0) {
        return info.biSizeImage > 0 ? info.biSizeImage : -1;
    }
    return rowsLength(info);
}

}  // namespace

Status cDib::CreateFromFile(const std::string& sFile) {
    const auto absent = [&sFile] {
        return Status::failure("File does not exist:" + std::string(kLineBreak) + sFile,
                               MessageIcon::Critical);
    };
    const auto notSupported = [&sFile] {
        return Status::failure("File is not a supported bitmap format:" + std::string(kLineBreak) + sFile,
                               MessageIcon::Information);
    };
    if (!isRegularFile(sFile)) {
        return absent();
    }
    // Without blocking: a FIFO that took the name since the test above must not hang the program. The
    // length is the open file's, not that of whatever the name pointed at a moment ago.
    const OpenedFile opened = openRegularFile(sFile);
    if (!opened.failure.empty()) {
        if (opened.error == 0) {
            return absent();
        }
        if (opened.error == EACCES) {
            return Status::failure("File is locked - cannot access:" + std::string(kLineBreak) + sFile,
                                   MessageIcon::Critical);
        }
        return Status::failure(opened.failure, MessageIcon::Information);
    }
    const UniqueFd& file = opened.fd;
    const std::int64_t fileLength = opened.size;

    std::uint8_t headerBytes[kBitmapFileHeaderSize + kBitmapInfoHeaderSize] = {};
    if (!readBlock(file.get(), 0, headerBytes, kBitmapFileHeaderSize)) {
        return notSupported();
    }
    const BitmapFileHeader fileHeader = *readBitmapFileHeader(headerBytes, kBitmapFileHeaderSize);
    if (fileHeader.bfType != kBitmapFileType) {
        // What was read stays visible through FileType; the image itself is kept.
        file_ = fileHeader;
        return notSupported();
    }
    if (!readBlock(file.get(), kBitmapFileHeaderSize, headerBytes + kBitmapFileHeaderSize,
                   kBitmapInfoHeaderSize)) {
        return notSupported();
    }
    BitmapInfoHeader infoHeader =
        *readBitmapInfoHeader(headerBytes + kBitmapFileHeaderSize, kBitmapInfoHeaderSize);

    // Never trust the header: every length must lie inside the file before anything is allocated.
    const std::int64_t pixelOffset = fileHeader.bfOffBits;
    const std::int64_t imageLength = pixelBlockLength(infoHeader);
    if (pixelOffset < kBitmapFileHeaderSize + kBitmapInfoHeaderSize || pixelOffset > fileLength ||
        imageLength < 0 || imageLength > fileLength - pixelOffset) {
        return notSupported();
    }
    // Read into the spare blocks; the image in use stays untouched until everything has been read.
    resizeFrameBuffer(spareBits_, static_cast<std::size_t>(imageLength));
    spareBitmapInfo_.resize(static_cast<std::size_t>(pixelOffset - kBitmapFileHeaderSize));
    if (!readBlock(file.get(), pixelOffset, spareBits_.data(), spareBits_.size()) ||
        !readBlock(file.get(), kBitmapFileHeaderSize, spareBitmapInfo_.data(), spareBitmapInfo_.size())) {
        return notSupported();
    }

    infoHeader.biSizeImage = static_cast<std::int32_t>(imageLength);
    file_ = fileHeader;
    info_ = infoHeader;
    bits_.swap(spareBits_);
    bitmapInfo_.swap(spareBitmapInfo_);
    loaded_ = true;
    return {};
}

void cDib::ReusePixelMemory(std::vector<std::uint8_t> block) {
    if (block.capacity() > spareBits_.capacity()) {
        spareBits_ = std::move(block);
    }
}

bool cDib::CreateFromPackedDIBPointer(const std::uint8_t* lPtr) {
    if (lPtr == nullptr) {
        return false;
    }
    info_ = *readBitmapInfoHeader(lPtr, kBitmapInfoHeaderSize);
    if (info_.biBitCount < 16 || info_.biSizeImage < 1) {
        return false;
    }
    bits_.assign(lPtr + kBitmapInfoHeaderSize, lPtr + kBitmapInfoHeaderSize + info_.biSizeImage);
    bitmapInfo_.assign(lPtr, lPtr + kBitmapInfoHeaderSize);
    file_ = bitmapFileHeaderFor(info_);
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
    const auto header = bitmapFileHeaderBytes(file_);
    bool written = std::fwrite(header.data(), 1, header.size(), file.get()) == header.size();
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
