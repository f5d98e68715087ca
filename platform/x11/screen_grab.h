#pragma once
// Copies rectangles of the screen out of the root window, through the image reader.

#include <xcb/xcb.h>

#include <cstdint>

#include "core/picture.h"
#include "platform/x11/image_reader.h"
#include "platform/x11/x11_connection.h"

namespace skorva::x11 {

class ScreenGrabber {
  public:
    explicit ScreenGrabber(const Connection& connection) : connection_(connection), reader_(connection) {}

    // See Desktop::grabScreen. Throws PlatformError (numbers in x11_errors.h).
    Picture grab(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height);

    // The reader, shared with the window grabber.
    ImageReader& reader() { return reader_; }

  private:
    const Connection& connection_;
    ImageReader reader_;
};

}  // namespace skorva::x11
