#include "movie/temporary_bitmap.h"

#include <cerrno>
#include <cstring>

namespace skorva {

TemporaryBitmap::TemporaryBitmap(const std::string& folder) : path_(folder + "/" + kName) {}

Status TemporaryBitmap::write(std::span<const std::uint8_t> file) {
    inUse_ = false;
    if (!file_.held()) {
        switch (file_.hold(path_)) {
            case HeldFile::Result::Held:
                break;
            case HeldFile::Result::InUse:
                inUse_ = true;
                return Status::failure("Another movie is being written from this folder");
            case HeldFile::Result::Failed:
                return Status::failure(file_.failure());
        }
    }
    if (!file_.write(file)) {
        return Status::failure(file_.replaced() ? "Another program replaced the file during the write"
                                                : std::strerror(errno));
    }
    return {};
}

}  // namespace skorva
