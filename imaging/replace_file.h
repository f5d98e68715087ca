#pragma once
// Writes a file a user keeps so that its name only ever holds a complete file (platform/file_replacement.h
// says how each system does it).

#include <cstdint>
#include <span>
#include <string>

#include "core/status.h"

namespace skorva {

// Success when `bytes` are now the contents of `path`; otherwise the system's reason.
Status replaceFile(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace skorva
