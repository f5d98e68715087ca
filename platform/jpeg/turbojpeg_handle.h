#pragma once
// TurboJPEG handles and buffers owned through unique_ptr, for the code that calls the library itself: this
// backend, and the tests and benchmarks that check or time it against the bare library.

#include <turbojpeg.h>

#include <memory>

namespace skorva {

struct TurboJpegDestroy {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TurboJpegHandle = std::unique_ptr<void, TurboJpegDestroy>;

struct TurboJpegFree {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};
using TurboJpegBuffer = std::unique_ptr<unsigned char, TurboJpegFree>;

}  // namespace skorva
