#include "imaging/dib_section.h"

#include <algorithm>
#include <cfenv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <new>
#include <random>
#include <stdexcept>
#include <vector>

#include "imaging/pixel_rows.h"
#include "platform/services.h"

namespace skorva {
namespace {

// The resampling and RandomiseBits round halves to even; that holds only under the default rounding mode,
// which a caller may have changed.
class RoundToNearest {
  public:
    RoundToNearest() : previous_(std::fegetround()) { std::fesetround(FE_TONEAREST); }
    ~RoundToNearest() { std::fesetround(previous_); }
    RoundToNearest(const RoundToNearest&) = delete;
    RoundToNearest& operator=(const RoundToNearest&) = delete;

  private:
    int previous_;
};

// A 1-D overlap of [0, length) with [offset, offset + count) shifted by offset: the range of i for which
// both i is in [0, count) and offset + i is in [0, length).
struct Span {
    std::int64_t first;
    std::int64_t last;  // exclusive
};

Span overlap(std::int64_t count, std::int64_t offset, std::int64_t length) {
    return {std::max<std::int64_t>(0, -offset), std::min<std::int64_t>(count, length - offset)};
}

}  // namespace

Status cDIBSection::CopyToClipboard(bool bAsDIB) {
    if (bAsDIB) {
        return Status::failure("I don't know how to put a DIB on the clipboard! Copy as bitmap instead!!!");
    }
    own();
    // An empty section would put a black bitmap on the clipboard and claim success.
    if (!bits_) {
        return Status::failure("The section holds no pixels to copy.");
    }
    Picture bitmap = Picture::black(Width(), Height());
    PaintPicture(bitmap, 0, 0, -1, -1, 0, 0);
    if (!services().clipboard->setBitmap(bitmap)) {
        return Status::failure("The clipboard did not take the bitmap.");
    }
    return {};
}

bool cDIBSection::CreateDIB(std::int32_t lWidth, std::int32_t lHeight, SectionBits& hDib) {
    header_ = bitmapInfoHeader24(lWidth, lHeight);
    hDib.reset();
    // Rows are always bottom-up here; a section without pixels is no section.
    if (lWidth <= 0 || lHeight <= 0) {
        return false;
    }
    try {
        hDib = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(header_.biSizeImage));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void cDIBSection::CreateFromPicture(const Picture& picThis) {
    ClearUp();
    header_ = bitmapInfoHeader24(picThis.width(), picThis.height());
    if (!picThis.isEmpty()) {
        shared_ = picThis;
    }
}

void cDIBSection::own() const {
    if (shared_.isNull()) {
        return;
    }
    const Picture source = std::move(shared_);
    shared_ = Picture();
    try {
        bits_ = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(header_.biSizeImage));
    } catch (const std::bad_alloc&) {
        return;
    }
    for (std::int32_t r = 0; r < Height(); ++r) {
        // Image row r is memory row Height - 1 - r: the section is bottom-up, the picture top-down.
        bgrxRowToBgr(source.row(r),
                     bits_.get() + static_cast<std::ptrdiff_t>(Height() - 1 - r) * BytesPerScanLine(),
                     Width());
    }
}

cDIBSection::EncoderRows cDIBSection::RowsToEncode() const {
    if (!shared_.isNull()) {
        return {shared_.bits(), shared_.stride(), true, false};
    }
    return {bits_.get(), BytesPerScanLine(), false, true};
}

bool cDIBSection::Create(std::int32_t lWidth, std::int32_t lHeight) {
    ClearUp();
    return CreateDIB(lWidth, lHeight, bits_);
}

std::int32_t cDIBSection::BytesPerScanLine() const {
    return skorva::BytesPerScanLine(header_.biWidth);
}

void cDIBSection::LoadPictureBlt(const Picture& source, std::int32_t lSrcLeft, std::int32_t lSrcTop,
                                 std::int32_t lSrcWidth, std::int32_t lSrcHeight) {
    own();
    if (!bits_ || source.isEmpty()) {
        return;
    }
    const std::int64_t width = std::min<std::int64_t>(lSrcWidth < 0 ? Width() : lSrcWidth, Width());
    const std::int64_t height = std::min<std::int64_t>(lSrcHeight < 0 ? Height() : lSrcHeight, Height());
    const Span columns = overlap(width, lSrcLeft, source.width());
    const Span rows = overlap(height, lSrcTop, source.height());
    if (columns.first >= columns.last) {
        return;
    }
    const auto count = static_cast<std::int32_t>(columns.last - columns.first);
    for (std::int64_t r = rows.first; r < rows.last; ++r) {
        // Image row r is memory row Height - 1 - r: the section is bottom-up, the picture top-down.
        const std::uint8_t* from =
            source.row(static_cast<std::int32_t>(lSrcTop + r)) + (lSrcLeft + columns.first) * 4;
        std::uint8_t* to = memoryRow(static_cast<std::int32_t>(Height() - 1 - r)) + columns.first * 3;
        bgrxRowToBgr(from, to, count);
    }
}

void cDIBSection::LoadPictureBlt(const cDIBSection& source, std::int32_t lSrcLeft, std::int32_t lSrcTop,
                                 std::int32_t lSrcWidth, std::int32_t lSrcHeight) {
    own();
    source.own();
    // Copying a section onto itself is never asked for; the rows could overlap.
    if (!bits_ || !source.bits_ || &source == this) {
        return;
    }
    const std::int64_t width = std::min<std::int64_t>(lSrcWidth < 0 ? Width() : lSrcWidth, Width());
    const std::int64_t height = std::min<std::int64_t>(lSrcHeight < 0 ? Height() : lSrcHeight, Height());
    const Span columns = overlap(width, lSrcLeft, source.Width());
    const Span rows = overlap(height, lSrcTop, source.Height());
    if (columns.first >= columns.last) {
        return;
    }
    const auto bytes = static_cast<std::size_t>(columns.last - columns.first) * 3;
    for (std::int64_t r = rows.first; r < rows.last; ++r) {
        const std::uint8_t* from =
            source.memoryRow(static_cast<std::int32_t>(source.Height() - 1 - (lSrcTop + r))) +
            (lSrcLeft + columns.first) * 3;
        std::uint8_t* to = memoryRow(static_cast<std::int32_t>(Height() - 1 - r)) + columns.first * 3;
        std::memcpy(to, from, bytes);
    }
}

void cDIBSection::PaintPicture(Picture& target, std::int32_t lDestLeft, std::int32_t lDestTop,
                               std::int32_t lDestWidth, std::int32_t lDestHeight, std::int32_t lSrcLeft,
                               std::int32_t lSrcTop) const {
    own();
    if (!bits_ || target.isEmpty()) {
        return;
    }
    const std::int64_t width = lDestWidth < 0 ? Width() : lDestWidth;
    const std::int64_t height = lDestHeight < 0 ? Height() : lDestHeight;
    // Clip against both the section (source) and the target.
    Span columns = overlap(width, lSrcLeft, Width());
    const Span targetColumns = overlap(width, lDestLeft, target.width());
    columns = {std::max(columns.first, targetColumns.first), std::min(columns.last, targetColumns.last)};
    Span rows = overlap(height, lSrcTop, Height());
    const Span targetRows = overlap(height, lDestTop, target.height());
    rows = {std::max(rows.first, targetRows.first), std::min(rows.last, targetRows.last)};
    if (columns.first >= columns.last || rows.first >= rows.last) {
        return;
    }
    std::vector<std::uint8_t> bytes(target.bits(), target.bits() + target.byteCount());
    const auto count = static_cast<std::int32_t>(columns.last - columns.first);
    for (std::int64_t r = rows.first; r < rows.last; ++r) {
        const std::uint8_t* from = memoryRow(static_cast<std::int32_t>(Height() - 1 - (lSrcTop + r))) +
                                   (lSrcLeft + columns.first) * 3;
        std::uint8_t* to = bytes.data() + (lDestTop + r) * target.stride() + (lDestLeft + columns.first) * 4;
        bgrRowToBgrx(from, to, count);
    }
    target = Picture::fromPixels(target.width(), target.height(), target.stride(), target.format(),
                                 std::move(bytes));
}

void cDIBSection::RandomiseBits(bool bGray) {
    own();
    if (!bits_) {
        return;
    }
    const RoundToNearest rounding;
    std::mt19937 generator(
        static_cast<std::uint32_t>(std::chrono::system_clock::now().time_since_epoch().count()));
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const auto next = [&] { return static_cast<std::uint8_t>(std::nearbyint(unit(generator) * 255.0)); };
    const std::int32_t last = 3 * (Width() - 1);
    if (bGray) {
        for (std::int32_t y = 0; y < Height(); ++y) {
            for (std::int32_t x = 0; x <= last; x += 3) {
                const std::uint8_t v = next();
                byteAt(y, x) = v;
                byteAt(y, x + 1) = v;
                byteAt(y, x + 2) = v;
            }
        }
        return;
    }
    for (std::int32_t x = 0; x <= last; x += 3) {
        for (std::int32_t y = 0; y < Height(); ++y) {
            byteAt(y, x) = 0;
            byteAt(y, x + 1) = next();
            byteAt(y, x + 2) = next();
        }
    }
}

void cDIBSection::ClearUp() {
    bits_.reset();
    shared_ = Picture();
}

std::unique_ptr<cDIBSection> cDIBSection::Resample(std::int32_t lNewHeight, std::int32_t lNewWidth) const {
    own();
    auto target = std::make_unique<cDIBSection>();
    if (!target->Create(lNewWidth, lNewHeight)) {
        return nullptr;
    }
    if (lNewWidth == Width() && lNewHeight == Height()) {
        target->LoadPictureBlt(*this, 0, 0, -1, -1);
    } else {
        ResampleDib(*target);
    }
    return target;
}

void cDIBSection::ResampleDib(cDIBSection& target) const {
    const RoundToNearest rounding;
    const std::int32_t sourceWidth = Width();
    const std::int32_t sourceHeight = Height();
    const std::int32_t targetWidth = target.Width();
    const std::int32_t targetHeight = target.Height();
    // The divisor is the target size, not the target size minus 1: the last target column samples short of
    // the last source column.
    const auto xScale = static_cast<float>(static_cast<double>(sourceWidth - 1) / targetWidth);
    const auto yScale = static_cast<float>(static_cast<double>(sourceHeight - 1) / targetHeight);
    for (std::int32_t y = 0; y < targetHeight; ++y) {
        const auto sy = static_cast<float>(static_cast<double>(yScale) * y);
        const auto yi = static_cast<std::int32_t>(std::floor(sy));
        const auto fy = static_cast<double>(static_cast<float>(static_cast<double>(sy) - yi));
        for (std::int32_t x = 0; x < targetWidth; ++x) {
            const auto sx = static_cast<float>(static_cast<double>(xScale) * x);
            const auto xi = static_cast<std::int32_t>(std::floor(sx));
            const auto fx = static_cast<double>(static_cast<float>(static_cast<double>(sx) - xi));
            // Read the whole neighbourhood first: a missing neighbour fails before the pixel is written.
            float a[3], b[3], c[3], d[3];
            for (std::int32_t k = 0; k < 3; ++k) {
                a[k] = byteAt(yi, 3 * xi + k);
                c[k] = byteAt(yi, 3 * xi + 3 + k);
                b[k] = byteAt(yi + 1, 3 * xi + k);
                d[k] = byteAt(yi + 1, 3 * xi + 3 + k);
            }
            for (std::int32_t k = 0; k < 3; ++k) {
                const double left = std::nearbyint((1.0 - fy) * a[k] + fy * b[k]);
                const double right = std::nearbyint((1.0 - fy) * c[k] + fy * d[k]);
                const double value = std::clamp(std::nearbyint((1.0 - fx) * left + fx * right), 0.0, 255.0);
                target.byteAt(y, 3 * x + k) = static_cast<std::uint8_t>(value);
            }
        }
    }
}

void cDIBSection::checkIndex(std::int32_t y, std::int32_t x) const {
    own();
    if (!bits_ || y < 0 || y >= Height() || x < 0 || x >= BytesPerScanLine()) {
        throw std::out_of_range("pixel index outside the section");
    }
}

std::uint8_t& cDIBSection::byteAt(std::int32_t y, std::int32_t x) {
    checkIndex(y, x);
    return memoryRow(y)[x];
}

std::uint8_t cDIBSection::byteAt(std::int32_t y, std::int32_t x) const {
    checkIndex(y, x);
    return memoryRow(y)[x];
}

}  // namespace skorva
