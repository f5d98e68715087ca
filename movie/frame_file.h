#pragma once
// A frame file read whole, as the copying Motion JPEG entry puts it into the movie.

#include <cstdint>
#include <string>
#include <vector>

#include "core/status.h"

namespace skorva {

// Reads the regular file at `path` whole into `bytes` (its capacity reused), never waiting on a FIFO; a
// failure, in the system's words, for anything else and for a file longer than `limit` bytes.
Status readFrameFile(const std::string& path, std::int64_t limit, std::vector<std::uint8_t>& bytes);

}  // namespace skorva
