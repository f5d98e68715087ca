#pragma once
// The JPEG writer: encodes a 24-bit section straight from its memory and writes the file.

#include <cstdint>
#include <functional>
#include <string>

#include "imaging/dib_section.h"

namespace skorva {

// Writes `section` as a baseline JPEG (quality 1 to 100) under `fileName`, replacing an existing file
// only with a complete new one. True when the file was written; otherwise the routine has shown its own
// warning and returns false.
bool SaveJPG(const cDIBSection& section, const std::string& fileName, std::int32_t quality);

// The same, with the encoding on a second core while `meanwhile` runs here (the capture tick paints its
// preview then). The section must not change until the call returns; the file is written and any box is
// shown on this thread, after both are done.
bool SaveJPG(const cDIBSection& section, const std::string& fileName, std::int32_t quality,
             const std::function<void()>& meanwhile);

}  // namespace skorva
