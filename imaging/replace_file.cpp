#include "imaging/replace_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <string>
#include <utility>

namespace skorva {
namespace {

constexpr int kCreateAttempts = 16;

std::string randomSuffix() {
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof(kLetters) - 2);
    std::string suffix(6, 'X');
    for (char& c : suffix) {
        c = kLetters[pick(generator)];
    }
    return suffix;
}

// Closes the descriptor unless released; keeps errno of the failure that made us give up.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            const int saved = errno;
            ::close(fd_);
            errno = saved;
        }
    }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor& operator=(FileDescriptor&&) = delete;
    int get() const { return fd_; }
    // Closes now and reports the result: a delayed write error (NFS, quota) shows up only here.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

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

bool writeUnnamed(FileDescriptor file, const std::string& path, std::span<const std::uint8_t> bytes) {
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
    // Our own O_EXCL loop rather than mkstemp: mkstemp makes the file 0600, and the frame must get the
    // same permissions as any other file the user creates (0666 less the umask).
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < kCreateAttempts && fd < 0; ++attempt) {
        temporary = temporaryNameFor(path);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            return false;
        }
    }
    if (fd < 0) {
        return false;
    }
    FileDescriptor file(fd);
    if (!writeAll(file.get(), bytes) || !file.close()) {
        removeKeepingErrno(temporary);
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        removeKeepingErrno(temporary);
        return false;
    }
    return true;
}

}  // namespace

std::string temporaryNameFor(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + name + ".tmp-" + randomSuffix();
}

bool replaceFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    if (path.empty() || path.back() == '/') {
        errno = ENOENT;
        return false;
    }
    // An unnamed file gets a name only once every byte is in it: a kill during the write leaves nothing.
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int unnamed = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (unnamed >= 0) {
        return writeUnnamed(FileDescriptor(unnamed), path, bytes);
    }
    // File systems without unnamed files (and older kernels) say so with one of these.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return false;
    }
    return writeNamed(path, bytes);
}

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
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

}  // namespace skorva
