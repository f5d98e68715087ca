#pragma once
// A picture encoded on two cores at once: the top strip on a side thread, the bottom strip here after the
// caller's own work of the moment (the capture tick paints its preview), joined into one baseline JPEG
// with a restart marker between them. Where the picture is cut follows how long the caller's work, the
// side thread's wake-up and the encoding took the last times, so that both cores are done at about the
// same moment. A picture whose encoding is short against those is not cut: it is encoded whole on the
// side thread while the caller works.

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "core/side_thread.h"
#include "core/status.h"
#include "platform/jpeg/jpeg_encoder.h"

namespace skorva {

class StripedJpegEncoder {
  public:
    Status ready() const;

    // Encodes `input` at `quality` while `meanwhile` runs here; returns when both are done. What
    // `meanwhile` throws is thrown again once the side thread is done. The JPEG stays in output() until
    // the next call.
    Status encode(const JpegInput& input, JpegSubsampling subsampling, int quality,
                  const std::function<void()>& meanwhile);
    std::span<const std::uint8_t> output() const { return output_; }

    // The top strip's rows for the next picture of this size: 0 when it is not cut.
    std::int32_t topRowsFor(std::int32_t width, std::int32_t height, JpegSubsampling subsampling) const;

    // What the last picture cost: the caller's work, the side thread's wake-up, and the encoding of all
    // its pixels. encode() tells it after each picture.
    void learn(double meanwhileMs, double wakeMs, double encodeMs, std::int64_t pixels);

  private:
    Status encodeWhole(const JpegInput& input, JpegSubsampling subsampling, int quality,
                       const std::function<void()>& meanwhile);

    JpegEncoder top_;
    JpegEncoder bottom_;
    std::vector<std::uint8_t> joined_;
    std::span<const std::uint8_t> output_;
    // Smoothed over the last frames: the caller's work, the side thread's wake-up, the encoder's time a
    // pixel. None is known before the first picture, which is encoded whole.
    double meanwhileMs_ = 0;
    double wakeMs_ = 0;
    double encodeMsPerPixel_ = 0;
    // Last member: the thread's jobs use the encoders, so it ends first.
    SideThread side_;
};

}  // namespace skorva
