#include "platform/avi/encode_aside.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "platform/avi/movie.h"

namespace skorva::avi {
namespace {

// 1280x720 and up: an H.264 frame of that size takes tens of milliseconds on a small machine.
constexpr std::int64_t kAsidePixels = std::int64_t{1280} * 720;
// How often the callback runs while a frame is encoded aside; it decides itself whether to paint.
constexpr std::chrono::milliseconds kCallbackEvery{5};

}  // namespace

Status EncodeAside::encode(FrameEncoder& encoder, const std::uint8_t* rows, std::int64_t position,
                           bool keyFrame, Movie& movie, std::int64_t pixels) {
    if (pixels < kAsidePixels || !movie.afterSample()) {
        return encoder.encode(rows, position, keyFrame, movie);
    }
    std::function<void()> callback = movie.afterSample();
    if (!side_) {
        side_ = std::make_unique<SideThread>();
    }
    // The movie calls no one from the side thread; this thread calls for it meanwhile and once after.
    movie.setAfterSample({});
    Status status;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    try {
        side_->runAlongside(
            [&] {
                status = encoder.encode(rows, position, keyFrame, movie);
                {
                    const std::lock_guard lock(mutex);
                    done = true;
                }
                finished.notify_one();
            },
            [&] {
                std::unique_lock lock(mutex);
                do {
                    lock.unlock();
                    callback();
                    lock.lock();
                } while (!finished.wait_for(lock, kCallbackEvery, [&] { return done; }));
            });
    } catch (...) {
        movie.setAfterSample(std::move(callback));
        throw;
    }
    movie.setAfterSample(callback);
    callback();
    return status;
}

}  // namespace skorva::avi
