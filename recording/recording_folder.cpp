#include "recording/recording_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

namespace skorva {
namespace {

constexpr int kLastSuffix = 99;

// Makes sure a folder of that path exists. Returns an empty text on success, else the reason.
std::string ensureFolder(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (fs::exists(status)) {
        return fs::is_directory(status) ? std::string() : std::string("a file of that name is in the way");
    }
    if (!fs::create_directory(path, error) && error) {
        return error.message();
    }
    return {};
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
        reason = ensureFolder(path);
        if (!reason.empty()) {
            return {};
        }
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            reason = std::strerror(errno);
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
    reason = "other recordings hold it and the next " + std::to_string(kLastSuffix - 1) + " names";
    return {};
}

}  // namespace skorva
