#include "movie/frame_read_ahead.h"

#include <system_error>
#include <utility>

namespace skorva {

FrameReadAhead::FrameReadAhead(std::vector<std::string> paths, Prepare prepare)
    : paths_(std::move(paths)), prepare_(std::move(prepare)) {
    // Room for every spare now, so that handing a buffer back never needs memory.
    spares_.reserve(kAhead);
    if (paths_.size() < 2) {
        return;
    }
    try {
        thread_ = std::thread([this] { readAhead(); });
    } catch (const std::system_error&) {
        // No thread to be had: the writer makes every frame ready itself.
    }
}

FrameReadAhead::~FrameReadAhead() {
    stop();
}

void FrameReadAhead::stop() {
    {
        const std::lock_guard held(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool FrameReadAhead::roomAhead() const {
    return next_ < paths_.size() && entries_.size() < kAhead &&
           (entries_.empty() || readyBytes_ < kAheadBytes);
}

PreparedFrame FrameReadAhead::blank(const std::string& path) {
    PreparedFrame frame;
    frame.path = path;
    if (!spares_.empty()) {
        frame.bytes = std::move(spares_.back());
        spares_.pop_back();
    }
    return frame;
}

void FrameReadAhead::prepareCatching(PreparedFrame& frame) const {
    try {
        prepare_(frame);
    } catch (...) {
        frame.thrown = std::current_exception();
    }
}

void FrameReadAhead::store(std::size_t index, PreparedFrame frame) {
    Entry& entry = entries_[index - base_];
    entry.size = frame.size();
    entry.frame = std::move(frame);
    entry.ready = true;
    readyBytes_ += entry.size;
    changed_.notify_all();
}

PreparedFrame FrameReadAhead::thrownAgain(PreparedFrame frame) {
    if (frame.thrown) {
        std::rethrow_exception(frame.thrown);
    }
    return frame;
}

void FrameReadAhead::readAhead() {
    std::unique_lock held(mutex_);
    for (;;) {
        changed_.wait(held, [this] { return stopping_ || roomAhead(); });
        if (stopping_ || !makeNextReady(held)) {
            return;
        }
    }
}

bool FrameReadAhead::makeNextReady(std::unique_lock<std::mutex>& held) {
    const std::size_t index = next_++;
    entries_.emplace_back();
    PreparedFrame frame = blank(paths_[index]);
    held.unlock();
    prepareCatching(frame);
    held.lock();
    if (stopping_) {
        return false;
    }
    store(index, std::move(frame));
    return true;
}

PreparedFrame FrameReadAhead::take(const std::string& path) {
    std::unique_lock held(mutex_);
    if (!stopping_ && base_ < paths_.size() && paths_[base_] == path) {
        for (;;) {
            if (!entries_.empty() && entries_.front().ready) {
                Entry entry = std::move(entries_.front());
                entries_.pop_front();
                ++base_;
                readyBytes_ -= entry.size;
                changed_.notify_all();
                return thrownAgain(std::move(entry.frame));
            }
            if (entries_.empty()) {
                // The thread has not begun it (it is starting, or gets no processor just now): it is made
                // here rather than waited for, and the thread goes on after it.
                ++base_;
                ++next_;
                PreparedFrame frame = blank(path);
                held.unlock();
                prepareCatching(frame);
                return thrownAgain(std::move(frame));
            }
            // The thread is at the frame wanted: the next one not begun is made here meanwhile.
            if (!roomAhead() || !makeNextReady(held)) {
                changed_.wait(held);
            }
        }
    }
    // Off the expected order: what was made ahead is of no use, and neither is what comes after it.
    PreparedFrame frame = blank(path);
    held.unlock();
    stop();
    prepareCatching(frame);
    return thrownAgain(std::move(frame));
}

void FrameReadAhead::giveBack(PreparedFrame frame) {
    const std::lock_guard held(mutex_);
    if (spares_.size() < kAhead && frame.bytes.capacity() > 0) {
        spares_.push_back(std::move(frame.bytes));
    }
}

}  // namespace skorva
