#include "platform/user_folders.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace skorva {

bool mayWriteInto(const std::string& folder) {
    std::error_code error;
    return std::filesystem::is_directory(folder, error) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string systemVideosFolder() {
    return {};
}

}  // namespace skorva
