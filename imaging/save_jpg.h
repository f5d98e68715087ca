#pragma once
// The JPEG writer: encodes a 24-bit section straight from its memory and writes the file.

#include <cstdint>
#include <functional>
#include <string>

#include "core/status.h"
#include "imaging/dib_section.h"

namespace skorva {

// Writes `section` as a baseline JPEG (quality 1 to 100) under `fileName`, replacing an existing file
// only with a complete new one. Success when the file was written; otherwise the warning for the caller to
// show, with the exclamation icon: "Failed to save to JPG, seems webcam window is closed or no space left.
// Reason: ..." with the system's or the encoder's reason, or "Failed to initialise the IJL library: ...".
Status SaveJPG(const cDIBSection& section, const std::string& fileName, std::int32_t quality);

// The same, with the picture encoded on a second core while `meanwhile` runs here (the capture tick paints
// its preview then): the same file as above, byte for byte. The section must not change until the call
// returns; the file is written on this thread, after both are done. What `meanwhile` throws is thrown
// again once the encoding is done, and no file is written.
Status SaveJPG(const cDIBSection& section, const std::string& fileName, std::int32_t quality,
               const std::function<void()>& meanwhile);

}  // namespace skorva
