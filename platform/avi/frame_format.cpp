#include "platform/avi/frame_format.h"

#include "core/bitmap_format.h"
#include "core/types.h"

namespace skorva::avi {

std::optional<FrameFormat> frameFormatOf(const void* lpFormat, std::int32_t cbFormat) {
    const std::optional<BitmapInfoHeader> info = readBitmapInfoHeader(lpFormat, cbFormat);
    if (!info || info->biSize < kBitmapInfoHeaderSize || info->biSize > cbFormat || info->biPlanes != 1 ||
        info->biCompression != kBiRgb || (info->biBitCount != 24 && info->biBitCount != 32) ||
        info->biWidth <= 0 || info->biHeight == 0 || info->biWidth > kMovieFrameSideLimit ||
        info->biHeight > kMovieFrameSideLimit || info->biHeight < -kMovieFrameSideLimit) {
        return std::nullopt;
    }
    FrameFormat format;
    format.width = info->biWidth;
    format.height = info->biHeight;
    format.bitCount = info->biBitCount;
    format.stride = scanLineBytes(info->biWidth, info->biBitCount);
    format.frameBytes = rowsLength(*info);
    return format;
}

}  // namespace skorva::avi
