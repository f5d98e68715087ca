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

// The smallest size an image of `declared` decodes to at one of the library's reduced scales (7/8 down to
// 1/8) that still covers `cover` on both sides; the declared size itself where no reduced one does. A
// frame far larger than the movie it goes into costs no more memory than a few of the movie's frames.
JpegSize jpegScaleCovering(JpegSize declared, JpegSize cover);

// Decodes the image at its own size into top-down rows `pitch` bytes apart, 4 bytes a pixel: blue, green,
// red and 0xFF. Any warning counts as failure (a truncated or damaged file decodes with one, and grey
// filler), so that no picture is made up, unless `acceptDamage`: then only a file that cannot be decoded
// at all fails. The failure carries the library's text. A size that jpegScaleCovering gives decodes the
// image at that reduced scale.
// `damaged`, when given, learns whether the decoder had to make up a part of the picture.
Status decodeJpegBgrx(std::span<const std::uint8_t> jpeg, std::uint8_t* pixels, int width, int pitch,
                      int height, bool acceptDamage = false, bool* damaged = nullptr);

}  // namespace skorva
