#include "imaging/replace_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

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
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
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

}  // namespace skorva
