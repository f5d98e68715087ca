#include "platform/file_replacement.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "platform/file_io.h"
#include "platform/file_placement.h"

namespace skorva {
namespace {

constexpr int kCreateAttempts = 16;

void removeKeepingErrno(const std::string& path) {
    const int saved = errno;
    ::unlink(path.c_str());
    errno = saved;
}

// A new hidden name beside `path` for an open file; false with errno when none could be made.
bool linkUnderTemporaryName(const std::string& procPath, const std::string& path, std::string& temporary) {
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        temporary = temporaryNameFor(path);
        if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

bool writeUnnamed(UniqueFd file, const std::string& path, std::span<const std::uint8_t> bytes) {
    if (!writeAll(file.get(), bytes)) {
        return false;
    }
    // linkat through /proc needs no privilege, unlike AT_EMPTY_PATH.
    const std::string procPath = "/proc/self/fd/" + std::to_string(file.get());
    if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        if (!file.close()) {
            removeKeepingErrno(path);
            return false;
        }
        return true;
    }
    if (errno != EEXIST) {
        return false;
    }
    // A link cannot replace a name: the complete file gets a hidden name that is renamed over the old
    // one at once, so only a kill between these two calls could leave it behind.
    std::string temporary;
    if (!linkUnderTemporaryName(procPath, path, temporary)) {
        return false;
    }
    if (!file.close() || std::rename(temporary.c_str(), path.c_str()) != 0) {
        removeKeepingErrno(temporary);
        return false;
    }
    return true;
}

// Where unnamed files cannot be made: a hidden temporary file, renamed once it is complete.
bool writeNamed(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::string temporary;
    UniqueFd file(createFileBeside(path, temporary));
    if (!file) {
        return false;
    }
    if (!writeAll(file.get(), bytes) || !file.close() || std::rename(temporary.c_str(), path.c_str()) != 0) {
        removeKeepingErrno(temporary);
        return false;
    }
    return true;
}

}  // namespace

namespace {

bool replace(const std::string& path, std::span<const std::uint8_t> bytes) {
    if (path.empty() || path.back() == '/') {
        errno = ENOENT;
        return false;
    }
    // An unnamed file gets a name only once every byte is in it: a kill during the write leaves nothing.
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int unnamed = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (unnamed >= 0) {
        return writeUnnamed(UniqueFd(unnamed), path, bytes);
    }
    // File systems without unnamed files (and older kernels) say so with one of these.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return false;
    }
    return writeNamed(path, bytes);
}

}  // namespace

std::string replaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes) {
    return replace(path, bytes) ? std::string() : std::string(std::strerror(errno));
}

}  // namespace skorva
