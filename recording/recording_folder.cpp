#include "recording/recording_folder.h"

#include <utility>

#include "platform/own_folder.h"

namespace skorva {
namespace {

constexpr int kLastSuffix = 99;

}  // namespace

std::string RecordingFolder::claim(const std::string& outputFolder, const std::string& name,
                                   std::string& reason) {
    for (int suffix = 1; suffix <= kLastSuffix; ++suffix) {
        const std::string candidate = suffix == 1 ? name : name + "_" + std::to_string(suffix);
        const std::string path = outputFolder + "/" + candidate;
        // Our own recording's folder, entered again within the same second: ours already.
        if (!path_.empty() && path == path_) {
            outputFolder_ = outputFolder;
            return candidate;
        }
        UniqueFd lock;
        switch (holdOwnFolder(path, lock, reason)) {
            case OwnFolder::Held:
                break;
            case OwnFolder::Foreign:
                reason.clear();
                continue;
            case OwnFolder::FileInTheWay:
            case OwnFolder::Failed:
                return {};
        }
        outputFolder_ = outputFolder;
        path_ = path;
        lock_ = std::move(lock);
        return candidate;
    }
    reason =
        "other recordings or other users hold it and the next " + std::to_string(kLastSuffix - 1) + " names";
    return {};
}

}  // namespace skorva
