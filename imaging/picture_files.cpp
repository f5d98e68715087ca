#include "imaging/picture_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>
#include <new>
#include <utility>
#include <vector>

#include "imaging/dib_section.h"
#include "imaging/pixel_rows.h"
#include "imaging/replace_file.h"
#include "imaging/turbojpeg_handle.h"

namespace skorva {
namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;

void put16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

// The file header and the info header of a bitmap file whose pixels follow the headers directly.
void putHeaders(std::vector<std::uint8_t>& file, const BitmapInfoHeader& info) {
    const std::uint32_t offBits = kFileHeaderSize + kInfoHeaderSize;
    // File header.
    put16(file, 0x4D42);  // "BM"
    put32(file, offBits + info.biSizeImage);
    put16(file, 0);
    put16(file, 0);
    put32(file, offBits);
    // Info header.
    put32(file, info.biSize);
    put32(file, static_cast<std::uint32_t>(info.biWidth));
    put32(file, static_cast<std::uint32_t>(info.biHeight));
    put16(file, info.biPlanes);
    put16(file, info.biBitCount);
    put32(file, info.biCompression);
    put32(file, info.biSizeImage);
    put32(file, static_cast<std::uint32_t>(info.biXPelsPerMeter));
    put32(file, static_cast<std::uint32_t>(info.biYPelsPerMeter));
    put32(file, info.biClrUsed);
    put32(file, info.biClrImportant);
}

bool readWholeFile(const std::string& fileName, std::vector<unsigned char>& bytes) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) {
        return false;
    }
    // One read of the whole file: frames are read once each, and byte by byte costs a frame's decode time.
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    if (length < 0) {
        return false;
    }
    in.seekg(0, std::ios::beg);
    bytes.resize(static_cast<std::size_t>(length));
    in.read(reinterpret_cast<char*>(bytes.data()), length);
    return !in.bad() && in.gcount() == length;
}

}  // namespace

Picture LoadPicture(const std::string& fileName) {
    std::vector<unsigned char> jpeg;
    if (!readWholeFile(fileName, jpeg) || jpeg.empty() || jpeg.size() > ULONG_MAX) {
        return {};
    }
    const TurboJpegHandle decoder(tjInitDecompress());
    if (!decoder) {
        return {};
    }
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colourspace = 0;
    if (tjDecompressHeader3(decoder.get(), jpeg.data(), static_cast<unsigned long>(jpeg.size()), &width,
                            &height, &subsampling, &colourspace) != 0 ||
        width <= 0 || height <= 0) {
        return {};
    }
    // Sizes are 32-bit signed: a header that claims more is not a frame we can hold.
    const std::int64_t stride = static_cast<std::int64_t>(width) * 4;
    if (stride * height > std::numeric_limits<std::int32_t>::max()) {
        return {};
    }
    std::vector<std::uint8_t> pixels;
    try {
        pixels.resize(static_cast<std::size_t>(stride * height));
    } catch (const std::bad_alloc&) {
        return {};
    }
    // A truncated or damaged file decodes with a warning and grey filler; any warning counts as failure,
    // so that no frame is made up.
    if (tjDecompress2(decoder.get(), jpeg.data(), static_cast<unsigned long>(jpeg.size()), pixels.data(),
                      width, static_cast<int>(stride), height, TJPF_BGRX, 0) != 0) {
        return {};
    }
    // TurboJPEG sets the unused fourth byte to 0xFF itself: the pixels are opaque as they come.
    return Picture::fromPixels(width, height, static_cast<std::int32_t>(stride), PixelFormat::Bgrx32,
                               std::move(pixels));
}

bool SavePicture(const Picture& picture, const std::string& fileName) {
    if (picture.isEmpty()) {
        errno = EINVAL;
        return false;
    }
    cDIBSection section;
    section.CreateFromPicture(picture);
    if (section.DIBSectionBitsPtr() == nullptr) {
        errno = ENOMEM;
        return false;
    }
    const BitmapInfoHeader& info = section.Header();
    const std::uint32_t offBits = kFileHeaderSize + kInfoHeaderSize;
    if (info.biSizeImage > std::numeric_limits<std::uint32_t>::max() - offBits) {
        errno = EFBIG;
        return false;
    }
    std::vector<std::uint8_t> file;
    file.reserve(offBits + info.biSizeImage);
    putHeaders(file, info);
    const std::uint8_t* bits = section.DIBSectionBitsPtr();
    file.insert(file.end(), bits, bits + info.biSizeImage);
    return replaceFile(fileName, file);
}

bool BitmapFileBytes(const Picture& picture, std::vector<std::uint8_t>& file) {
    if (picture.isEmpty()) {
        errno = EINVAL;
        return false;
    }
    const std::int32_t width = picture.width();
    const std::int32_t height = picture.height();
    const std::int64_t stride = (static_cast<std::int64_t>(width) * 3 + 3) / 4 * 4;
    const std::int64_t imageSize = stride * height;
    if (imageSize > std::numeric_limits<std::int32_t>::max() - kFileHeaderSize - kInfoHeaderSize) {
        errno = EFBIG;
        return false;
    }
    BitmapInfoHeader info;
    info.biSize = kInfoHeaderSize;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = static_cast<std::uint32_t>(imageSize);
    std::vector<std::uint8_t> headers;
    headers.reserve(kFileHeaderSize + kInfoHeaderSize);
    putHeaders(headers, info);
    const std::size_t offBits = headers.size();
    // A buffer that held a frame of this size is overwritten as it is: no fill before every frame.
    const std::size_t total = offBits + static_cast<std::size_t>(imageSize);
    if (file.size() != total) {
        file.clear();
        try {
            file.resize(total);
        } catch (const std::bad_alloc&) {
            errno = ENOMEM;
            return false;
        }
    }
    std::copy(headers.begin(), headers.end(), file.begin());
    // Rows straight from the picture into the file's bytes, bottom-up, the padding zeroed.
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* row = file.data() + offBits + static_cast<std::size_t>(stride * (height - 1 - y));
        bgrxRowToBgr(picture.row(y), row, width);
        std::fill(row + 3 * static_cast<std::int64_t>(width), row + stride, std::uint8_t{0});
    }
    return true;
}

bool WriteFileInPlace(const std::string& fileName, std::span<const std::uint8_t> bytes) {
    const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    // A longer file from a larger frame is cut to this one's length, so that readers see one frame.
    const bool written = writeAll(fd, std::span<const std::uint8_t>(bytes.data(), bytes.size())) &&
                         ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
    const int error = errno;
    // A delayed write error (NFS, quota) shows only when the file is closed.
    const bool closed = ::close(fd) == 0;
    if (!written) {
        errno = error;
        return false;
    }
    return closed;
}

bool SavePictureInPlace(const Picture& picture, const std::string& fileName) {
    std::vector<std::uint8_t> file;
    return BitmapFileBytes(picture, file) && WriteFileInPlace(fileName, file);
}

}  // namespace skorva
