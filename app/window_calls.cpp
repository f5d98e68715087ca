#include "app/window_calls.h"

#include <condition_variable>
#include <mutex>

namespace skorva {

struct WindowCalls::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool closed = false;
};

namespace {

enum class CallState { Queued, Running, Done, Failed, Dropped };

}  // namespace

WindowCalls::WindowCalls(QObject& window) : window_(window), shared_(std::make_shared<Shared>()) {}

WindowCalls::~WindowCalls() {
    close();
}

bool WindowCalls::run(const std::function<void()>& call) {
    auto state = std::make_shared<CallState>(CallState::Queued);
    {
        const std::lock_guard lock(shared_->mutex);
        if (shared_->closed) {
            return false;
        }
    }
    // The call lives on this thread's stack until this function returns, which it does only once the
    // call is done or will never begin.
    const std::function<void()>* pending = &call;
    QMetaObject::invokeMethod(
        &window_,
        [shared = shared_, state, pending] {
            {
                const std::lock_guard lock(shared->mutex);
                if (shared->closed || *state != CallState::Queued) {
                    return;
                }
                *state = CallState::Running;
            }
            CallState ended = CallState::Done;
            try {
                (*pending)();
            } catch (...) {
                // Nothing may leave an event handler; the worker learns that the call did not run whole.
                ended = CallState::Failed;
            }
            const std::lock_guard lock(shared->mutex);
            *state = ended;
            shared->changed.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(shared_->mutex);
    shared_->changed.wait(lock, [&] {
        return *state == CallState::Done || *state == CallState::Failed ||
               (shared_->closed && *state == CallState::Queued);
    });
    if (*state == CallState::Queued) {
        *state = CallState::Dropped;
    }
    return *state == CallState::Done;
}

void WindowCalls::close() {
    const std::lock_guard lock(shared_->mutex);
    shared_->closed = true;
    shared_->changed.notify_all();
}

}  // namespace skorva
