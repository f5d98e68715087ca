#pragma once
// Writes a file a user keeps so that its name only ever holds a complete file: the bytes go to an unnamed
// file in the same folder (O_TMPFILE), which is linked under the name once every byte is written; where
// the file system has no unnamed files, to a hidden temporary file that is renamed. A failed write (full
// disk, missing folder) leaves an older file of that name as it was; with unnamed files a killed one
// leaves nothing beside it either.

#include <cstdint>
#include <span>
#include <string>

namespace skorva {

// The temporary name for `path`: "<folder>/.<name>.tmp-" followed by a random suffix. It never ends in
// the frame extensions, so a folder listing of "*.jpg" cannot pick up a half-written frame.
std::string temporaryNameFor(const std::string& path);

// Writes every byte to the open file, going on after short writes and interruptions. On false, errno
// tells why (a write that makes no progress counts as a full disk).
bool writeAll(int fd, std::span<const std::uint8_t> bytes);

// True when `bytes` are now the contents of `path`. On false, errno tells why.
bool replaceFile(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace skorva
