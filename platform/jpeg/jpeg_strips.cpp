#include "platform/jpeg/jpeg_strips.h"

#include <algorithm>
#include <cstring>

#include "platform/jpeg/jpeg_markers.h"

namespace skorva {
namespace {

constexpr std::uint8_t kMarker = kJpegMarker;
constexpr std::uint8_t kStartOfScan = 0xDA;
constexpr std::uint8_t kRestartInterval = 0xDD;
constexpr std::uint8_t kFirstRestart = 0xD0;
constexpr std::uint8_t kBaselineFrame = 0xC0;
constexpr std::uint8_t kExtendedFrame = 0xC1;
// A frame header: marker, length, precision, height, width, component count, then for each component
// its id, its sampling factors (across in the high nibble, down in the low one) and its table.
constexpr std::size_t kHeightInFrameHeader = 5;
constexpr std::size_t kWidthInFrameHeader = 7;
constexpr std::size_t kComponentsInFrameHeader = 9;
constexpr std::size_t kBytesPerComponent = 3;
constexpr std::int32_t kBlockSide = 8;

// Where a strip's header and entropy-coded data lie, and the size of the picture and of its MCUs.
struct StripLayout {
    std::size_t heightAt = 0;      // the frame header's height field
    std::size_t scanHeaderAt = 0;  // the start-of-scan marker
    std::size_t dataAt = 0;        // the entropy-coded data, after the scan header
    std::size_t dataEnd = 0;       // the end-of-image marker
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t mcuWidth = kBlockSide;
    std::int32_t mcuHeight = kBlockSide;
};

std::uint16_t bigEndian16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]);
}

// Reads the frame header at `at`, `length` bytes after its marker; false when it is not one the encoder
// writes.
bool readFrameHeader(std::span<const std::uint8_t> jpeg, std::size_t at, std::size_t length,
                     StripLayout& layout) {
    if (length + 2 < kComponentsInFrameHeader + 1) {
        return false;
    }
    const std::size_t components = jpeg[at + kComponentsInFrameHeader];
    if (components == 0 || length + 2 != kComponentsInFrameHeader + 1 + kBytesPerComponent * components) {
        return false;
    }
    layout.heightAt = at + kHeightInFrameHeader;
    layout.height = bigEndian16(&jpeg[at + kHeightInFrameHeader]);
    layout.width = bigEndian16(&jpeg[at + kWidthInFrameHeader]);
    // One interleaved scan: an MCU spans the largest sampling factors' blocks; a single component's
    // scan is one block at a time.
    std::int32_t across = 1;
    std::int32_t down = 1;
    for (std::size_t i = 0; i < components && components > 1; ++i) {
        const std::uint8_t factors = jpeg[at + kComponentsInFrameHeader + 2 + kBytesPerComponent * i];
        across = std::max<std::int32_t>(across, factors >> 4);
        down = std::max<std::int32_t>(down, factors & 0x0F);
    }
    layout.mcuWidth = kBlockSide * across;
    layout.mcuHeight = kBlockSide * down;
    return true;
}

// Walks the marker segments up to the scan; fails on anything the encoder does not write.
std::optional<StripLayout> layoutOf(std::span<const std::uint8_t> jpeg) {
    if (!isWholeJpeg(jpeg)) {
        return std::nullopt;
    }
    const std::size_t size = jpeg.size();
    StripLayout layout;
    bool frameSeen = false;
    std::size_t at = 2;
    while (at + 4 <= size - 2) {
        if (jpeg[at] != kMarker) {
            return std::nullopt;
        }
        const std::uint8_t marker = jpeg[at + 1];
        const std::size_t length = bigEndian16(&jpeg[at + 2]);
        if (length < 2 || at + 2 + length > size - 2 || marker == kRestartInterval) {
            return std::nullopt;
        }
        if (marker == kBaselineFrame || marker == kExtendedFrame) {
            if (frameSeen || !readFrameHeader(jpeg, at, length, layout)) {
                return std::nullopt;
            }
            frameSeen = true;
        } else if (marker == kStartOfScan) {
            if (!frameSeen) {
                return std::nullopt;
            }
            layout.scanHeaderAt = at;
            layout.dataAt = at + 2 + length;
            layout.dataEnd = size - 2;
            return layout;
        }
        at += 2 + length;
    }
    return std::nullopt;
}

// The restart interval that joins strips cut there, or nothing when they do not join.
std::optional<std::uint16_t> restartIntervalAt(std::int32_t width, std::int32_t height, std::int32_t topRows,
                                               std::int32_t mcuWidth, std::int32_t mcuHeight) {
    if (width <= 0 || height > 0xFFFF || topRows <= 0 || topRows >= height || topRows % mcuHeight != 0) {
        return std::nullopt;
    }
    const std::int64_t topMcuRows = topRows / mcuHeight;
    const std::int64_t bottomMcuRows = (height - topRows + mcuHeight - 1) / mcuHeight;
    const std::int64_t interval = (std::int64_t{width} + mcuWidth - 1) / mcuWidth * topMcuRows;
    if (bottomMcuRows > topMcuRows || interval > 0xFFFF) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(interval);
}

std::int32_t mcuWidthOf(JpegSubsampling subsampling) {
    return subsampling == JpegSubsampling::Full444 ? kBlockSide : 2 * kBlockSide;
}

}  // namespace

std::int32_t jpegMcuHeight(JpegSubsampling subsampling) {
    return subsampling == JpegSubsampling::Quarter420 ? 2 * kBlockSide : kBlockSide;
}

bool stripsJoinAt(std::int32_t width, std::int32_t height, std::int32_t topRows,
                  JpegSubsampling subsampling) {
    return restartIntervalAt(width, height, topRows, mcuWidthOf(subsampling), jpegMcuHeight(subsampling))
        .has_value();
}

Status joinJpegStrips(std::span<const std::uint8_t> top, std::span<const std::uint8_t> bottom,
                      std::vector<std::uint8_t>& joined) {
    joined.clear();
    const std::optional<StripLayout> upper = layoutOf(top);
    const std::optional<StripLayout> lower = layoutOf(bottom);
    if (!upper || !lower) {
        return Status::failure("a strip is not a baseline JPEG");
    }
    // Same tables, same width, same components: the headers differ in the height alone.
    if (upper->dataAt != lower->dataAt || upper->heightAt != lower->heightAt ||
        std::memcmp(top.data(), bottom.data(), upper->heightAt) != 0 ||
        std::memcmp(top.data() + upper->heightAt + 2, bottom.data() + upper->heightAt + 2,
                    upper->dataAt - upper->heightAt - 2) != 0) {
        return Status::failure("the strips were encoded with different settings");
    }
    const std::int32_t height = upper->height + lower->height;
    const std::optional<std::uint16_t> restartInterval =
        restartIntervalAt(upper->width, height, upper->height, upper->mcuWidth, upper->mcuHeight);
    if (!restartInterval) {
        return Status::failure("strips cut there do not join");
    }

    const std::uint8_t restartSegment[] = {kMarker,
                                           kRestartInterval,
                                           0,
                                           4,
                                           static_cast<std::uint8_t>(*restartInterval >> 8),
                                           static_cast<std::uint8_t>(*restartInterval & 0xFF)};
    const std::uint8_t restart[] = {kMarker, kFirstRestart};
    const std::uint8_t end[] = {kMarker, kJpegEndOfImage};
    joined.reserve(upper->dataEnd + sizeof restartSegment + sizeof restart +
                   (lower->dataEnd - lower->dataAt) + sizeof end);
    const auto append = [&joined](const std::uint8_t* from, std::size_t count) {
        joined.insert(joined.end(), from, from + count);
    };
    append(top.data(), upper->scanHeaderAt);
    joined[upper->heightAt] = static_cast<std::uint8_t>(height >> 8);
    joined[upper->heightAt + 1] = static_cast<std::uint8_t>(height & 0xFF);
    append(restartSegment, sizeof restartSegment);
    append(top.data() + upper->scanHeaderAt, upper->dataEnd - upper->scanHeaderAt);
    append(restart, sizeof restart);
    append(bottom.data() + lower->dataAt, lower->dataEnd - lower->dataAt);
    append(end, sizeof end);
    return {};
}

}  // namespace skorva
