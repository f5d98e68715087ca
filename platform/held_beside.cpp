#include "platform/held_beside.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <functional>

#include "platform/file_io.h"

namespace skorva {
namespace {

// Writers of one target at once, at the most.
constexpr int kNames = 16;

std::string::size_type nameStart(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

// FNV-1a: the same target gives the same hidden names in every run.
std::uint64_t hashOf(const std::string& text, std::string::size_type from) {
    std::uint64_t hash = 14695981039346656037ull;
    for (std::string::size_type i = from; i < text.size(); ++i) {
        hash = (hash ^ static_cast<unsigned char>(text[i])) * 1099511628211ull;
    }
    return hash;
}

std::string heldName(const std::string& target, int number) {
    char name[64];
    std::snprintf(name, sizeof name, ".skorva-%016llx-%d.tmp",
                  static_cast<unsigned long long>(hashOf(target, nameStart(target))), number);
    return target.substr(0, nameStart(target)) + name;
}

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

// Tries `claim` on the held names beside `target` in turn; a name taken by an abandoned file is taken after
// the file is removed.
bool claimName(const std::string& target, std::string& name,
               const std::function<bool(const std::string&)>& claim) {
    if (nameStart(target) == target.size()) {
        errno = ENOENT;
        return false;
    }
    for (int number = 1; number <= kNames; ++number) {
        name = heldName(target, number);
        if (claim(name)) {
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
        // Taken: by a running writer, or left by one that is gone.
        if (removeIfAbandoned(name) && claim(name)) {
            return true;
        }
    }
    errno = EEXIST;
    return false;
}

}  // namespace

int createHeldFileBeside(const std::string& target, std::string& created) {
    int fd = -1;
    const bool claimed = claimName(target, created, [&fd](const std::string& name) {
        fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int saved = errno;
            ::close(fd);
            ::unlink(name.c_str());
            fd = -1;
            errno = saved;
        }
        return fd >= 0;
    });
    return claimed ? fd : -1;
}

bool linkHeldBeside(int fd, const std::string& target, std::string& linked) {
    return claimName(target, linked, [fd](const std::string& name) { return linkUnnamed(fd, name); });
}

bool linkUnnamed(int fd, const std::string& path) {
    // linkat through /proc needs no privilege, unlike AT_EMPTY_PATH.
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

}  // namespace skorva
