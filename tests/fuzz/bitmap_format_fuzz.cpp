// Feeds arbitrary bytes to the bitmap header readers, the file header first and the info header after it,
// as a file holds them. Reading must never look past the bytes it is given, the headers must write back to
// exactly the bytes read, and the row rules must hold for whatever sizes a header claims.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <stdexcept>

#include "core/bitmap_format.h"

namespace {

using namespace skorva;

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

template <typename Bytes>
bool wroteBack(const Bytes& written, const std::uint8_t* read) {
    return std::equal(written.begin(), written.end(), read);
}

void checkRows(const BitmapInfoHeader& info) {
    const std::int64_t length = rowsLength(info);
    check(length >= -1 && length <= std::numeric_limits<std::int32_t>::max());
    if (length >= 0) {
        const std::int64_t stride = scanLineBytes(info.biWidth, info.biBitCount);
        // Rows padded to 4 bytes that hold every bit of the row.
        check(stride % 4 == 0 && stride * 8 >= static_cast<std::int64_t>(info.biWidth) * info.biBitCount);
        check(length % stride == 0 && length / stride == std::abs(static_cast<std::int64_t>(info.biHeight)));
    }
    try {
        const std::int32_t stride = BytesPerScanLine(info.biWidth);
        check(stride % 4 == 0);
        if (info.biWidth >= 0) {
            check(stride == scanLineBytes(info.biWidth, 24) &&
                  stride >= 3 * static_cast<std::int64_t>(info.biWidth));
        }
        const BitmapInfoHeader made = bitmapInfoHeader24(info.biWidth, info.biHeight);
        check(made.biSizeImage == static_cast<std::int64_t>(stride) * info.biHeight);
    } catch (const std::overflow_error&) {
        // The system's 32-bit arithmetic refuses the size; nothing else may escape.
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto length = static_cast<std::int64_t>(size);
    const std::optional<BitmapFileHeader> file = readBitmapFileHeader(data, length);
    check(file.has_value() == (length >= kBitmapFileHeaderSize));
    if (file) {
        check(wroteBack(bitmapFileHeaderBytes(*file), data));
    }
    // The info header where a file has it, or from the start of what is too short to hold both.
    const std::int64_t at =
        length >= kBitmapFileHeaderSize + kBitmapInfoHeaderSize ? kBitmapFileHeaderSize : 0;
    const std::optional<BitmapInfoHeader> info = readBitmapInfoHeader(data + at, length - at);
    check(info.has_value() == (length - at >= kBitmapInfoHeaderSize));
    if (info) {
        check(wroteBack(bitmapInfoHeaderBytes(*info), data + at));
        checkRows(*info);
        const BitmapFileHeader packed = bitmapFileHeaderFor(*info);
        check(packed.bfType == kBitmapFileType && packed.bfOffBits == 54);
    }
    return 0;
}
