#include "platform/avi/frame_format.h"

#include "core/types.h"

namespace skorva::avi {
namespace {

constexpr std::int32_t kBiRgb = 0;

std::uint32_t readU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t readU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

}  // namespace

std::optional<FrameFormat> frameFormatOf(const void* lpFormat, std::int32_t cbFormat) {
    if (lpFormat == nullptr || cbFormat < 40) {
        return std::nullopt;
    }
    const auto* p = static_cast<const std::uint8_t*>(lpFormat);
    const auto size = static_cast<std::int32_t>(readU32(p));
    FrameFormat format;
    format.width = static_cast<std::int32_t>(readU32(p + 4));
    format.height = static_cast<std::int32_t>(readU32(p + 8));
    const std::uint16_t planes = readU16(p + 12);
    format.bitCount = readU16(p + 14);
    const auto compression = static_cast<std::int32_t>(readU32(p + 16));
    if (size < 40 || size > cbFormat || planes != 1 || compression != kBiRgb ||
        (format.bitCount != 24 && format.bitCount != 32) || format.width <= 0 || format.height == 0 ||
        format.width > kMovieFrameSideLimit || format.height > kMovieFrameSideLimit ||
        format.height < -kMovieFrameSideLimit) {
        return std::nullopt;
    }
    format.stride = (static_cast<std::int64_t>(format.width) * format.bitCount + 31) / 32 * 4;
    format.frameBytes = format.stride * format.rows();
    return format;
}

}  // namespace skorva::avi
