#pragma once
// JPEG decoding over TurboJPEG: the size a file's header declares, read before its body, and the whole
// image as 4-byte pixels.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "core/status.h"

namespace skorva {

struct JpegSize {
    int width = 0;
    int height = 0;
};

// The size in the header at the start of `jpeg`, which may be only a prefix of the file; nothing when the
// bytes hold no readable header or it declares no pixels.
std::optional<JpegSize> readJpegSize(std::span<const std::uint8_t> jpeg);

// readJpegSize for file after file, on one decompressor that is made anew only after a read failed (in
// TurboJPEG 2.1.5 a failed header read leaves the handle broken for what follows).
class JpegHeaderReader {
  public:
    std::optional<JpegSize> read(std::span<const std::uint8_t> jpeg);

  private:
    struct HandleDestroy {
        void operator()(void* handle) const;
    };
    std::unique_ptr<void, HandleDestroy> handle_;
};

// Decodes the image at its own size into top-down rows `pitch` bytes apart, 4 bytes a pixel: blue, green,
// red and 0xFF. Any warning counts as failure (a truncated or damaged file decodes with one, and grey
// filler), so that no picture is made up, unless `acceptDamage`: then only a file that cannot be decoded
// at all fails. The failure carries the library's text. A width and height of the image's own divided by
// 2, 4 or 8 (rounded up) decode it at that reduced scale.
Status decodeJpegBgrx(std::span<const std::uint8_t> jpeg, std::uint8_t* pixels, int width, int pitch,
                      int height, bool acceptDamage = false);

}  // namespace skorva
