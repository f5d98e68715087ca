#pragma once
// One long-lived thread that runs a job while the caller does something else. Starting a thread for
// every job would cost more than a small job: a capture tick hands one over every second, and what the
// job keeps per thread (an encoder and its buffers) would be made anew each time.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace skorva {

class SideThread {
  public:
    SideThread();
    ~SideThread();
    SideThread(const SideThread&) = delete;
    SideThread& operator=(const SideThread&) = delete;

    // Runs `job` on the thread and `meanwhile` here; returns when both are done. What `meanwhile` throws
    // is thrown again once the job is done; the job reports through its own results, and what it throws
    // is swallowed so that nothing ends the thread.
    void runAlongside(const std::function<void()>& job, const std::function<void()>& meanwhile);

  private:
    void serve();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    const std::function<void()>* job_ = nullptr;
    bool done_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace skorva
