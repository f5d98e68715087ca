#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace skorva {

bool closeDescriptor(int fd) {
    return ::close(fd) == 0;
}

bool lockWithoutWaiting(int fd) {
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

bool truncateFile(int fd, std::int64_t size) {
    return ::ftruncate(fd, static_cast<off_t>(size)) == 0;
}

namespace {

// Hands `bytes` to `write` until every one is taken.
template <typename Write>
bool writeEvery(std::span<const std::uint8_t> bytes, Write write) {
    while (!bytes.empty()) {
        const ssize_t written = write(bytes);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    return writeEvery(
        bytes, [fd](std::span<const std::uint8_t> rest) { return ::write(fd, rest.data(), rest.size()); });
}

bool writeAt(int fd, std::int64_t offset, std::span<const std::uint8_t> bytes) {
    return writeEvery(bytes, [fd, &offset](std::span<const std::uint8_t> rest) {
        const ssize_t written = ::pwrite(fd, rest.data(), rest.size(), static_cast<off_t>(offset));
        offset += written > 0 ? written : 0;
        return written;
    });
}

std::int64_t readAt(int fd, std::int64_t offset, std::span<std::uint8_t> into) {
    std::size_t done = 0;
    while (done < into.size()) {
        const ssize_t got = ::pread(fd, into.data() + done, into.size() - done,
                                    static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return static_cast<std::int64_t>(done);
}

OpenedFile openRegularFile(const std::string& path) {
    OpenedFile opened{UniqueFd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)), 0, {}};
    struct stat status {};
    if (!opened.fd || ::fstat(opened.fd.get(), &status) != 0) {
        opened.error = errno;
        opened.failure = std::strerror(errno);
        return opened;
    }
    if (!S_ISREG(status.st_mode)) {
        opened.failure = "Not a regular file";
        return opened;
    }
    opened.size = status.st_size;
    return opened;
}

bool isRegularFile(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace skorva
