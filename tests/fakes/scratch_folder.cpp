#include "tests/fakes/scratch_folder.h"

#include <algorithm>
#include <random>
#include <stdexcept>

namespace skorva::testing {

ScratchFolder::ScratchFolder(const std::string& prefix) {
    // A new folder of a random name, made by us alone, as mkdtemp makes one, on every system.
    std::random_device random;
    for (int attempt = 0; path_.empty(); ++attempt) {
        const auto candidate =
            std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(random() % 1000000000u));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            path_ = candidate;
        } else if (error || attempt > 100) {
            throw std::runtime_error("cannot make a scratch folder");
        }
    }
    // Readable by all, as a folder the user makes: some tests drop root in a child that must reach it.
    std::filesystem::permissions(
        path_, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                   std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                   std::filesystem::perms::others_exec);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> ScratchFolder::entries() const {
    return fileNames(path_);
}

std::vector<std::string> fileNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace skorva::testing
