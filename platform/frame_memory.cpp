#include "core/frame_memory.h"

#include <sys/mman.h>
#include <unistd.h>

namespace skorva {

void resizeFrameBuffer(std::vector<std::uint8_t>& buffer, std::size_t size) {
    if (size > buffer.capacity()) {
        buffer.reserve(size);
#ifdef MADV_POPULATE_WRITE
        // The whole pages inside the new memory; a system without this advice faults them in as before.
        if (const long pageSize = ::sysconf(_SC_PAGESIZE); pageSize > 0) {
            const auto page = static_cast<std::uintptr_t>(pageSize);
            const auto start = reinterpret_cast<std::uintptr_t>(buffer.data());
            const std::uintptr_t first = (start + page - 1) / page * page;
            const std::uintptr_t end = (start + size) / page * page;
            if (end > first) {
                ::madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
            }
        }
#endif
    }
    buffer.resize(size);
}

}  // namespace skorva
