#pragma once
// The folder a recording writes into, fixed at Start and held for as long as it is this window's
// recording folder: a lock on it (platform/own_folder.h) tells another running instance, which would
// otherwise pick the same name within the same second, to take the next free name. The system drops the lock
// with a process that ends or crashes.

#include <string>

#include "platform/file_io.h"

namespace skorva {

class RecordingFolder {
  public:
    // Makes (or finds) `outputFolder`/`name` and holds it. When another recording holds that folder, the
    // first free of `name`_2, `name`_3, ... up to _99. On success the folder held so far is let go (unless
    // it is the same one) and the name taken is returned; otherwise an empty name, `reason` says why, and
    // the folder held so far stays held.
    std::string claim(const std::string& outputFolder, const std::string& name, std::string& reason);

    // The output folder as it was when the folder was claimed; empty before the first claim.
    const std::string& outputFolder() const { return outputFolder_; }

  private:
    std::string outputFolder_;
    std::string path_;
    UniqueFd lock_;
};

}  // namespace skorva
