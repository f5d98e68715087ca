#include "platform/held_beside.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_io.h"
#include "platform/held_names.h"

namespace skorva {
namespace {

// Removes `path` when it is a file no running writer holds; true when it is gone.
bool removeIfAbandoned(const std::string& path) {
    const UniqueFd file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat held {};
    struct stat named {};
    if (!file || ::fstat(file.get(), &held) != 0 || !S_ISREG(held.st_mode) ||
        ::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
        return false;
    }
    // Still the file that was opened, and no other writer's since.
    if (::lstat(path.c_str(), &named) != 0 || named.st_ino != held.st_ino || named.st_dev != held.st_dev) {
        return false;
    }
    return ::unlink(path.c_str()) == 0;
}

}  // namespace

int createHeldFileBeside(const std::string& target, std::string& created) {
    int fd = -1;
    const bool claimed = claimHeldName(
        target, created,
        [&fd](const std::string& name) {
            fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                const int saved = errno;
                ::close(fd);
                ::unlink(name.c_str());
                fd = -1;
                errno = saved;
            }
            return fd >= 0;
        },
        removeIfAbandoned);
    return claimed ? fd : -1;
}

bool linkHeldBeside(int fd, const std::string& target, std::string& linked) {
    return claimHeldName(
        target, linked, [fd](const std::string& name) { return linkUnnamed(fd, name); }, removeIfAbandoned);
}

bool linkUnnamed(int fd, const std::string& path) {
    // linkat through /proc needs no privilege, unlike AT_EMPTY_PATH.
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

}  // namespace skorva
