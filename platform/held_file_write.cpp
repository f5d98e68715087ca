#include "platform/held_file.h"

#include <cerrno>
#include <utility>

namespace skorva {

std::optional<HeldFile::Result> HeldFile::keepLocked(UniqueFd file) {
    if (!lockWithoutWaiting(file.get())) {
        return errno == EWOULDBLOCK ? Result::InUse : Result::Failed;
    }
    fd_ = std::move(file);
    // The holder before us may have replaced or removed the name just before letting go: a lock on a
    // file of no name holds nothing.
    if (stillNamed()) {
        return Result::Held;
    }
    fd_ = UniqueFd();
    return std::nullopt;
}

bool HeldFile::write(std::span<const std::uint8_t> bytes) {
    if (!fd_) {
        errno = EBADF;
        return false;
    }
    replaced_ = !stillNamed();
    if (replaced_) {
        return false;
    }
    // A longer file from a larger frame is cut to this one's length, so that readers see one frame.
    return writeAt(fd_.get(), 0, bytes) && truncateFile(fd_.get(), static_cast<std::int64_t>(bytes.size()));
}

}  // namespace skorva
