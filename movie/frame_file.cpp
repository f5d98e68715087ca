#include "movie/frame_file.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "platform/file_io.h"

namespace skorva {

Status readFrameFile(const std::string& path, std::int64_t limit, std::vector<std::uint8_t>& bytes) {
    const OpenedFile file = openRegularFile(path);
    if (!file.failure.empty()) {
        return Status::failure(file.failure);
    }
    if (file.size > limit) {
        return Status::failure("The file is far larger than a JPEG of the movie's size can be");
    }
    try {
        bytes.resize(static_cast<std::size_t>(file.size));
    } catch (const std::bad_alloc&) {
        return Status::failure(std::strerror(ENOMEM));
    }
    const std::int64_t got = readAt(file.fd.get(), 0, bytes);
    if (got < 0) {
        return Status::failure(std::strerror(errno));
    }
    // A file that shrank while it was read is taken as far as it goes.
    bytes.resize(static_cast<std::size_t>(got));
    return {};
}

}  // namespace skorva
