#pragma once
// "tmp.bmp" in the frame folder: every frame a write re-encodes passes through it, written and read back.
// One write holds it from its first frame to its end, so that a second write from the same folder, of
// this process or another, is refused at once instead of reading the first one's frames as its own.

#include <cstdint>
#include <span>
#include <string>

#include "core/status.h"
#include "platform/held_file.h"

namespace skorva {

class TemporaryBitmap {
  public:
    static constexpr const char* kName = "tmp.bmp";

    explicit TemporaryBitmap(const std::string& folder);

    const std::string& path() const { return path_; }
    // Makes the file hold `file`, a frame's bitmap file; the first write takes hold of it. Whatever else
    // stands at its name (a link, a FIFO) is replaced by a new file, never written through.
    Status write(std::span<const std::uint8_t> file);
    // The last write failed because another write holds the file.
    bool inUse() const { return inUse_; }

  private:
    std::string path_;
    HeldFile file_;
    bool inUse_ = false;
};

}  // namespace skorva
