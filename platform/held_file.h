#pragma once
// A scratch file held by one job for its whole length: opened for writing (made when missing) and locked
// exclusively, so that a second job that wants the same file, in this process or another, is refused at
// once instead of mixing its bytes with the first one's. The system drops the lock when the file is
// closed or the process ends, however it ends.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/file_io.h"

namespace skorva {

class HeldFile {
  public:
    enum class Result { Held, InUse, Failed };

    // Opens and locks `path`. Never writes through a name that is not a plain file of its own: a link, a
    // FIFO, a device or a second name of another file standing there is replaced by a new empty file
    // first. On Failed, failure() says why in the system's words.
    Result hold(const std::string& path);
    bool held() const { return static_cast<bool>(fd_); }
    const std::string& failure() const { return failure_; }

    // Makes the file hold exactly `bytes`. Fails when the name no longer names the held file (another
    // program replaced or removed it meanwhile; replaced() then says so): what is read back by name would
    // not be what was written. Otherwise errno says why it failed. One for both systems; how a name is
    // checked is each system's.
    bool write(std::span<const std::uint8_t> bytes);
    bool replaced() const { return replaced_; }

  private:
    bool stillNamed() const;
    // Locks the opened `file` and keeps it while its name is still ours: Held, InUse, Failed (errno says
    // why), or nothing when the name changed meanwhile and the caller should try again.
    std::optional<Result> keepLocked(UniqueFd file);

    std::string path_;
    UniqueFd fd_;
    std::string failure_;
    bool replaced_ = false;
};

}  // namespace skorva
