#include "platform/avi/movie_output.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <span>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include "platform/avi/movie_salvage.h"
#include "platform/file_placement.h"
#include "platform/held_beside.h"

namespace skorva::avi {
namespace {

// The muxer's writes reach the disk in blocks of this size.
constexpr int kBufferSize = 256 * 1024;

std::string libraryText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

}  // namespace

MovieOutput::MovieOutput(int fd, bool unnamed, std::string temporary, std::string target)
    : fd_(fd), unnamed_(unnamed), temporary_(std::move(temporary)), target_(std::move(target)) {}

std::unique_ptr<MovieOutput> MovieOutput::create(const std::string& target) {
    // A folder of that name could never be replaced by the movie: found out now, not after the last frame.
    struct stat status {};
    if (::stat(target.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        errno = EISDIR;
        return nullptr;
    }
    const auto slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    std::string temporary;
    bool unnamed = true;
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd >= 0) {
        // The muxer that reads back what it wrote finds the file through its descriptor.
        temporary = "/proc/self/fd/" + std::to_string(fd);
        // Held like a named one, for the moment it has a hidden name on its way to the target's.
        ::flock(fd, LOCK_EX | LOCK_NB);
    } else if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
        // A file system without unnamed files (or an older kernel).
        unnamed = false;
        fd = createHeldFileBeside(target, temporary);
    }
    if (fd < 0) {
        return nullptr;
    }
    std::unique_ptr<MovieOutput> output(new MovieOutput(fd, unnamed, std::move(temporary), target));
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    if (buffer != nullptr) {
        output->io_ = avio_alloc_context(buffer, kBufferSize, 1, output.get(), nullptr, &writePacket, &seek);
    }
    if (output->io_ == nullptr) {
        av_free(buffer);
        output.reset();
        errno = ENOMEM;
        return nullptr;
    }
    return output;
}

MovieOutput::~MovieOutput() {
    if (io_ != nullptr) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
    if (!placed_ && !unnamed_) {
        ::unlink(temporary_.c_str());
    }
    closeFile();
}

void MovieOutput::closeFile() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void MovieOutput::fail(const std::string& reason) {
    if (failure_.empty()) {
        failure_ = reason.empty() ? std::string("Input/output error") : reason;
    }
}

int MovieOutput::writePacket(void* opaque, std::uint8_t* buffer, int size) {
    auto& self = *static_cast<MovieOutput*>(opaque);
    if (self.failureCode_ != 0) {
        return AVERROR(self.failureCode_);
    }
    if (!writeAll(self.fd_, std::span<const std::uint8_t>(buffer, static_cast<std::size_t>(size)))) {
        self.failureCode_ = errno;
        self.fail(std::strerror(self.failureCode_));
        return AVERROR(self.failureCode_);
    }
    return size;
}

std::int64_t MovieOutput::seek(void* opaque, std::int64_t offset, int whence) {
    auto& self = *static_cast<MovieOutput*>(opaque);
    if (whence == AVSEEK_SIZE) {
        struct stat status {};
        return ::fstat(self.fd_, &status) == 0 ? static_cast<std::int64_t>(status.st_size) : AVERROR(errno);
    }
    const off_t at = ::lseek(self.fd_, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    if (at < 0) {
        self.failureCode_ = errno;
        self.fail(std::strerror(self.failureCode_));
        return AVERROR(self.failureCode_);
    }
    return at;
}

bool MovieOutput::flushFile() {
    avio_flush(io_);
    if (io_->error < 0) {
        fail(libraryText(io_->error));
    }
    // A delayed write error (a network file system, a quota) shows only when a descriptor of the file is
    // closed: a second one is, so that the file stays open and held.
    const int probe = failure_.empty() ? ::dup(fd_) : -1;
    if (probe >= 0 && ::close(probe) != 0) {
        fail(std::strerror(errno));
    }
    return failure_.empty();
}

bool MovieOutput::placeOverTarget() {
    if (unnamed_) {
        if (linkUnnamed(fd_, target_)) {
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
        // A link cannot replace a name: the movie gets a hidden name, renamed over the old file at once.
        std::string hidden;
        if (!linkHeldBeside(fd_, target_, hidden)) {
            return false;
        }
        if (std::rename(hidden.c_str(), target_.c_str()) != 0) {
            const int saved = errno;
            ::unlink(hidden.c_str());
            errno = saved;
            return false;
        }
        return true;
    }
    return std::rename(temporary_.c_str(), target_.c_str()) == 0;
}

MoviePlacement MovieOutput::finish(std::int64_t frames, const std::vector<bool>& keyFrames, bool mendable) {
    if (failure_.empty() && flushFile()) {
        if (placeOverTarget()) {
            placed_ = true;
            closeFile();
            return MoviePlacement{frames, target_, {}};
        }
        fail(std::strerror(errno));
    }
    if (!mendable) {
        // No broken movie is left, and the target stays as it was.
        return MoviePlacement{0, {}, failure_};
    }
    // Whatever the muxer had not written yet is lost: the movie ends with its last whole frame.
    const SalvagedMovie mended = fd_ >= 0 ? salvageMovie(fd_, keyFrames) : SalvagedMovie{};
    if (!mended.mended || mended.frames == 0) {
        return MoviePlacement{0, {}, failure_};
    }
    const std::string where = placeMended();
    return MoviePlacement{where.empty() ? 0 : mended.frames, where, failure_};
}

std::string MovieOutput::placeMended() {
    // An earlier file of the target's name stays: the part of the new movie goes beside it.
    const auto placeAt = [this](const std::string& candidate) {
        return unnamed_ ? linkUnnamed(fd_, candidate) : renameWithoutReplacing(temporary_, candidate);
    };
    struct stat status {};
    std::string where;
    if (::lstat(target_.c_str(), &status) != 0 && placeAt(target_)) {
        where = target_;
    } else {
        where = placeBeside(target_, "incomplete", placeAt);
    }
    placed_ = !where.empty();
    return where;
}

void MovieOutput::discard() {
    if (!unnamed_) {
        ::unlink(temporary_.c_str());
    }
    closeFile();
    placed_ = true;
}

}  // namespace skorva::avi
