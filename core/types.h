#pragma once
// Values that pass between the system and the platform layer.

#include <cstdint>

namespace skorva {

// A top-level window as the list carries it: 32 bits. On X11 the id of the client window (the one that
// carries the title).
using WindowHandle = std::uint32_t;

// A rectangle in screen coordinates, right and bottom exclusive.
struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// The largest frame side a movie holds (the AVI library's limit): a larger frame is refused before
// anything its size is allocated.
inline constexpr std::int32_t kMovieFrameSideLimit = 16384;

}  // namespace skorva
