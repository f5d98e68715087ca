#include "core/side_thread.h"

#include <exception>

namespace skorva {

SideThread::SideThread() : thread_([this] { serve(); }) {}

SideThread::~SideThread() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void SideThread::runAlongside(const std::function<void()>& job, const std::function<void()>& meanwhile) {
    {
        std::lock_guard lock(mutex_);
        job_ = &job;
        done_ = false;
    }
    wake_.notify_all();
    // The job refers to the caller's stack: it must be finished before anything leaves this call.
    std::exception_ptr failure;
    try {
        meanwhile();
    } catch (...) {
        failure = std::current_exception();
    }
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [this] { return done_; });
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void SideThread::serve() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || job_ != nullptr; });
        if (job_ == nullptr) {
            return;
        }
        const std::function<void()>* job = job_;
        lock.unlock();
        try {
            (*job)();
        } catch (...) {
            // The job reports through its own result; nothing may end this thread.
        }
        lock.lock();
        job_ = nullptr;
        done_ = true;
        finished_.notify_all();
    }
}

}  // namespace skorva
