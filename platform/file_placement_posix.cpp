#include "platform/file_placement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace skorva {
namespace {

constexpr int kCreateAttempts = 16;

}  // namespace

int createFileBeside(const std::string& path, std::string& created) {
    if (path.empty() || path.back() == '/') {
        errno = ENOENT;
        return -1;
    }
    // Our own O_EXCL loop rather than mkstemp, whose files are 0600: the file must get the permissions of
    // any other file the user makes.
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        const std::string candidate = temporaryNameFor(path);
        const int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            created = candidate;
            return fd;
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    return -1;
}

bool renameWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // A file system without the flag: a second name that cannot replace anything, then the first goes.
    if (::link(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    ::unlink(from.c_str());
    return true;
}

}  // namespace skorva
