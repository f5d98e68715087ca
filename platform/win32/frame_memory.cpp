#include "core/frame_memory.h"

namespace skorva {

// Windows commits a reserved buffer's pages as they are first touched and has no call that makes them
// present in one go: the buffer is resized as it is.
void resizeFrameBuffer(std::vector<std::uint8_t>& buffer, std::size_t size) {
    buffer.resize(size);
}

}  // namespace skorva
