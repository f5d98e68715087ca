#pragma once
// Frame-sized buffers resized with their new pages made in one call rather than one page fault at a time:
// a fault costs several microseconds, so a fresh frame's hundreds of pages are a large part of a short
// movie's fixed cost.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace skorva {

// As buffer.resize(size). Throws std::bad_alloc.
void resizeFrameBuffer(std::vector<std::uint8_t>& buffer, std::size_t size);

}  // namespace skorva
