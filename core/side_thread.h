#pragma once
// One long-lived thread that runs a job while the caller does something else. Starting a thread for
// every job would cost more than a small job: a capture tick hands one over every second, and what the
// job keeps per thread (an encoder and its buffers) would be made anew each time.

#include <atomic>
#include <chrono>
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
    // is swallowed so that nothing ends the thread. A job expected to end soon after `meanwhile` may be
    // watched for `watch` before this thread sleeps: waking from a sleep can take longer than the rest of
    // such a job, but watching costs the processor time it lasts.
    void runAlongside(const std::function<void()>& job, const std::function<void()>& meanwhile,
                      std::chrono::microseconds watch = std::chrono::microseconds{0});

  private:
    void serve();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    const std::function<void()>* job_ = nullptr;
    bool done_ = false;
    std::atomic<bool> jobOver_{false};
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace skorva
