#pragma once
// A frame of another size than the movie's first, resampled to the movie's size so that every sample
// fits the stream.

#include <cstdint>

#include "core/picture.h"

namespace skorva {

// The picture at `width` x `height`; a null picture when it cannot be resampled.
Picture resampled(const Picture& picture, std::int32_t width, std::int32_t height);

}  // namespace skorva
