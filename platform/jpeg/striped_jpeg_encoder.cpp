#include "platform/jpeg/striped_jpeg_encoder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>

#include "platform/jpeg/jpeg_strips.h"

namespace skorva {
namespace {

using Clock = std::chrono::steady_clock;

// A cut picture's strips end about together: the side thread's is watched for a moment rather than slept
// on. A whole picture's encoding outlasts the caller's work by far, and is slept on at once.
constexpr std::chrono::microseconds kWatchCutStrip{50};
// A second hand-over and the join of the strips, as measured on a small machine.
constexpr double kHandOverAndJoinMs = 0.1;

double millisecondsBetween(Clock::time_point start, Clock::time_point end) {
    return std::chrono::duration<double, std::milli>(end - start).count();
}

// How long `work` took, in milliseconds.
double timed(const std::function<void()>& work) {
    const Clock::time_point start = Clock::now();
    work();
    return millisecondsBetween(start, Clock::now());
}

// What the side thread took: to start on the job once handed it, and to do it.
struct SideTimes {
    double wakeMs = 0;
    double jobMs = 0;
};

SideTimes runAside(SideThread& side, const std::function<void()>& job, const std::function<void()>& here,
                   std::chrono::microseconds watch) {
    SideTimes times;
    const Clock::time_point handedOver = Clock::now();
    side.runAlongside(
        [&] {
            const Clock::time_point start = Clock::now();
            times.wakeMs = millisecondsBetween(handedOver, start);
            job();
            times.jobMs = millisecondsBetween(start, Clock::now());
        },
        here, watch);
    return times;
}

// New measurements count a quarter: one frame that lost the processor does not move the cut far.
double smoothed(double average, double sample) {
    return average == 0 ? sample : 0.75 * average + 0.25 * sample;
}

}  // namespace

Status StripedJpegEncoder::ready() const {
    if (Status status = top_.ready(); !status) {
        return status;
    }
    return bottom_.ready();
}

std::int32_t StripedJpegEncoder::topRowsFor(std::int32_t width, std::int32_t height,
                                            JpegSubsampling subsampling) const {
    const std::int32_t mcu = jpegMcuHeight(subsampling);
    if (width <= 0 || height <= mcu || encodeMsPerPixel_ <= 0) {
        return 0;
    }
    const double msPerRow = encodeMsPerPixel_ * width;
    // Cut, the picture costs half of the caller's work, the wake-up and the encoding, then a second
    // hand-over and the join; whole, the wake-up and the encoding. Cutting pays when the encoding outlasts
    // the caller's work and the wake-up by more than those.
    if (msPerRow * height < meanwhileMs_ + wakeMs_ + kHandOverAndJoinMs) {
        return 0;
    }
    // There: the wake-up, then the top strip; here: the caller's work, then the bottom strip.
    const double rows = height / 2.0 + (meanwhileMs_ - wakeMs_) / (2 * msPerRow);
    const std::int32_t mcuRows = (height + mcu - 1) / mcu;
    const std::int32_t lowest = (mcuRows + 1) / 2 * mcu;
    const std::int32_t highest = (height - 1) / mcu * mcu;
    const std::int32_t top = std::clamp(static_cast<std::int32_t>(std::lround(rows / mcu)) * mcu, lowest,
                                        std::max(lowest, highest));
    // Very wide pictures have more MCUs in a strip than a restart interval holds: they are not cut.
    return stripsJoinAt(width, height, top, subsampling) ? top : 0;
}

Status StripedJpegEncoder::encode(const JpegInput& input, JpegSubsampling subsampling, int quality,
                                  const std::function<void()>& meanwhile) {
    output_ = {};
    const std::int32_t topRows = topRowsFor(input.width, input.height, subsampling);
    if (topRows == 0 || input.pixels == nullptr) {
        return encodeWhole(input, subsampling, quality, meanwhile);
    }
    // The strips as rows of the same memory; a bottom-up picture has its top strip at the end.
    JpegInput top = input;
    JpegInput bottom = input;
    top.height = topRows;
    bottom.height = input.height - topRows;
    const std::ptrdiff_t pitch = input.pitch;
    if (input.bottomUp) {
        top.pixels = input.pixels + pitch * bottom.height;
    } else {
        bottom.pixels = input.pixels + pitch * topRows;
    }

    Status topStatus;
    Status bottomStatus;
    double meanwhileMs = 0;
    double bottomMs = 0;
    const SideTimes side = runAside(
        side_, [&] { topStatus = top_.encode(top, subsampling, quality); },
        [&] {
            meanwhileMs = timed(meanwhile);
            bottomMs = timed([&] { bottomStatus = bottom_.encode(bottom, subsampling, quality); });
        },
        kWatchCutStrip);
    if (!topStatus) {
        return topStatus;
    }
    if (!bottomStatus) {
        return bottomStatus;
    }
    learn(meanwhileMs, side.wakeMs, side.jobMs + bottomMs, std::int64_t{input.width} * input.height);
    if (joinJpegStrips(top_.output(), bottom_.output(), joined_)) {
        output_ = joined_;
        return {};
    }
    // Strips that do not join (the library wrote something unforeseen) leave the picture to one encode.
    if (Status status = top_.encode(input, subsampling, quality); !status) {
        return status;
    }
    output_ = top_.output();
    return {};
}

Status StripedJpegEncoder::encodeWhole(const JpegInput& input, JpegSubsampling subsampling, int quality,
                                       const std::function<void()>& meanwhile) {
    Status status;
    double meanwhileMs = 0;
    const SideTimes side = runAside(
        side_, [&] { status = top_.encode(input, subsampling, quality); },
        [&] { meanwhileMs = timed(meanwhile); }, std::chrono::microseconds{0});
    if (!status) {
        return status;
    }
    learn(meanwhileMs, side.wakeMs, side.jobMs, std::int64_t{input.width} * input.height);
    output_ = top_.output();
    return {};
}

void StripedJpegEncoder::learn(double meanwhileMs, double wakeMs, double encodeMs, std::int64_t pixels) {
    meanwhileMs_ = smoothed(meanwhileMs_, meanwhileMs);
    wakeMs_ = smoothed(wakeMs_, wakeMs);
    encodeMsPerPixel_ = smoothed(encodeMsPerPixel_, encodeMs / static_cast<double>(pixels));
}

}  // namespace skorva
