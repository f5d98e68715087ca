#include "platform/avi/movie_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <span>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include "platform/avi/movie_salvage.h"
#include "platform/file_placement.h"

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

MovieOutput::MovieOutput(int fd, std::string temporary, std::string target)
    : fd_(fd), temporary_(std::move(temporary)), target_(std::move(target)) {}

std::unique_ptr<MovieOutput> MovieOutput::create(const std::string& target) {
    std::string temporary;
    const int fd = createFileBeside(target, temporary);
    if (fd < 0) {
        return nullptr;
    }
    std::unique_ptr<MovieOutput> output(new MovieOutput(fd, std::move(temporary), target));
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
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (!placed_) {
        ::unlink(temporary_.c_str());
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

bool MovieOutput::closeFile() {
    avio_flush(io_);
    if (io_->error < 0) {
        fail(libraryText(io_->error));
    }
    // A delayed write error (a network file system, a quota) shows only when the file is closed.
    if (fd_ >= 0 && ::close(fd_) != 0) {
        fail(std::strerror(errno));
    }
    fd_ = -1;
    return failure_.empty();
}

MoviePlacement MovieOutput::finish(std::int64_t frames, const std::vector<bool>& keyFrames, bool mendable) {
    if (failure_.empty() && closeFile()) {
        if (::rename(temporary_.c_str(), target_.c_str()) == 0) {
            placed_ = true;
            return MoviePlacement{frames, target_, {}};
        }
        fail(std::strerror(errno));
    }
    if (!mendable) {
        // The destructor removes the file: no broken movie is left, and the target stays as it was.
        return MoviePlacement{0, {}, failure_};
    }
    // Whatever the muxer had not written yet is lost: the movie ends with its last whole frame.
    if (fd_ < 0) {
        fd_ = ::open(temporary_.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    }
    const SalvagedMovie mended = fd_ >= 0 ? salvageMovie(fd_, keyFrames) : SalvagedMovie{};
    const bool closed = fd_ < 0 || ::close(fd_) == 0;
    fd_ = -1;
    if (!mended.mended || !closed || mended.frames == 0) {
        return MoviePlacement{0, {}, failure_};
    }
    const std::string where = placeMended();
    return MoviePlacement{where.empty() ? 0 : mended.frames, where, failure_};
}

std::string MovieOutput::placeMended() {
    // An earlier file of the target's name stays: the part of the new movie goes beside it.
    struct stat status {};
    std::string where;
    if (::lstat(target_.c_str(), &status) != 0 && renameWithoutReplacing(temporary_, target_)) {
        where = target_;
    } else {
        where = moveBeside(temporary_, target_, "incomplete");
    }
    placed_ = !where.empty();
    return where;
}

void MovieOutput::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    ::unlink(temporary_.c_str());
    placed_ = true;
}

}  // namespace skorva::avi
