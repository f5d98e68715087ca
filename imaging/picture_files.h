#pragma once
// Pictures to and from files: a JPEG frame loaded as a picture, a picture saved as an uncompressed
// Windows bitmap file (24 bits per pixel, bottom-up rows padded to 4 bytes).

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/picture.h"
#include "core/pixel_buffer_pool.h"
#include "core/status.h"
#include "platform/jpeg/jpeg_decoder.h"

namespace skorva {

// Decodes a JPEG file at its own size. A missing, corrupt or truncated file, anything but a regular file,
// and a frame no movie could hold give a null picture, with the reason in `failure` when asked. The header
// is read first: a frame of more than kMovieFrameSideLimit pixels a side, or a file far larger than a JPEG
// of its declared size can be, is refused before its body is read or its pixels allocated. With `pixels`,
// the picture's memory comes from that pool. With `cover`, a larger frame is decoded at the smallest of
// the decoder's reduced scales that still covers that width and height: the picture is then that size.
Picture LoadPicture(const std::string& fileName, std::string* failure = nullptr,
                    PixelBufferPool* pixels = nullptr, const std::optional<JpegSize>& cover = std::nullopt);

// Saves the picture as a 24-bit bitmap file with its image-size field filled. An existing file of that
// name is replaced only by a complete new one. Fails, with the system's text, and writes no file for a
// null or empty picture or when the file cannot be written.
Status SavePicture(const Picture& picture, const std::string& fileName);

// The bytes SavePicture writes for `picture` go into `file`, whose capacity is reused: a frame's file can
// be laid out on another thread. A failure for a null, empty or too large picture.
Status BitmapFileBytes(const Picture& picture, std::vector<std::uint8_t>& file);

}  // namespace skorva
