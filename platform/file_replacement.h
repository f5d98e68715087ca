#pragma once
// Writes a file a user keeps so that its name only ever holds a complete file. On Linux the bytes go to
// an unnamed file in the same folder (O_TMPFILE), which is linked under the name once every byte is
// written; where the file system has no unnamed files, and on Windows, to a hidden temporary file that is
// renamed over the name. A failed write (full disk, missing folder) leaves an older file of that name as
// it was.

#include <cstdint>
#include <span>
#include <string>

namespace skorva {

// Empty when `bytes` are now the contents of `path`; otherwise the system's reason.
std::string replaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace skorva
