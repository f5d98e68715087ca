#pragma once
// Reads rectangles of a drawable (the root window, a window's own pixmap) into pictures: through shared
// memory segments (MIT-SHM) that are kept and reused, or with a plain GetImage where SHM is unavailable.
// A rectangle that lies wholly on the drawable becomes a picture over the segment the server wrote into,
// without a copy; the segment is used again once no picture holds it.

#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/picture.h"
#include "platform/x11/shm_segment.h"
#include "platform/x11/x11_connection.h"

namespace skorva::x11 {

class ImageReader {
  public:
    explicit ImageReader(const Connection& connection);
    // Ends the server's attachment of every segment; pictures still holding one keep its memory.
    ~ImageReader();
    ImageReader(const ImageReader&) = delete;
    ImageReader& operator=(const ImageReader&) = delete;

    // The rectangle of `drawable`, whose pixels span (0, 0) to `boundsWidth` x `boundsHeight`: the part
    // on it as it is now, the rest black. The picture always has the size asked for; a zero or negative
    // size gives an empty picture. Throws PlatformError (numbers in x11_errors.h), kGrabRefused when the
    // server refuses the rectangle.
    Picture read(xcb_drawable_t drawable, std::int32_t boundsWidth, std::int32_t boundsHeight,
                 std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height);

    // True while reads go through shared memory.
    bool sharedMemory() const { return shmUsable_; }

  private:
    // Fetches the rectangle, which lies on the drawable, into `target` (rows `stride` bytes apart), alpha
    // set.
    void fetch(xcb_drawable_t drawable, std::int32_t x, std::int32_t y, std::int32_t width,
               std::int32_t height, std::uint8_t* target, std::size_t stride);
    // The same straight into a segment, which the picture then keeps; an empty picture when no segment
    // can be had.
    Picture fetchShared(xcb_drawable_t drawable, std::int32_t x, std::int32_t y, std::int32_t width,
                        std::int32_t height);
    // A segment of at least `bytes` that no picture holds, or nullptr when shared memory cannot be had
    // (from then on).
    std::shared_ptr<ShmSegment> freeSegment(std::size_t bytes);
    // ShmGetImage into `segment`; throws on an X error.
    void shmGetImage(xcb_drawable_t drawable, std::int32_t x, std::int32_t y, std::int32_t width,
                     std::int32_t height, const ShmSegment& segment);
    void checkScreenFormat();
    [[noreturn]] void fail(const xcb_generic_error_t* error, const char* request) const;

    const Connection& connection_;
    bool formatChecked_ = false;
    bool shmUsable_ = false;
    // Every segment made and not yet given up; those a picture holds are not reused.
    std::vector<std::shared_ptr<ShmSegment>> segments_;
};

// Sets the unused fourth byte of `pixels` B, G, R, X pixels to 0xFF, in place.
void setOpaque(std::uint8_t* pixels, std::size_t count);

}  // namespace skorva::x11
