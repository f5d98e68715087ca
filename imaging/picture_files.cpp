#include "imaging/picture_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "core/bitmap_format.h"
#include "core/frame_memory.h"
#include "core/types.h"
#include "imaging/pixel_rows.h"
#include "imaging/replace_file.h"
#include "platform/file_io.h"
#include "platform/jpeg/jpeg_decoder.h"
#include "platform/jpeg/jpeg_encoder.h"

namespace skorva {
namespace {

// The header must come within this many bytes: the frame and scan headers follow the metadata segments,
// which are 64 KiB each at most.
constexpr std::int64_t kHeaderReadLimit = 4 << 20;
// What a file may hold beyond the largest JPEG of its size: metadata, an embedded preview.
constexpr std::int64_t kMetadataAllowance = 8 << 20;

Status systemFailure(int error) {
    return Status::failure(std::strerror(error));
}

std::string sizeText(int width, int height) {
    return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

}  // namespace

Picture LoadPicture(const std::string& fileName, std::string* failure, PixelBufferPool* pixels,
                    const std::optional<JpegSize>& cover) {
    const auto fail = [failure](std::string reason) {
        if (failure != nullptr) {
            *failure = std::move(reason);
        }
        return Picture();
    };
    const OpenedFile opened = openRegularFile(fileName);
    if (!opened.failure.empty()) {
        return fail(opened.failure);
    }
    const UniqueFd& file = opened.fd;
    const std::int64_t length = opened.size;
    // The header first: the size it declares decides whether the rest is worth reading.
    std::vector<unsigned char> jpeg;
    int width = 0;
    int height = 0;
    for (std::int64_t prefix = std::min<std::int64_t>(length, 64 << 10);;
         prefix = std::min(length, prefix * 4)) {
        jpeg.resize(static_cast<std::size_t>(prefix));
        const std::int64_t got = readAt(file.get(), 0, jpeg);
        if (got < 0) {
            return fail(std::strerror(errno));
        }
        jpeg.resize(static_cast<std::size_t>(got));
        // Every JPEG starts with its start-of-image marker: anything else is no frame, however long.
        if (got < 2 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) {
            return fail("Not a JPEG file, or a damaged one");
        }
        if (const std::optional<JpegSize> size = readJpegSize(jpeg)) {
            width = size->width;
            height = size->height;
            break;
        }
        if (got < prefix || prefix == length || prefix >= kHeaderReadLimit) {
            return fail("Not a JPEG file, or a damaged one");
        }
    }
    if (width > kMovieFrameSideLimit || height > kMovieFrameSideLimit) {
        return fail("The frame is " + sizeText(width, height) + "; a movie holds at most " +
                    std::to_string(kMovieFrameSideLimit) + " a side");
    }
    const auto largest =
        static_cast<std::int64_t>(jpegWorstCaseSize(width, height, JpegSubsampling::Full444).value_or(0));
    if (length > largest + kMetadataAllowance) {
        return fail("The file is far larger than a JPEG of " + sizeText(width, height) + " can be");
    }
    if (cover) {
        const JpegSize scaled = jpegScaleCovering({width, height}, *cover);
        width = scaled.width;
        height = scaled.height;
    }
    const std::int64_t stride = static_cast<std::int64_t>(width) * 4;
    const auto pixelBytes = static_cast<std::size_t>(stride * height);
    std::shared_ptr<std::vector<std::uint8_t>> memory;
    try {
        const std::size_t headerBytes = jpeg.size();
        jpeg.resize(static_cast<std::size_t>(length));
        const std::int64_t rest =
            readAt(file.get(), static_cast<std::int64_t>(headerBytes), std::span(jpeg).subspan(headerBytes));
        if (rest < 0) {
            return fail(std::strerror(errno));
        }
        jpeg.resize(headerBytes + static_cast<std::size_t>(rest));
        memory = pixels != nullptr ? pixels->take(pixelBytes)
                                   : std::make_shared<std::vector<std::uint8_t>>(pixelBytes);
    } catch (const std::bad_alloc&) {
        return fail("Not enough memory for a frame of " + sizeText(width, height));
    }
    if (const Status decoded = decodeJpegBgrx(jpeg, memory->data(), width, static_cast<int>(stride), height);
        !decoded) {
        return fail(decoded.text());
    }
    const std::uint8_t* begin = memory->data();
    return Picture::fromShared(width, height, static_cast<std::int32_t>(stride), PixelFormat::Bgrx32, begin,
                               pixelBytes, std::move(memory));
}

Status SavePicture(const Picture& picture, const std::string& fileName) {
    std::vector<std::uint8_t> file;
    if (Status laidOut = BitmapFileBytes(picture, file); !laidOut) {
        return laidOut;
    }
    return replaceFile(fileName, file);
}

Status BitmapFileBytes(const Picture& picture, std::vector<std::uint8_t>& file) {
    if (picture.isEmpty()) {
        return systemFailure(EINVAL);
    }
    const std::int32_t width = picture.width();
    const std::int32_t height = picture.height();
    BitmapInfoHeader info;
    try {
        info = bitmapInfoHeader24(width, height);
    } catch (const std::overflow_error&) {
        return systemFailure(EFBIG);
    }
    constexpr std::int32_t offBits = kBitmapFileHeaderSize + kBitmapInfoHeaderSize;
    if (info.biSizeImage > std::numeric_limits<std::int32_t>::max() - offBits) {
        return systemFailure(EFBIG);
    }
    const std::size_t stride = static_cast<std::size_t>(BytesPerScanLine(width));
    // A buffer that held a frame of this size is overwritten as it is: no fill before every frame.
    const std::size_t total = offBits + static_cast<std::size_t>(info.biSizeImage);
    if (file.size() != total) {
        file.clear();
        try {
            resizeFrameBuffer(file, total);
        } catch (const std::bad_alloc&) {
            return systemFailure(ENOMEM);
        }
    }
    const auto fileHeader = bitmapFileHeaderBytes(bitmapFileHeaderFor(info));
    const auto infoHeader = bitmapInfoHeaderBytes(info);
    std::copy(fileHeader.begin(), fileHeader.end(), file.begin());
    std::copy(infoHeader.begin(), infoHeader.end(), file.begin() + kBitmapFileHeaderSize);
    // Rows straight from the picture into the file's bytes, bottom-up, the padding zeroed.
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* row = file.data() + offBits + stride * static_cast<std::size_t>(height - 1 - y);
        bgrxRowToBgr(picture.row(y), row, width);
        std::fill(row + 3 * static_cast<std::size_t>(width), row + stride, std::uint8_t{0});
    }
    return {};
}

}  // namespace skorva
