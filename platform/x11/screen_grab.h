#pragma once
// Copies rectangles of the screen out of the root window: through a shared memory segment (MIT-SHM)
// that is kept and reused while it is large enough, or with a plain GetImage where SHM is unavailable.

#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/picture.h"
#include "platform/x11/shm_segment.h"
#include "platform/x11/x11_connection.h"

namespace skorva::x11 {

class ScreenGrabber {
  public:
    explicit ScreenGrabber(const Connection& connection);
    ~ScreenGrabber() = default;
    ScreenGrabber(const ScreenGrabber&) = delete;
    ScreenGrabber& operator=(const ScreenGrabber&) = delete;

    // See Desktop::grabScreen. Throws PlatformError (numbers in x11_errors.h).
    Picture grab(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height);

    // True while grabs go through shared memory.
    bool sharedMemory() const { return shmUsable_; }

  private:
    // Writes every pixel of the grab into `pixels`: the part on the screen as it is now, the rest black.
    void fill(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
              PixelBuffer& pixels, std::size_t stride);
    // Fetches the on-screen rectangle into `target` (rows `stride` bytes apart), alpha set.
    void fetch(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, std::uint8_t* target,
               std::size_t stride);
    // A segment of at least `bytes`, or nullptr when shared memory cannot be had (from then on).
    const ShmSegment* segmentFor(std::size_t bytes);
    void checkScreenFormat();
    [[noreturn]] void fail(const xcb_generic_error_t* error, const char* request) const;

    const Connection& connection_;
    bool formatChecked_ = false;
    bool shmUsable_ = false;
    std::unique_ptr<ShmSegment> segment_;
};

}  // namespace skorva::x11
