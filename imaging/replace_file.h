#pragma once
// Writes a file a user keeps so that its name only ever holds a complete file: the bytes go to a hidden
// temporary file in the same folder, which is renamed over the name once every byte is written. A failed
// write (full disk, missing folder) removes the temporary file and leaves an older file of that name as
// it was.

#include <cstdint>
#include <span>
#include <string>

#include "platform/file_placement.h"

namespace skorva {

// The temporary name for `path`: "<folder>/.<name>.tmp-" followed by a random suffix. It never ends in
// the frame extensions, so a folder listing of "*.jpg" cannot pick up a half-written frame.
std::string temporaryNameFor(const std::string& path);

// True when `bytes` are now the contents of `path`. On false, errno tells why.
bool replaceFile(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace skorva
