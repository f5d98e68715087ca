#include "platform/jpeg/jpeg_frame_header.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "platform/jpeg/jpeg_markers.h"

namespace skorva {
namespace {

constexpr std::uint8_t kStartOfScan = 0xDA;
constexpr std::uint8_t kApp0 = 0xE0;
constexpr std::uint8_t kApp14 = 0xEE;

// A start-of-frame marker: C0 to CF but for DHT (C4), JPG (C8) and DAC (CC).
bool startsFrame(std::uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Markers that stand alone, with no length after them.
bool standsAlone(std::uint8_t marker) {
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

// Divides the components' factors by their common divisor, across and down alike.
void reduceSampling(JpegFrameHeader& header) {
    const int count = std::min(header.components, 4);
    int across = 0;
    int down = 0;
    for (int component = 0; component < count; ++component) {
        across = std::gcd(across, header.sampling[component] >> 4);
        down = std::gcd(down, header.sampling[component] & 0x0F);
    }
    if (across == 0 || down == 0) {
        return;  // a factor of 0: nothing to divide, and no reader takes such a file
    }
    for (int component = 0; component < count; ++component) {
        const int factors = header.sampling[component];
        header.sampling[component] =
            static_cast<std::uint8_t>((factors >> 4) / across << 4 | (factors & 0x0F) / down);
    }
}

bool begins(std::span<const std::uint8_t> data, const char* text) {
    const std::size_t length = std::strlen(text) + 1;  // with its NUL
    return data.size() >= length && std::memcmp(data.data(), text, length) == 0;
}

}  // namespace

bool JpegFrameHeader::greyOrYCbCr() const {
    if (components == 1) {
        return true;
    }
    if (components != 3) {
        return false;
    }
    if (adobeTransform >= 0) {
        return adobeTransform == 1;
    }
    // Without a word from an APP marker, components named R, G and B are RGB.
    return jfif || !(ids[0] == 'R' && ids[1] == 'G' && ids[2] == 'B');
}

bool JpegFrameHeader::sameLayout(const JpegFrameHeader& other) const {
    return components == other.components &&
           std::equal(sampling.begin(), sampling.begin() + std::min(components, 4), other.sampling.begin());
}

std::optional<JpegFrameHeader> readJpegFrameHeader(std::span<const std::uint8_t> jpeg) {
    if (jpeg.size() < 4 || jpeg[0] != kJpegMarker || jpeg[1] != kJpegStartOfImage) {
        return std::nullopt;
    }
    JpegFrameHeader header;
    std::size_t at = 2;
    while (at + 1 < jpeg.size()) {
        if (jpeg[at] != kJpegMarker) {
            return std::nullopt;
        }
        // Fill bytes may stand before a marker.
        while (at + 1 < jpeg.size() && jpeg[at + 1] == kJpegMarker) {
            ++at;
        }
        if (at + 1 >= jpeg.size()) {
            break;
        }
        const std::uint8_t marker = jpeg[at + 1];
        at += 2;
        if (standsAlone(marker)) {
            continue;
        }
        if (marker == kStartOfScan || marker == kJpegEndOfImage || at + 2 > jpeg.size()) {
            return std::nullopt;  // a scan, or the end, before any frame header
        }
        const std::size_t length = static_cast<std::size_t>(jpeg[at]) << 8 | jpeg[at + 1];
        if (length < 2 || at + length > jpeg.size()) {
            return std::nullopt;
        }
        const std::span<const std::uint8_t> data = jpeg.subspan(at + 2, length - 2);
        at += length;
        if (marker == kApp0 && begins(data, "JFIF")) {
            header.jfif = true;
        } else if (marker == kApp14 && data.size() >= 12 && std::memcmp(data.data(), "Adobe", 5) == 0) {
            header.adobeTransform = data[11];
        } else if (startsFrame(marker)) {
            if (data.size() < 6) {
                return std::nullopt;
            }
            header.process = marker;
            header.precision = data[0];
            header.height = data[1] << 8 | data[2];
            header.width = data[3] << 8 | data[4];
            header.components = data[5];
            if (header.components == 0 || data.size() < 6 + 3 * static_cast<std::size_t>(header.components)) {
                return std::nullopt;
            }
            for (int component = 0; component < std::min(header.components, 4); ++component) {
                header.ids[component] = data[6 + 3 * component];
                header.sampling[component] = data[7 + 3 * component];
            }
            reduceSampling(header);
            return header;
        }
    }
    return std::nullopt;
}

bool everyReaderDecodes(const JpegFrameHeader& header) {
    return (header.process == 0xC0 || header.process == 0xC1) && header.precision == 8 &&
           header.greyOrYCbCr();
}

}  // namespace skorva
