#include "recording/recording_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace skorva {
namespace {

constexpr int kLastSuffix = 99;
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

RecordingFolder::~RecordingFolder() {
    if (lock_ >= 0) {
        ::close(lock_);
    }
}

RecordingFolder::RecordingFolder(RecordingFolder&& other) noexcept
    : outputFolder_(std::move(other.outputFolder_)),
      path_(std::move(other.path_)),
      lock_(std::exchange(other.lock_, -1)) {}

RecordingFolder& RecordingFolder::operator=(RecordingFolder&& other) noexcept {
    if (this != &other) {
        if (lock_ >= 0) {
            ::close(lock_);
        }
        outputFolder_ = std::move(other.outputFolder_);
        path_ = std::move(other.path_);
        lock_ = std::exchange(other.lock_, -1);
    }
    return *this;
}

std::string RecordingFolder::claim(const std::string& outputFolder, const std::string& name,
                                   std::string& reason) {
    for (int suffix = 1; suffix <= kLastSuffix; ++suffix) {
        const std::string candidate = suffix == 1 ? name : name + "_" + std::to_string(suffix);
        const std::string path = outputFolder + "/" + candidate;
        // Our own recording's folder, entered again within the same second: ours already.
        if (!path_.empty() && path == path_) {
            outputFolder_ = outputFolder;
            return candidate;
        }
        int fd = -1;
        switch (openOwnFolder(path, fd, reason)) {
            case Candidate::Ours:
                break;
            case Candidate::Foreign:
                reason.clear();
                continue;
            case Candidate::FileInTheWay:
            case Candidate::Failed:
                return {};
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
            ::close(fd);
            continue;
        }
        // A file system without locks (some network ones) records as it always did, unguarded.
        RecordingFolder claimed;
        claimed.outputFolder_ = outputFolder;
        claimed.path_ = path;
        claimed.lock_ = fd;
        *this = std::move(claimed);
        return candidate;
    }
    reason =
        "other recordings or other users hold it and the next " + std::to_string(kLastSuffix - 1) + " names";
    return {};
}

}  // namespace skorva
