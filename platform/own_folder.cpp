#include "platform/own_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace skorva {
namespace {

// A recording's folder is never writable by anyone but its user, whatever the umask says.
constexpr mode_t kFolderMode = 0755;
constexpr mode_t kWritableByOthers = S_IWGRP | S_IWOTH;

// What a candidate's path turned out to be.
enum class Candidate { Ours, Foreign, FileInTheWay, Failed };

// Makes the folder at `path` or finds it, and opens it when it is this user's own and nobody else may
// write into it. Anything else there (another user's folder, one others may write into, a link) is
// someone else's: in a shared output folder anyone may make the names of the seconds to come.
Candidate openOwnFolder(const std::string& path, int& fd, std::string& reason) {
    const bool made = ::mkdir(path.c_str(), kFolderMode) == 0;
    if (!made && errno != EEXIST) {
        reason = std::strerror(errno);
        return Candidate::Failed;
    }
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0) {
        // Gone again since: someone else is at work on this name.
        return Candidate::Foreign;
    }
    if (!S_ISDIR(link.st_mode) && !S_ISLNK(link.st_mode)) {
        reason = "a file of that name is in the way";
        return Candidate::FileInTheWay;
    }
    // Not through a link, and checked on what was opened: the name may be swapped meanwhile.
    fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ELOOP || errno == ENOTDIR || errno == EACCES || errno == ENOENT) {
            return Candidate::Foreign;
        }
        reason = std::strerror(errno);
        return Candidate::Failed;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISDIR(opened.st_mode) || opened.st_uid != ::geteuid()) {
        ::close(fd);
        fd = -1;
        return Candidate::Foreign;
    }
    if ((opened.st_mode & kWritableByOthers) != 0) {
        // Made just now yet open to others (a default ACL of the output folder): closed again. One found
        // open may hold what others have put there already.
        if (!made || ::fchmod(fd, opened.st_mode & 07777 & ~kWritableByOthers) != 0) {
            ::close(fd);
            fd = -1;
            return Candidate::Foreign;
        }
    }
    return Candidate::Ours;
}

}  // namespace

OwnFolder holdOwnFolder(const std::string& path, UniqueFd& lock, std::string& reason) {
    int fd = -1;
    switch (openOwnFolder(path, fd, reason)) {
        case Candidate::Ours:
            break;
        case Candidate::Foreign:
            return OwnFolder::Foreign;
        case Candidate::FileInTheWay:
            return OwnFolder::FileInTheWay;
        case Candidate::Failed:
            return OwnFolder::Failed;
    }
    UniqueFd held(fd);
    if (::flock(held.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        return OwnFolder::Foreign;
    }
    // A file system without locks (some network ones) records as it always did, unguarded.
    lock = std::move(held);
    return OwnFolder::Held;
}

}  // namespace skorva
