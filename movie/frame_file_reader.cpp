#include "movie/frame_file_reader.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <system_error>
#include <utility>

#include "platform/file_io.h"

namespace skorva {

Status readFrameFile(const std::string& path, std::int64_t limit, std::vector<std::uint8_t>& bytes) {
    const OpenedFile file = openRegularFile(path);
    if (!file.failure.empty()) {
        return Status::failure(file.failure);
    }
    if (file.size > limit) {
        return Status::failure("The file is far larger than a JPEG of the movie's size can be");
    }
    try {
        bytes.resize(static_cast<std::size_t>(file.size));
    } catch (const std::bad_alloc&) {
        return Status::failure(std::strerror(ENOMEM));
    }
    const std::int64_t got = readAt(file.fd.get(), 0, bytes);
    if (got < 0) {
        return Status::failure(std::strerror(errno));
    }
    // A file that shrank while it was read is taken as far as it goes.
    bytes.resize(static_cast<std::size_t>(got));
    return {};
}

FrameFileReader::FrameFileReader(std::vector<std::string> paths, std::int64_t limit)
    : paths_(std::move(paths)), limit_(limit) {
    // Room for every spare now, so that handing a buffer back never needs memory.
    spares_.reserve(kAhead);
    if (paths_.size() < 2) {
        return;
    }
    try {
        running_ = true;
        thread_ = std::thread([this] { readAhead(); });
    } catch (const std::system_error&) {
        // No thread to be had: every file is read when it is asked for.
        running_ = false;
    }
}

FrameFileReader::~FrameFileReader() {
    stop();
}

void FrameFileReader::stop() {
    {
        const std::lock_guard held(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void FrameFileReader::readAhead() {
    std::unique_lock held(mutex_);
    try {
        for (;;) {
            changed_.wait(
                held, [this] { return stopping_ || (ready_.size() < kAhead && readyBytes_ < kAheadBytes); });
            if (stopping_ || next_ >= paths_.size()) {
                break;
            }
            Read read{paths_[next_++], {}, {}};
            if (!spares_.empty()) {
                read.bytes = std::move(spares_.back());
                spares_.pop_back();
            }
            held.unlock();
            read.status = readFrameFile(read.path, limit_, read.bytes);
            held.lock();
            readyBytes_ += read.bytes.size();
            ready_.push_back(std::move(read));
            changed_.notify_all();
        }
    } catch (...) {
        // Out of memory for the queue: the files are read when they are asked for.
        if (!held.owns_lock()) {
            held.lock();
        }
        stopping_ = true;
    }
    running_ = false;
    changed_.notify_all();
}

Status FrameFileReader::take(const std::string& path, std::vector<std::uint8_t>& bytes) {
    {
        std::unique_lock held(mutex_);
        const auto unbegun = [&] { return !stopping_ && next_ < paths_.size() && paths_[next_] == path; };
        changed_.wait(held, [&] { return !ready_.empty() || !running_ || unbegun(); });
        if (ready_.empty() && running_ && unbegun()) {
            // The thread has not begun the file asked for (it is still starting, or gets no processor just
            // now): it is read here rather than waited for, and the thread goes on after it.
            ++next_;
            held.unlock();
            return readFrameFile(path, limit_, bytes);
        }
        if (!ready_.empty() && !stopping_ && ready_.front().path == path) {
            Read read = std::move(ready_.front());
            ready_.pop_front();
            readyBytes_ -= read.bytes.size();
            std::swap(bytes, read.bytes);
            if (spares_.size() < kAhead && read.bytes.capacity() <= kAheadBytes) {
                spares_.push_back(std::move(read.bytes));
            }
            changed_.notify_all();
            return read.status;
        }
    }
    // Off the expected order: what was read ahead is of no use, and neither is what comes after it.
    stop();
    return readFrameFile(path, limit_, bytes);
}

}  // namespace skorva
