#include "platform/held_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/file_placement.h"

namespace skorva {
namespace {

// Another program may replace the name between our steps; after this many tries it is a failure.
constexpr int kAttempts = 8;

bool plainFileOfOneName(const struct stat& status) {
    return S_ISREG(status.st_mode) && status.st_nlink == 1;
}

// Puts a new empty file of our own in place of whatever stands at `path`.
bool replaceWithEmptyFile(const std::string& path) {
    std::string created;
    UniqueFd file(createFileBeside(path, created));
    if (!file) {
        return false;
    }
    if (std::rename(created.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        ::unlink(created.c_str());
        errno = saved;
        return false;
    }
    return true;
}

}  // namespace

HeldFile::Result HeldFile::hold(const std::string& path) {
    path_ = path;
    failure_.clear();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) == 0 && !plainFileOfOneName(status) &&
            !replaceWithEmptyFile(path)) {
            break;
        }
        UniqueFd file(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666));
        if (!file) {
            if (errno == ELOOP || errno == ENXIO) {
                continue;  // a link or a socket took the name since it was looked at
            }
            break;
        }
        if (::fstat(file.get(), &status) != 0) {
            break;
        }
        if (!plainFileOfOneName(status)) {
            continue;
        }
        if (const std::optional<Result> kept = keepLocked(std::move(file))) {
            if (*kept != Result::Failed) {
                return *kept;
            }
            break;
        }
    }
    failure_ = std::strerror(errno != 0 ? errno : EBUSY);
    return Result::Failed;
}

bool HeldFile::stillNamed() const {
    struct stat held {};
    struct stat named {};
    return ::fstat(fd_.get(), &held) == 0 && ::lstat(path_.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino && plainFileOfOneName(named);
}

}  // namespace skorva
