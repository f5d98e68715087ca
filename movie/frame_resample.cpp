#include "movie/frame_resample.h"

#include <memory>
#include <stdexcept>

#include "imaging/dib_section.h"

namespace skorva {

Picture resampled(const Picture& picture, std::int32_t width, std::int32_t height) {
    cDIBSection section;
    section.CreateFromPicture(picture);
    std::unique_ptr<cDIBSection> scaled;
    try {
        scaled = section.Resample(height, width);
    } catch (const std::out_of_range&) {
        return {};
    }
    if (!scaled) {
        return {};
    }
    Picture result = Picture::black(width, height);
    scaled->PaintPicture(result, 0, 0, width, height, 0, 0);
    return result;
}

}  // namespace skorva
