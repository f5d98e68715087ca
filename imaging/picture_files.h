#pragma once
// Pictures to and from files: a JPEG frame loaded as a picture, a picture saved as an uncompressed
// Windows bitmap file (24 bits per pixel, bottom-up rows padded to 4 bytes).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/picture.h"
#include "core/pixel_buffer_pool.h"
#include "core/status.h"

namespace skorva {

// Decodes a JPEG file at its own size. A missing, corrupt or truncated file, anything but a regular file,
// and a frame no movie could hold give a null picture, with the reason in `failure` when asked. The header
// is read first: a frame of more than kMovieFrameSideLimit pixels a side, or a file far larger than a JPEG
// of its declared size can be, is refused before its body is read or its pixels allocated. With `pixels`,
// the picture's memory comes from that pool.
Picture LoadPicture(const std::string& fileName, std::string* failure = nullptr,
                    PixelBufferPool* pixels = nullptr);

// Saves the picture as a 24-bit bitmap file with its image-size field filled. An existing file of that
// name is replaced only by a complete new one. Fails, with the system's text, and writes no file for a
// null or empty picture or when the file cannot be written.
Status SavePicture(const Picture& picture, const std::string& fileName);

// The same bitmap file, written over `fileName` where it stands: for a scratch file that only the program
// reads back (the AVI writer's "tmp.bmp", rewritten for every frame), where a temporary file and a rename
// per frame would buy nothing. Longer old contents are cut off. Anything but a regular file of one name
// (a link, a FIFO) is replaced by a new file instead of being written through. On a failure (null or
// empty picture, the file cannot be opened or written), told in the system's words, the file may hold a
// partial frame.
Status SavePictureInPlace(const Picture& picture, const std::string& fileName);

// The two halves of SavePictureInPlace, so that a frame's file can be prepared on another thread. The
// bytes SavePicture writes for `picture` go into `file`, whose capacity is reused; a failure for a null,
// empty or too large picture.
Status BitmapFileBytes(const Picture& picture, std::vector<std::uint8_t>& file);
// Writes `bytes` over `fileName` where it stands, as SavePictureInPlace does.
Status WriteFileInPlace(const std::string& fileName, std::span<const std::uint8_t> bytes);

}  // namespace skorva
