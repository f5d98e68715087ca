#pragma once
// Writes a file a user keeps so that its name only ever holds a complete file: the bytes go to an unnamed
// file in the same folder (O_TMPFILE), which is linked under the name once every byte is written; where
// the file system has no unnamed files, to a hidden temporary file that is renamed. A failed write (full
// disk, missing folder) leaves an older file of that name as it was; with unnamed files a killed one
// leaves nothing beside it either.

#include <cstdint>
#include <span>
#include <string>

#include "core/status.h"
#include "platform/file_placement.h"

namespace skorva {

// Success when `bytes` are now the contents of `path`; otherwise the system's reason.
Status replaceFile(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace skorva
